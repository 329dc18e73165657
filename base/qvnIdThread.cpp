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

unsigned Bit(TIdThreadOption AOption) { return 1u << static_cast<unsigned>(AOption); }

}  // namespace

TIdThread::TIdThread(bool ACreateSuspended, bool ALoop, std::string AName)
    : FLoop(ALoop), FName(std::move(AName)) {
  FOptions = Bit(itoDataOwner);
  if (ACreateSuspended) FOptions |= Bit(itoStopped);
  // The body waits for AfterConstruction (and, when created suspended, for Start) before it runs
  // anything of this object.
  FSuspended = ACreateSuspended;
  FThread = std::thread(&TIdThread::ThreadMain, this);
  FOwnId = FThread.get_id();
}

TIdThread::~TIdThread() {
  EndThread();
  if (HasOption(itoReqCleanup)) ReleaseRunData();
  TqvnLock Guard(FPropsLock);
  FYarn.reset();
}

void TIdThread::AfterConstruction() {
  TqvnLock Guard(FLock);
  FConstructed = true;
  FStateChanged.notify_all();
}

void TIdThread::EndThread() {
  if (FEndThreadDone) return;
  FEndThreadDone = true;
  {
    TqvnLock Guard(FLock);
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

void TIdThread::ThreadMain(TIdThread* AThread) {
  bool Run;
  {
    TqvnLock Lock(AThread->FLock);
    while (!AThread->FEnding && !(AThread->FConstructed && !AThread->FSuspended)) {
      Lock.Wait(AThread->FStateChanged);
    }
    Run = !AThread->FEnding && !AThread->FTerminated;
  }
  if (Run) AThread->Execute();
  bool FreeNow;
  {
    TqvnLock Guard(AThread->FLock);
    AThread->FFinished = true;
    FreeNow =
        AThread->FFreeOnTerminate && AThread->FHandlerThreads.empty() && !AThread->FDeleting;
    if (FreeNow) AThread->FDeleting = true;
    AThread->FStateChanged.notify_all();
  }
  // From here on the object may be freed by another thread unless this thread frees it.
  WakeMainThreadQueueWaiters();
  if (FreeNow) delete AThread;
}

void TIdThread::Execute() {
  {
    TqvnLock Guard(FPropsLock);
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
          std::exception_ptr CycleError;
          try {
            CyclesStarting();
            const auto RunCycle = [this] {
              try {
                Cycle();
              } catch (const std::exception& E) {
                if (!AcceptCycleError(E)) throw;
              }
            };
            if (Loop()) {
              while (!Stopped()) RunCycle();
            } else {
              RunCycle();
            }
          } catch (...) {
            CycleError = std::current_exception();
          }
          CyclesFinished();
          if (CycleError) std::rethrow_exception(CycleError);
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
  } catch (const std::exception& E) {
    ReportTerminatingException(E, &typeid(E));
  } catch (...) {
    ReportTerminatingException(std::runtime_error("Unknown exception"), nullptr);
  }
}

void TIdThread::ReportTerminatingException(const std::exception& AException,
                                           const std::type_info* AClass) {
  {
    TqvnLock Guard(FPropsLock);
    FTerminatingExceptionClass = AClass;
    FTerminatingException = AException.what();
  }
  try {
    NotifyException(AException);
  } catch (...) {
    // A failing exception handler has nobody left to report to; the thread ends anyway.
  }
  Terminate();
}

bool TIdThread::SuspendWhileStopped() {
  TqvnLock Lock(FLock);
  if (!StoppedLocked()) return true;
  if (FTerminated) return false;
  FSuspended = true;
  while (FSuspended) Lock.Wait(FStateChanged);
  return !FTerminated;
}

void TIdThread::Start() {
  TqvnLock Guard(FLock);
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
  const TIdThreadStopMode Mode = StopMode();
  TqvnLock Guard(FLock);
  if (StoppedLocked()) return;
  if (Mode == smTerminate) TerminateLocked();
  FOptions |= Bit(itoStopped);
}

void TIdThread::Terminate() {
  TqvnLock Guard(FLock);
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
  TqvnLock Lock(FLock);
  while (!FFinished) Lock.Wait(FStateChanged);
}

void TIdThread::Synchronize(const std::function<void()>& AMethod) { RunInMainThread(AMethod); }

bool TIdThread::SleepUnlessTerminated(std::chrono::milliseconds ADuration) {
  TqvnLock Lock(FLock);
  const auto Deadline = std::chrono::steady_clock::now() + ADuration;
  while (!FTerminated && !FSleepInterrupted && Lock.WaitUntil(FStateChanged, Deadline)) {
  }
  FSleepInterrupted = false;
  return !FTerminated;
}

void TIdThread::InterruptSleep() {
  TqvnLock Guard(FLock);
  FSleepInterrupted = true;
  FStateChanged.notify_all();
}

void TIdThread::PublishName() {
  TqvnLock Guard(FPublishLock);
  const std::string Published = NameForDebuggers().substr(0, 15);
  if (IsOwnThread()) {
    pthread_setname_np(pthread_self(), Published.c_str());
  } else if (FThread.joinable()) {
    pthread_setname_np(FThread.native_handle(), Published.c_str());
  }
}

bool TIdThread::IsOwnThread() const { return std::this_thread::get_id() == FOwnId; }

bool TIdThread::EnterHandler() {
  TqvnLock Guard(FLock);
  if (FDeleting || FReleased) return false;
  FHandlerThreads.push_back(std::this_thread::get_id());
  return true;
}

bool TIdThread::LeaveHandler() {
  TqvnLock Guard(FLock);
  const auto Entry =
      std::find(FHandlerThreads.begin(), FHandlerThreads.end(), std::this_thread::get_id());
  if (Entry != FHandlerThreads.end()) FHandlerThreads.erase(Entry);
  const bool FreeNow = FHandlerThreads.empty() && FFreeOnTerminate && FFinished && !FDeleting;
  if (FreeNow) FDeleting = true;
  return FreeNow;
}

bool TIdThread::HandlerRunning() const {
  TqvnLock Guard(FLock);
  return !FHandlerThreads.empty();
}

bool TIdThread::FreeOnTerminateIfBusy() {
  TqvnLock Guard(FLock);
  const bool HandlerHere = std::find(FHandlerThreads.begin(), FHandlerThreads.end(),
                                     std::this_thread::get_id()) != FHandlerThreads.end();
  if (!IsOwnThread() && !HandlerHere) return false;
  FFreeOnTerminate = true;
  FReleased = true;
  TerminateLocked();
  return true;
}

bool TIdThread::StoppedLocked() const {
  return FTerminated || (FOptions & Bit(itoStopped)) != 0 || FSuspended;
}

bool TIdThread::Stopped() const {
  TqvnLock Guard(FLock);
  return StoppedLocked();
}

bool TIdThread::Terminated() const { return FTerminated; }

bool TIdThread::Suspended() const {
  TqvnLock Guard(FLock);
  return FSuspended;
}

bool TIdThread::Finished() const { return FFinished; }

bool TIdThread::FreeOnTerminate() const {
  TqvnLock Guard(FLock);
  return FFreeOnTerminate;
}

void TIdThread::SetFreeOnTerminate(bool AValue) {
  TqvnLock Guard(FLock);
  FFreeOnTerminate = AValue;
}

void TIdThread::SetOption(TIdThreadOption AOption, bool AOn) {
  TqvnLock Guard(FLock);
  if (AOn) {
    FOptions |= Bit(AOption);
  } else {
    FOptions &= ~Bit(AOption);
  }
}

bool TIdThread::HasOption(TIdThreadOption AOption) const {
  TqvnLock Guard(FLock);
  return (FOptions & Bit(AOption)) != 0;
}

void TIdThread::ReleaseRunData() {
  SetOption(itoReqCleanup, false);
  const bool DataOwner = HasOption(itoDataOwner);
  // Released outside the lock: a destructor must not run while we hold it.
  std::unique_ptr<TIdYarn> Yarn;
  std::shared_ptr<void> Data;
  {
    TqvnLock Guard(FPropsLock);
    Yarn = std::move(FYarn);
    if (DataOwner) Data = std::move(FData);
  }
}

void TIdThread::NotifyException(const std::exception& AException) {
  const TIdExceptionThreadEvent Handler = OnException();
  if (Handler) Handler(this, AException);
}

void TIdThread::NotifyStopped() {
  const TIdNotifyThreadEvent Handler = OnStopped();
  if (Handler) Handler(this);
}

bool TIdThread::AcceptCycleError(const std::exception&) { return false; }

int TIdThread::ReturnValue() const {
  TqvnLock Guard(FPropsLock);
  return FReturnValue;
}
void TIdThread::SetReturnValue(int AValue) {
  TqvnLock Guard(FPropsLock);
  FReturnValue = AValue;
}
std::shared_ptr<void> TIdThread::Data() const {
  TqvnLock Guard(FPropsLock);
  return FData;
}
void TIdThread::SetData(std::shared_ptr<void> AValue) {
  TqvnLock Guard(FPropsLock);
  std::swap(FData, AValue);
}
bool TIdThread::Loop() const {
  TqvnLock Guard(FPropsLock);
  return FLoop;
}
void TIdThread::SetLoop(bool AValue) {
  TqvnLock Guard(FPropsLock);
  FLoop = AValue;
}
std::string TIdThread::Name() const {
  TqvnLock Guard(FPropsLock);
  return FName;
}
void TIdThread::SetName(std::string AValue) {
  {
    TqvnLock Guard(FPropsLock);
    FName = std::move(AValue);
  }
  PublishName();
}
TIdThreadStopMode TIdThread::StopMode() const {
  TqvnLock Guard(FPropsLock);
  return FStopMode;
}
void TIdThread::SetStopMode(TIdThreadStopMode AValue) {
  TqvnLock Guard(FPropsLock);
  FStopMode = AValue;
}
TIdYarn* TIdThread::Yarn() const {
  TqvnLock Guard(FPropsLock);
  return FYarn.get();
}
void TIdThread::SetYarn(std::unique_ptr<TIdYarn> AValue) {
  TqvnLock Guard(FPropsLock);
  std::swap(FYarn, AValue);
}
TIdExceptionThreadEvent TIdThread::OnException() const {
  TqvnLock Guard(FPropsLock);
  return FOnException;
}
void TIdThread::SetOnException(TIdExceptionThreadEvent AValue) {
  TqvnLock Guard(FPropsLock);
  std::swap(FOnException, AValue);
}
TIdNotifyThreadEvent TIdThread::OnStopped() const {
  TqvnLock Guard(FPropsLock);
  return FOnStopped;
}
void TIdThread::SetOnStopped(TIdNotifyThreadEvent AValue) {
  TqvnLock Guard(FPropsLock);
  std::swap(FOnStopped, AValue);
}
std::string TIdThread::TerminatingException() const {
  TqvnLock Guard(FPropsLock);
  return FTerminatingException;
}
const std::type_info* TIdThread::TerminatingExceptionClass() const {
  TqvnLock Guard(FPropsLock);
  return FTerminatingExceptionClass;
}

}  // namespace qvn
