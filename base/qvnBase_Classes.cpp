#include "base/qvnBase_Classes.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "base/qvnWebSocket_Helpers.h"

namespace qvn {
namespace {

// The wait before each OnTimer is Interval rounded up to whole steps of this length.
constexpr int kWaitStepMs = 100;

std::chrono::milliseconds RoundedWait(int aInterval) {
  if (aInterval <= 0) return std::chrono::milliseconds(0);
  return std::chrono::milliseconds((aInterval + kWaitStepMs - 1) / kWaitStepMs * kWaitStepMs);
}

}  // namespace

std::string TqvnComponent_Base::Version() const { return "2025.1.0"; }

// ---- TqvnIdThread ----

TqvnIdThread::TqvnIdThread(bool aCreateSuspended, bool aLoop, std::string aName)
    : TIdThread(aCreateSuspended, aLoop, std::move(aName)) {}

TqvnIdThread::~TqvnIdThread() { EndThread(); }

std::string TqvnIdThread::DebugName() const {
  TqvnLock guard(FDebugNameLock);
  return FDebugName;
}

void TqvnIdThread::SetDebugName(std::string aValue) {
  {
    TqvnLock guard(FDebugNameLock);
    std::swap(FDebugName, aValue);
  }
  PublishName();
}

std::string TqvnIdThread::NameForDebuggers() const {
  std::string name = DebugName();
  return name.empty() ? TIdThread::NameForDebuggers() : name;
}

void TqvnIdThread::Cycle() {
  if (FThreadId == 0) FThreadId = static_cast<std::uint32_t>(gettid());
}

// ---- TqvnTimer ----

TqvnTimer::TqvnTimer() : TqvnIdThread(false, true, "") { AfterConstruction(); }

TqvnTimer::~TqvnTimer() { EndThread(); }

void TqvnTimer::SetEnabled(bool aValue) {
  FEnabled = aValue;
  if (aValue) {
    Start();
  } else {
    Terminate();
  }
}

void TqvnTimer::SetInterval(int aValue) {
  FInterval = aValue;
  InterruptSleep();
}

void TqvnTimer::FireNow() {
  FFireNow = true;
  InterruptSleep();
}

void TqvnTimer::FireBy(std::chrono::steady_clock::time_point aTime) {
  auto asked = FFireBy.load();
  while (aTime < asked) {
    if (FFireBy.compare_exchange_weak(asked, aTime)) {
      InterruptSleep();
      return;
    }
  }
}

TqvnTimerOnTimer TqvnTimer::OnTimer() const {
  TqvnLock guard(FEventsLock);
  return FOnTimer;
}

void TqvnTimer::SetOnTimer(TqvnTimerOnTimer aValue) {
  TqvnLock guard(FEventsLock);
  std::swap(FOnTimer, aValue);
}

TqvnTimerOnException TqvnTimer::OnException() const {
  TqvnLock guard(FEventsLock);
  return FOnException;
}

void TqvnTimer::SetOnException(TqvnTimerOnException aValue) {
  TqvnLock guard(FEventsLock);
  std::swap(FOnException, aValue);
}

void TqvnTimer::Cycle() {
  TqvnIdThread::Cycle();
  try {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
      if (FFireNow.exchange(false)) break;
      // Read at each wake-up: a changed Interval counts from the start of this wait.
      const auto fireBy = FFireBy.load();
      const auto due = std::min(start + RoundedWait(Interval()), fireBy);
      const auto now = std::chrono::steady_clock::now();
      if (now >= due) {
        // Fired now, so a moment asked for that has passed is served; an earlier one asked for
        // meanwhile stays and fires the next cycle at once.
        auto asked = fireBy;
        if (fireBy <= now)
          FFireBy.compare_exchange_strong(asked, std::chrono::steady_clock::time_point::max());
        break;
      }
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - now);
      if (!SleepUnlessTerminated(left)) return;
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
  } catch (const std::exception& e) {
    FireException(e);
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

void TqvnTimer::FireException(const std::exception& e) {
  RunAsHandler([this, &e] { DoException(e); });
}

void TqvnTimer::DoTimer() {
  const TqvnTimerOnTimer handler = OnTimer();
  if (!handler) return;
  try {
    handler(this);
  } catch (const std::exception& e) {
    if (!OnException()) throw;
    DoException(e);
  }
}

void TqvnTimer::DoException(const std::exception& e) {
  const TqvnTimerOnException handler = OnException();
  if (handler) handler(this, e);
}

// ---- FreeThreadSafely ----

void FreeThreadSafely(TqvnIdThread*& aThread) {
  TqvnIdThread* const thread = aThread;
  if (thread == nullptr) return;
  aThread = nullptr;
  if (thread->FreeOnTerminateIfBusy()) return;  // it frees itself; it may be gone already
  thread->Terminate();
  delete thread;  // waits for the body's end
}

}  // namespace qvn
