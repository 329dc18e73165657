#include "base/qvnBase_Classes.h"

#include <unistd.h>

#include <chrono>
#include <utility>

#include "base/qvnWebSocket_Helpers.h"

namespace qvn {
namespace {

// The wait before each OnTimer is Interval rounded up to whole steps of this length.
constexpr int kWaitStepMs = 100;

std::chrono::milliseconds RoundedWait(int AInterval) {
  if (AInterval <= 0) return std::chrono::milliseconds(0);
  return std::chrono::milliseconds((AInterval + kWaitStepMs - 1) / kWaitStepMs * kWaitStepMs);
}

}  // namespace

std::string TqvnComponent_Base::Version() const { return "2025.1.0"; }

// ---- TqvnIdThread ----

TqvnIdThread::TqvnIdThread(bool ACreateSuspended, bool ALoop, std::string AName)
    : TIdThread(ACreateSuspended, ALoop, std::move(AName)) {}

TqvnIdThread::~TqvnIdThread() { EndThread(); }

std::string TqvnIdThread::DebugName() const {
  TqvnLock Guard(FDebugNameLock);
  return FDebugName;
}

void TqvnIdThread::SetDebugName(std::string AValue) {
  {
    TqvnLock Guard(FDebugNameLock);
    std::swap(FDebugName, AValue);
  }
  PublishName();
}

std::string TqvnIdThread::NameForDebuggers() const {
  std::string Name = DebugName();
  return Name.empty() ? TIdThread::NameForDebuggers() : Name;
}

void TqvnIdThread::Cycle() {
  if (FThreadId == 0) FThreadId = static_cast<std::uint32_t>(gettid());
}

// ---- TqvnTimer ----

TqvnTimer::TqvnTimer() : TqvnIdThread(false, true, "") { AfterConstruction(); }

TqvnTimer::~TqvnTimer() { EndThread(); }

void TqvnTimer::SetEnabled(bool AValue) {
  FEnabled = AValue;
  if (AValue) {
    Start();
  } else {
    Terminate();
  }
}

void TqvnTimer::SetInterval(int AValue) {
  FInterval = AValue;
  InterruptSleep();
}

void TqvnTimer::FireNow() {
  FFireNow = true;
  InterruptSleep();
}

TqvnTimerOnTimer TqvnTimer::OnTimer() const {
  TqvnLock Guard(FEventsLock);
  return FOnTimer;
}

void TqvnTimer::SetOnTimer(TqvnTimerOnTimer AValue) {
  TqvnLock Guard(FEventsLock);
  std::swap(FOnTimer, AValue);
}

TqvnTimerOnException TqvnTimer::OnException() const {
  TqvnLock Guard(FEventsLock);
  return FOnException;
}

void TqvnTimer::SetOnException(TqvnTimerOnException AValue) {
  TqvnLock Guard(FEventsLock);
  std::swap(FOnException, AValue);
}

void TqvnTimer::Cycle() {
  TqvnIdThread::Cycle();
  try {
    const auto Start = std::chrono::steady_clock::now();
    for (;;) {
      if (FFireNow.exchange(false)) break;
      // Read at each wake-up: a changed Interval counts from the start of this wait.
      const auto Due = Start + RoundedWait(Interval());
      const auto Now = std::chrono::steady_clock::now();
      if (Now >= Due) break;
      const auto Left = std::chrono::ceil<std::chrono::milliseconds>(Due - Now);
      if (!SleepUnlessTerminated(Left)) return;
    }
    switch (NotifyEvents()) {
      case neNoSync:
        FireTimer();
        break;
      case neAsynchronous:
        QueueToMainThread([this] { FireTimer(); }, this);
        break;
      case neSynchronous:
        RunInMainThread([this] { FireTimer(); });
        break;
      default:
        break;
    }
  } catch (const std::exception& E) {
    FireException(E);
  }
}

template <class TCall>
void TqvnTimer::RunAsHandler(const TCall& aCall) {
  if (!EnterHandler()) return;  // the worker is being freed
  try {
    aCall();
  } catch (...) {
    if (LeaveHandler()) delete this;
    throw;
  }
  if (LeaveHandler()) delete this;
}

void TqvnTimer::RunInMainThreadAsHandler(const std::function<void()>& aCall) {
  RunInMainThread([this, &aCall] { RunAsHandler(aCall); });
}

void TqvnTimer::FireTimer() {
  RunAsHandler([this] { DoTimer(); });
}

void TqvnTimer::FireException(const std::exception& E) {
  RunAsHandler([this, &E] { DoException(E); });
}

void TqvnTimer::DoTimer() {
  const TqvnTimerOnTimer Handler = OnTimer();
  if (!Handler) return;
  try {
    Handler(this);
  } catch (const std::exception& E) {
    if (!OnException()) throw;
    DoException(E);
  }
}

void TqvnTimer::DoException(const std::exception& E) {
  const TqvnTimerOnException Handler = OnException();
  if (Handler) Handler(this, E);
}

// ---- FreeThreadSafely ----

void FreeThreadSafely(TqvnIdThread*& AThread) {
  TqvnIdThread* const Thread = AThread;
  if (Thread == nullptr) return;
  AThread = nullptr;
  if (Thread->FreeOnTerminateIfBusy()) return;  // it frees itself; it may be gone already
  Thread->Terminate();
  delete Thread;  // waits for the body's end
}

}  // namespace qvn
