#include "base/qvnIdThread.h"

#include <pthread.h>

#include <algorithm>
#include <utility>

#include "base/qvnWebSocket_Helpers.h"

namespace qvn {
namespace {

constexpr const char* kUnknownThreadName = "IdThread (unknown)";
constexpr const char* kTerminateAndWaitForMessage =
    "Cannot call TerminateAndWaitFor on FreeAndTerminate threads";

unsigned Bit(TIdThreadOption aOption) { return 1u << static_cast<unsigned>(aOption); }

}  // namespace

TIdThread::TIdThread(bool aCreateSuspended, bool aLoop, std::string aName)
    : FLoop(aLoop), FName(std::move(aName)) {
  FOptions = Bit(itoDataOwner);
  if (aCreateSuspended) FOptions |= Bit(itoStopped);
  // The body waits for AfterConstruction (and, when created suspended, for Start) before it runs
  // anything of this object.
  FSuspended = aCreateSuspended;
  FThread = std::thread(&TIdThread::ThreadMain, this);
  FOwnId = FThread.get_id();
}

TIdThread::~TIdThread() {
  EndThread();
  if (HasOption(itoReqCleanup)) ReleaseRunData();
  TqvnLock guard(FPropsLock);
  FYarn.reset();
}

void TIdThread::AfterConstruction() {
  TqvnLock guard(FLock);
  FConstructed = true;
  FStateChanged.notify_all();
}

void TIdThread::EndThread() {
  if (FEndThreadDone) return;
  FEndThreadDone = true;
  {
    TqvnLock guard(FLock);
    FEnding = true;
    FDeleting = true;
    TerminateLocked();
    FSuspended = false;
    FStateChanged.notify_all();
  }
  if (IsOwnThread()) {
    // Freeing itself after its body (FreeOnTerminate): the thread function returns right after.
    FThread.detach();
  } else {
    WaitForEnd();
    FThread.join();
  }
  RemoveQueuedCalls(this);
}

void TIdThread::ThreadMain(TIdThread* aThread) {
  bool run;
  {
    TqvnLock lock(aThread->FLock);
    while (!aThread->FEnding && !(aThread->FConstructed && !aThread->FSuspended)) {
      lock.Wait(aThread->FStateChanged);
    }
    run = !aThread->FEnding && !aThread->FTerminated;
  }
  if (run) aThread->Execute();
  bool freeNow;
  {
    TqvnLock guard(aThread->FLock);
    aThread->FFinished = true;
    freeNow =
        aThread->FFreeOnTerminate && aThread->FHandlerThreads.empty() && !aThread->FDeleting;
    if (freeNow) aThread->FDeleting = true;
    aThread->FStateChanged.notify_all();
  }
  // From here on the object may be freed by another thread unless this thread frees it.
  WakeMainThreadQueueWaiters();
  if (freeNow) delete aThread;
}

void TIdThread::Execute() {
  {
    TqvnLock guard(FPropsLock);
    if (FName.empty()) FName = kUnknownThreadName;
  }
  PublishName();
  try {
    try {
      ThreadStarting();
      while (!Terminated()) {
        if (Stopped()) {
          NotifyStopped();
          if (!SuspendWhileStopped()) break;
        }
        SetOption(itoReqCleanup, true);
        try {
          std::exception_ptr cycleError;
          try {
            CyclesStarting();
            const auto runCycle = [this] {
              try {
                Cycle();
              } catch (const std::exception& e) {
                if (!AcceptCycleError(e)) throw;
              }
            };
            if (Loop()) {
              while (!Stopped()) runCycle();
            } else {
              runCycle();
            }
          } catch (...) {
            cycleError = std::current_exception();
          }
          CyclesFinished();
          if (cycleError) std::rethrow_exception(cycleError);
        } catch (...) {
          Terminate();
          ReleaseRunData();
          throw;
        }
        ReleaseRunData();
      }
    } catch (...) {
      ThreadFinishing();
      throw;
    }
    ThreadFinishing();
  } catch (const std::exception& e) {
    ReportTerminatingException(e, &typeid(e));
  } catch (...) {
    ReportTerminatingException(std::runtime_error("Unknown exception"), nullptr);
  }
}

void TIdThread::ReportTerminatingException(const std::exception& aException,
                                           const std::type_info* aClass) {
  {
    TqvnLock guard(FPropsLock);
    FTerminatingExceptionClass = aClass;
    FTerminatingException = aException.what();
  }
  try {
    NotifyException(aException);
  } catch (...) {
    // A failing exception handler has nobody left to report to; the thread ends anyway.
  }
  Terminate();
}

bool TIdThread::SuspendWhileStopped() {
  TqvnLock lock(FLock);
  if (!StoppedLocked()) return true;
  if (FTerminated) return false;
  FSuspended = true;
  while (FSuspended) lock.Wait(FStateChanged);
  return !FTerminated;
}

void TIdThread::Start() {
  TqvnLock guard(FLock);
  if (!StoppedLocked()) return;
  if (FTerminated) {
    FOptions |= Bit(itoStopped);
  } else {
    FOptions &= ~Bit(itoStopped);
  }
  if (FSuspended) {
    FSuspended = false;
    FStateChanged.notify_all();
  }
}

void TIdThread::Stop() {
  const TIdThreadStopMode mode = StopMode();
  TqvnLock guard(FLock);
  if (StoppedLocked()) return;
  if (mode == smTerminate) TerminateLocked();
  FOptions |= Bit(itoStopped);
}

void TIdThread::Terminate() {
  TqvnLock guard(FLock);
  TerminateLocked();
}

void TIdThread::TerminateLocked() {
  FOptions |= Bit(itoStopped);
  FTerminated = true;
  FStateChanged.notify_all();
}

void TIdThread::TerminateAndWaitFor() {
  if (FreeOnTerminate()) throw EIdThreadTerminateAndWaitFor(kTerminateAndWaitForMessage);
  Terminate();
  Start();
  WaitForEnd();
}

void TIdThread::WaitForEnd() {
  if (IsOwnThread()) return;  // a thread cannot wait for its own end
  if (IsMainThread()) {
    PumpMainThreadQueueUntil([this] { return FFinished.load(); });
    return;
  }
  TqvnLock lock(FLock);
  while (!FFinished) lock.Wait(FStateChanged);
}

void TIdThread::Synchronize(const std::function<void()>& aMethod) { RunInMainThread(aMethod); }

bool TIdThread::SleepUnlessTerminated(std::chrono::milliseconds aDuration) {
  TqvnLock lock(FLock);
  const auto deadline = std::chrono::steady_clock::now() + aDuration;
  while (!FTerminated && !FSleepInterrupted && lock.WaitUntil(FStateChanged, deadline)) {
  }
  FSleepInterrupted = false;
  return !FTerminated;
}

void TIdThread::InterruptSleep() {
  TqvnLock guard(FLock);
  FSleepInterrupted = true;
  FStateChanged.notify_all();
}

void TIdThread::PublishName() {
  TqvnLock guard(FPublishLock);
  const std::string published = NameForDebuggers().substr(0, 15);
  if (IsOwnThread()) {
    pthread_setname_np(pthread_self(), published.c_str());
  } else if (FThread.joinable()) {
    pthread_setname_np(FThread.native_handle(), published.c_str());
  }
}

bool TIdThread::IsOwnThread() const { return std::this_thread::get_id() == FOwnId; }

bool TIdThread::EnterHandler() {
  TqvnLock guard(FLock);
  if (FDeleting || FReleased) return false;
  FHandlerThreads.push_back(std::this_thread::get_id());
  return true;
}

bool TIdThread::LeaveHandler() {
  TqvnLock guard(FLock);
  const auto entry =
      std::find(FHandlerThreads.begin(), FHandlerThreads.end(), std::this_thread::get_id());
  if (entry != FHandlerThreads.end()) FHandlerThreads.erase(entry);
  const bool freeNow = FHandlerThreads.empty() && FFreeOnTerminate && FFinished && !FDeleting;
  if (freeNow) FDeleting = true;
  return freeNow;
}

bool TIdThread::HandlerRunning() const {
  TqvnLock guard(FLock);
  return !FHandlerThreads.empty();
}

bool TIdThread::FreeOnTerminateIfBusy() {
  TqvnLock guard(FLock);
  const bool handlerHere = std::find(FHandlerThreads.begin(), FHandlerThreads.end(),
                                     std::this_thread::get_id()) != FHandlerThreads.end();
  if (!IsOwnThread() && !handlerHere) return false;
  FFreeOnTerminate = true;
  FReleased = true;
  TerminateLocked();
  return true;
}

bool TIdThread::StoppedLocked() const {
  return FTerminated || (FOptions & Bit(itoStopped)) != 0 || FSuspended;
}

bool TIdThread::Stopped() const {
  TqvnLock guard(FLock);
  return StoppedLocked();
}

bool TIdThread::Terminated() const { return FTerminated; }

bool TIdThread::Suspended() const {
  TqvnLock guard(FLock);
  return FSuspended;
}

bool TIdThread::Finished() const { return FFinished; }

bool TIdThread::FreeOnTerminate() const {
  TqvnLock guard(FLock);
  return FFreeOnTerminate;
}

void TIdThread::SetFreeOnTerminate(bool aValue) {
  TqvnLock guard(FLock);
  FFreeOnTerminate = aValue;
}

void TIdThread::SetOption(TIdThreadOption aOption, bool aOn) {
  TqvnLock guard(FLock);
  if (aOn) {
    FOptions |= Bit(aOption);
  } else {
    FOptions &= ~Bit(aOption);
  }
}

bool TIdThread::HasOption(TIdThreadOption aOption) const {
  TqvnLock guard(FLock);
  return (FOptions & Bit(aOption)) != 0;
}

void TIdThread::ReleaseRunData() {
  SetOption(itoReqCleanup, false);
  const bool dataOwner = HasOption(itoDataOwner);
  // Released outside the lock: a destructor must not run while we hold it.
  std::unique_ptr<TIdYarn> yarn;
  std::shared_ptr<void> data;
  {
    TqvnLock guard(FPropsLock);
    yarn = std::move(FYarn);
    if (dataOwner) data = std::move(FData);
  }
}

void TIdThread::NotifyException(const std::exception& aException) {
  const TIdExceptionThreadEvent handler = OnException();
  if (handler) handler(this, aException);
}

void TIdThread::NotifyStopped() {
  const TIdNotifyThreadEvent handler = OnStopped();
  if (handler) handler(this);
}

bool TIdThread::AcceptCycleError(const std::exception&) { return false; }

int TIdThread::ReturnValue() const {
  TqvnLock guard(FPropsLock);
  return FReturnValue;
}
void TIdThread::SetReturnValue(int aValue) {
  TqvnLock guard(FPropsLock);
  FReturnValue = aValue;
}
std::shared_ptr<void> TIdThread::Data() const {
  TqvnLock guard(FPropsLock);
  return FData;
}
void TIdThread::SetData(std::shared_ptr<void> aValue) {
  TqvnLock guard(FPropsLock);
  std::swap(FData, aValue);
}
bool TIdThread::Loop() const {
  TqvnLock guard(FPropsLock);
  return FLoop;
}
void TIdThread::SetLoop(bool aValue) {
  TqvnLock guard(FPropsLock);
  FLoop = aValue;
}
std::string TIdThread::Name() const {
  TqvnLock guard(FPropsLock);
  return FName;
}
void TIdThread::SetName(std::string aValue) {
  {
    TqvnLock guard(FPropsLock);
    FName = std::move(aValue);
  }
  PublishName();
}
TIdThreadStopMode TIdThread::StopMode() const {
  TqvnLock guard(FPropsLock);
  return FStopMode;
}
void TIdThread::SetStopMode(TIdThreadStopMode aValue) {
  TqvnLock guard(FPropsLock);
  FStopMode = aValue;
}
TIdYarn* TIdThread::Yarn() const {
  TqvnLock guard(FPropsLock);
  return FYarn.get();
}
void TIdThread::SetYarn(std::unique_ptr<TIdYarn> aValue) {
  TqvnLock guard(FPropsLock);
  std::swap(FYarn, aValue);
}
TIdExceptionThreadEvent TIdThread::OnException() const {
  TqvnLock guard(FPropsLock);
  return FOnException;
}
void TIdThread::SetOnException(TIdExceptionThreadEvent aValue) {
  TqvnLock guard(FPropsLock);
  std::swap(FOnException, aValue);
}
TIdNotifyThreadEvent TIdThread::OnStopped() const {
  TqvnLock guard(FPropsLock);
  return FOnStopped;
}
void TIdThread::SetOnStopped(TIdNotifyThreadEvent aValue) {
  TqvnLock guard(FPropsLock);
  std::swap(FOnStopped, aValue);
}
std::string TIdThread::TerminatingException() const {
  TqvnLock guard(FPropsLock);
  return FTerminatingException;
}
const std::type_info* TIdThread::TerminatingExceptionClass() const {
  TqvnLock guard(FPropsLock);
  return FTerminatingExceptionClass;
}

}  // namespace qvn
