// Component base and the repeating worker thread.
//
// - TqvnComponent_Base: base of the client component; a version text and three state queries.
//   The most derived destructor calls Destroying() first, so IsDestroying is true while the
//   destructors run.
// - TqvnIdThread: a TIdThread that remembers its operating-system thread id and tells whether one
//   of its handlers is running (IsExecuting). Its DebugName, when set, is the name debuggers and
//   `top -H` show for the thread (the first 15 bytes), also when set after the thread started.
// - TqvnTimer: the worker. It runs from the end of its construction: each cycle waits Interval
//   (rounded up to the next multiple of 100 ms; no wait for 0 or less) and then fires OnTimer
//   according to NotifyEvents:
//     neNoSync        on the worker thread;
//     neAsynchronous  queued to the main thread (owner-tagged; the worker goes on at once);
//     neSynchronous   on the main thread, the worker waiting until it has run.
//   The wait ends at once on Terminate, on FireNow (OnTimer fires now, then the waits go on as
//   usual) and when Interval changes (the new Interval counts from the start of the wait); FireBy
//   ends it no later than a given moment (within a millisecond), for a deadline that falls
//   inside the interval.
//   An exception from OnTimer goes to OnException on the thread that ran OnTimer (without
//   OnException it travels on: to the main thread's pump in neAsynchronous mode, back to the
//   worker otherwise); an exception in the cycle itself goes to OnException on the worker thread.
//   Enabled = false terminates the worker (a running OnTimer finishes, no further cycle starts);
//   Enabled = true afterwards does not revive it: replace a stopped worker, never restart it.
//   Settings may be changed from any thread; the worker reads them at each cycle.
// - FreeThreadSafely: ends and frees a worker. From outside the worker and its handlers it
//   terminates it and frees it, waiting for its body's end and for a handler of it that runs on
//   another thread (pumping when on the main thread). From the worker's own thread, or from
//   inside one of its handlers on the calling thread, it returns at once and the worker frees
//   itself after its body has ended and the running handler has returned.
//   Either way the caller's reference is cleared and must not be used again, and no handler of
//   the worker begins afterwards: ticks it queued to the main thread are dropped, also a tick it
//   waits for in neSynchronous mode (the main thread's wait pumps it away). The same holds for
//   `delete` from outside the worker and its handlers; never `delete` a worker from inside them.

#ifndef QVN_BASE_QVNBASE_CLASSES_H_
#define QVN_BASE_QVNBASE_CLASSES_H_

#include <atomic>
#include <chrono>
#include <concepts>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "base/qvnIdThread.h"
#include "base/qvnThreadSafety.h"
#include "base/qvnWebSocket_Types.h"

namespace qvn {

class TqvnComponent_Base {
 public:
  // aOwner is remembered only; C++ ownership (std::unique_ptr) decides who frees whom.
  explicit TqvnComponent_Base(TqvnComponent_Base* aOwner = nullptr) : FOwner(aOwner) {}
  virtual ~TqvnComponent_Base() = default;
  TqvnComponent_Base(const TqvnComponent_Base&) = delete;
  TqvnComponent_Base& operator=(const TqvnComponent_Base&) = delete;

  TqvnComponent_Base* Owner() const { return FOwner; }
  std::string Name() const { return FName; }
  void SetName(std::string aName) { FName = std::move(aName); }
  // Always "2025.1.0".
  std::string Version() const;

  virtual bool IsDesigning() const { return FDesigning; }
  virtual bool IsDestroying() const { return FDestroying; }
  virtual bool IsLoading() const { return FLoading; }

 protected:
  // Marks destruction as begun; the most derived destructor calls it as its first statement.
  void Destroying() { FDestroying = true; }
  void SetDesigning(bool aValue) { FDesigning = aValue; }
  void Loading() { FLoading = true; }
  void Loaded() { FLoading = false; }

 private:
  TqvnComponent_Base* const FOwner;
  std::string FName;  // owner's thread only
  // State flags; atomic because a worker thread may ask while the owner changes them.
  std::atomic<bool> FDesigning{false};
  std::atomic<bool> FDestroying{false};
  std::atomic<bool> FLoading{false};
};

class TqvnIdThread : public TIdThread {
 public:
  TqvnIdThread(bool aCreateSuspended = true, bool aLoop = true, std::string aName = "");
  ~TqvnIdThread() override;

  std::string DebugName() const;
  void SetDebugName(std::string aValue);
  // Operating-system id (gettid) of the thread; 0 until its first Cycle ran.
  std::uint32_t ThreadId() const { return FThreadId; }
  // True while one of the worker's handlers (OnTimer, OnException) runs, on whatever thread.
  bool IsExecuting() const { return HandlerRunning(); }
  // True when called on the worker's own thread (also before its first Cycle).
  bool IsCurrentThread() const { return IsOwnThread(); }

 protected:
  // Remembers the thread id on the first cycle.
  void Cycle() override;
  // DebugName when set, otherwise Name.
  std::string NameForDebuggers() const override;

 private:
  friend void FreeThreadSafely(TqvnIdThread*& aThread);

  mutable TqvnMutex FDebugNameLock;
  std::string FDebugName QVN_GUARDED_BY(FDebugNameLock);
  std::atomic<std::uint32_t> FThreadId{0};
};

class TqvnTimer;
using TqvnTimerOnTimer = std::function<void(TqvnTimer* aSender)>;
using TqvnTimerOnException = std::function<void(TqvnTimer* aSender, const std::exception& e)>;

class TqvnTimer final : public TqvnIdThread {
 public:
  // Running at once: Interval 60000, NotifyEvents neNoSync, Enabled false, no handlers.
  TqvnTimer();
  ~TqvnTimer() override;

  bool Enabled() const { return FEnabled; }
  // Stores the value; true calls Start, false calls Terminate.
  void SetEnabled(bool aValue);
  int Interval() const { return FInterval; }  // milliseconds
  void SetInterval(int aValue);
  // Ends the wait in progress (or the next one): OnTimer fires at once. Any thread.
  void FireNow();
  // Has OnTimer fire no later than aTime (at once when it has passed), then the waits go on as
  // usual; a moment later than one already asked for changes nothing. Any thread.
  void FireBy(std::chrono::steady_clock::time_point aTime);
  // Worker thread: runs aCall on the main thread as one of the worker's handlers and waits, as a
  // neSynchronous OnTimer runs (IsExecuting meanwhile; FreeThreadSafely from inside returns at
  // once). Runs nothing once the worker is being freed. aCall's exception reaches the caller.
  void RunInMainThreadAsHandler(const std::function<void()>& aCall);
  TwsNotifyEvent NotifyEvents() const { return FNotifyEvents; }
  void SetNotifyEvents(TwsNotifyEvent aValue) { FNotifyEvents = aValue; }
  TqvnTimerOnTimer OnTimer() const;
  void SetOnTimer(TqvnTimerOnTimer aValue);
  TqvnTimerOnException OnException() const;
  void SetOnException(TqvnTimerOnException aValue);

 protected:
  // Calls OnTimer when assigned; its exception goes to DoException when OnException is
  // assigned and travels on otherwise.
  virtual void DoTimer();
  // Calls OnException when assigned.
  virtual void DoException(const std::exception& e);
  void Cycle() override;

 private:
  // Runs aCall as a handler of the worker (nothing once the worker is being freed) and frees the
  // worker afterwards when that is due; an exception from aCall travels on.
  template <class TCall>
  void RunAsHandler(const TCall& aCall);
  // DoTimer / DoException, each through RunAsHandler.
  void FireTimer();
  void FireException(const std::exception& e);

  std::atomic<bool> FEnabled{false};
  std::atomic<bool> FFireNow{false};
  // The moment asked for by FireBy and not yet fired; max(): none.
  std::atomic<std::chrono::steady_clock::time_point> FFireBy{
      std::chrono::steady_clock::time_point::max()};
  std::atomic<int> FInterval{60000};
  std::atomic<TwsNotifyEvent> FNotifyEvents{neNoSync};
  mutable TqvnMutex FEventsLock;
  TqvnTimerOnTimer FOnTimer QVN_GUARDED_BY(FEventsLock);
  TqvnTimerOnException FOnException QVN_GUARDED_BY(FEventsLock);
};

// Ends and frees aThread (see above) and clears the reference. Nothing for nullptr.
void FreeThreadSafely(TqvnIdThread*& aThread);

// The same for a reference to a derived worker, e.g. TqvnTimer*.
template <std::derived_from<TqvnIdThread> T>
  requires(!std::same_as<T, TqvnIdThread>)
void FreeThreadSafely(T*& aThread) {
  TqvnIdThread* thread = aThread;
  aThread = nullptr;
  FreeThreadSafely(thread);
}

// The same for an owning pointer: ownership passes to FreeThreadSafely.
template <std::derived_from<TqvnIdThread> T>
void FreeThreadSafely(std::unique_ptr<T>& aThread) {
  TqvnIdThread* thread = aThread.release();
  FreeThreadSafely(thread);
}

}  // namespace qvn

#endif  // QVN_BASE_QVNBASE_CLASSES_H_
