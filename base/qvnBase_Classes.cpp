#include "base/qvnBase_Classes.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include "base/qvnWebSocket_Helpers.h"

namespace qvn {
namespace {

constexpr int kSleepStepMs = 100;

}  // namespace

std::string TqvnComponent_Base::Version() const { return "2025.1.0"; }

// ---- TqvnIdThread ----

TqvnIdThread::TqvnIdThread(bool ACreateSuspended, bool ALoop, std::string AName)
    : TIdThread(ACreateSuspended, ALoop, std::move(AName)) {}

TqvnIdThread::~TqvnIdThread() { EndThread(); }

std::string TqvnIdThread::DebugName() const {
  std::lock_guard<std::mutex> Guard(FDebugNameLock);
  return FDebugName;
}

void TqvnIdThread::SetDebugName(std::string AValue) {
  std::lock_guard<std::mutex> Guard(FDebugNameLock);
  std::swap(FDebugName, AValue);
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

TqvnTimerOnTimer TqvnTimer::OnTimer() const {
  std::lock_guard<std::mutex> Guard(FEventsLock);
  return FOnTimer;
}

void TqvnTimer::SetOnTimer(TqvnTimerOnTimer AValue) {
  std::lock_guard<std::mutex> Guard(FEventsLock);
  std::swap(FOnTimer, AValue);
}

TqvnTimerOnException TqvnTimer::OnException() const {
  std::lock_guard<std::mutex> Guard(FEventsLock);
  return FOnException;
}

void TqvnTimer::SetOnException(TqvnTimerOnException AValue) {
  std::lock_guard<std::mutex> Guard(FEventsLock);
  std::swap(FOnException, AValue);
}

void TqvnTimer::Cycle() {
  TqvnIdThread::Cycle();
  try {
    int Countdown = Interval();
    int Waited = 0;
    while (Countdown > 0) {
      if (!SleepUnlessTerminated(std::chrono::milliseconds(kSleepStepMs))) return;
      Countdown -= kSleepStepMs;
      Waited += kSleepStepMs;
      // An Interval shortened during the wait takes effect now rather than after it.
      Countdown = std::min(Countdown, Interval() - Waited);
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
