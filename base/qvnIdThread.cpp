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
  std::lock_guard<std::mutex> Guard(FPropsLock);
  FYarn.reset();
}

void TIdThread::AfterConstruction() {
  std::lock_guard<std::mutex> Guard(FLock);
  FConstructed = true;
  FStateChanged.notify_all();
}

void TIdThread::EndThread() {
  if (FEndThreadDone) return;
  FEndThreadDone = true;
  {
    std::lock_guard<std::mutex> Guard(FLock);
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
    std::unique_lock<std::mutex> Lock(AThread->FLock);
    AThread->FStateChanged.wait(Lock, [AThread] {
      return AThread->FEnding || (AThread->FConstructed && !AThread->FSuspended);
    });
    Run = !AThread->FEnding && !AThread->FTerminated;
  }
  if (Run) AThread->Execute();
  bool FreeNow;
  {
    std::lock_guard<std::mutex> Guard(AThread->FLock);
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
    std::lock_guard<std::mutex> Guard(FPropsLock);
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
    std::lock_guard<std::mutex> Guard(FPropsLock);
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
  std::unique_lock<std::mutex> Lock(FLock);
  if (!StoppedLocked()) return true;
  if (FTerminated) return false;
  FSuspended = true;
  FStateChanged.wait(Lock, [this] { return !FSuspended; });
  return !FTerminated;
}

void TIdThread::Start() {
  std::lock_guard<std::mutex> Guard(FLock);
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
  std::lock_guard<std::mutex> Guard(FLock);
  if (StoppedLocked()) return;
  if (Mode == smTerminate) TerminateLocked();
  FOptions |= Bit(itoStopped);
}

void TIdThread::Terminate() {
  std::lock_guard<std::mutex> Guard(FLock);
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
  std::unique_lock<std::mutex> Lock(FLock);
  FStateChanged.wait(Lock, [this] { return FFinished.load(); });
}

void TIdThread::Synchronize(const std::function<void()>& AMethod) { RunInMainThread(AMethod); }

bool TIdThread::SleepUnlessTerminated(std::chrono::milliseconds ADuration) {
  std::unique_lock<std::mutex> Lock(FLock);
  FStateChanged.wait_for(Lock, ADuration, [this] { return FTerminated || FSleepInterrupted; });
  FSleepInterrupted = false;
  return !FTerminated;
}

void TIdThread::InterruptSleep() {
  std::lock_guard<std::mutex> Guard(FLock);
  FSleepInterrupted = true;
  FStateChanged.notify_all();
}

void TIdThread::PublishName() {
  std::lock_guard<std::mutex> Guard(FPublishLock);
  const std::string Published = NameForDebuggers().substr(0, 15);
  if (IsOwnThread()) {
    pthread_setname_np(pthread_self(), Published.c_str());
  } else if (FThread.joinable()) {
    pthread_setname_np(FThread.native_handle(), Published.c_str());
  }
}

bool TIdThread::IsOwnThread() const { return std::this_thread::get_id() == FOwnId; }

bool TIdThread::EnterHandler() {
  std::lock_guard<std::mutex> Guard(FLock);
  if (FDeleting || FReleased) return false;
  FHandlerThreads.push_back(std::this_thread::get_id());
  return true;
}

bool TIdThread::LeaveHandler() {
  std::lock_guard<std::mutex> Guard(FLock);
  const auto Entry =
      std::find(FHandlerThreads.begin(), FHandlerThreads.end(), std::this_thread::get_id());
  if (Entry != FHandlerThreads.end()) FHandlerThreads.erase(Entry);
  const bool FreeNow = FHandlerThreads.empty() && FFreeOnTerminate && FFinished && !FDeleting;
  if (FreeNow) FDeleting = true;
  return FreeNow;
}

bool TIdThread::HandlerRunning() const {
  std::lock_guard<std::mutex> Guard(FLock);
  return !FHandlerThreads.empty();
}

bool TIdThread::FreeOnTerminateIfBusy() {
  std::lock_guard<std::mutex> Guard(FLock);
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
  std::lock_guard<std::mutex> Guard(FLock);
  return StoppedLocked();
}

bool TIdThread::Terminated() const { return FTerminated; }

bool TIdThread::Suspended() const {
  std::lock_guard<std::mutex> Guard(FLock);
  return FSuspended;
}

bool TIdThread::Finished() const { return FFinished; }

bool TIdThread::FreeOnTerminate() const {
  std::lock_guard<std::mutex> Guard(FLock);
  return FFreeOnTerminate;
}

void TIdThread::SetFreeOnTerminate(bool AValue) {
  std::lock_guard<std::mutex> Guard(FLock);
  FFreeOnTerminate = AValue;
}

void TIdThread::SetOption(TIdThreadOption AOption, bool AOn) {
  std::lock_guard<std::mutex> Guard(FLock);
  if (AOn) {
    FOptions |= Bit(AOption);
  } else {
    FOptions &= ~Bit(AOption);
  }
}

bool TIdThread::HasOption(TIdThreadOption AOption) const {
  std::lock_guard<std::mutex> Guard(FLock);
  return (FOptions & Bit(AOption)) != 0;
}

void TIdThread::ReleaseRunData() {
  SetOption(itoReqCleanup, false);
  const bool DataOwner = HasOption(itoDataOwner);
  // Released outside the lock: a destructor must not run while we hold it.
  std::unique_ptr<TIdYarn> Yarn;
  std::shared_ptr<void> Data;
  {
    std::lock_guard<std::mutex> Guard(FPropsLock);
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
  std::lock_guard<std::mutex> Guard(FPropsLock);
  return FReturnValue;
}
void TIdThread::SetReturnValue(int AValue) {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  FReturnValue = AValue;
}
std::shared_ptr<void> TIdThread::Data() const {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  return FData;
}
void TIdThread::SetData(std::shared_ptr<void> AValue) {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  std::swap(FData, AValue);
}
bool TIdThread::Loop() const {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  return FLoop;
}
void TIdThread::SetLoop(bool AValue) {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  FLoop = AValue;
}
std::string TIdThread::Name() const {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  return FName;
}
void TIdThread::SetName(std::string AValue) {
  {
    std::lock_guard<std::mutex> Guard(FPropsLock);
    FName = std::move(AValue);
  }
  PublishName();
}
TIdThreadStopMode TIdThread::StopMode() const {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  return FStopMode;
}
void TIdThread::SetStopMode(TIdThreadStopMode AValue) {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  FStopMode = AValue;
}
TIdYarn* TIdThread::Yarn() const {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  return FYarn.get();
}
void TIdThread::SetYarn(std::unique_ptr<TIdYarn> AValue) {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  std::swap(FYarn, AValue);
}
TIdExceptionThreadEvent TIdThread::OnException() const {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  return FOnException;
}
void TIdThread::SetOnException(TIdExceptionThreadEvent AValue) {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  std::swap(FOnException, AValue);
}
TIdNotifyThreadEvent TIdThread::OnStopped() const {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  return FOnStopped;
}
void TIdThread::SetOnStopped(TIdNotifyThreadEvent AValue) {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  std::swap(FOnStopped, AValue);
}
std::string TIdThread::TerminatingException() const {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  return FTerminatingException;
}
const std::type_info* TIdThread::TerminatingExceptionClass() const {
  std::lock_guard<std::mutex> Guard(FPropsLock);
  return FTerminatingExceptionClass;
}

}  // namespace qvn
