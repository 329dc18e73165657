// The process-wide main-thread queue: how worker threads hand calls to the main thread.
//
// - QueueToMainThread appends a call and returns at once (non-waiting hand-over). A call may carry
//   an owner tag; RemoveQueuedCalls(owner) drops the owner's calls that have not started and waits
//   for one of them that is running on the main thread to return, so a freed worker's pending
//   ticks never run against freed memory.
// - PostToMainThread is QueueToMainThread that also appends on the main thread itself: the call
//   runs at the main thread's next pump, behind the calls (and, in a GUI, the events) already
//   waiting. A batch of work on the main thread uses it to hand over its rest.
// - RunInMainThread appends a call and blocks until the main thread has run it; an exception the
//   call raised is re-raised in the caller.
// - QueueToMainThread and RunInMainThread run the call at once, inline, when called on the main
//   thread itself.
// - The main thread runs queued calls, in order, when it calls PumpMainThreadQueue (tests call it
//   by hand; a GUI loop calls it from the event that its wake-up hook posts).
// - SetMainThreadWakeUp installs a hook called, from any thread, each time something is queued.
//   The hook must be quick and must not call into this queue (a GUI posts an event and returns).
//   Clearing or replacing the hook waits for a call of the old hook in progress to return.
// - TPumpingRecursiveMutex: a recursive mutex the main thread can wait for without blocking the
//   workers that wait for the main thread: its lock() keeps running queued calls meanwhile.
//   TPumpingLock holds one for its scope where clang's thread-safety analysis can see it.
// - The main thread is the thread that ran the program's static initialisation (the process's
//   first thread) unless SetMainThread names another one.
//
// Every function may be called from any thread unless it says otherwise. The queue is never
// destroyed, so workers still running during process exit find it intact.

#ifndef QVN_BASE_QVNWEBSOCKET_HELPERS_H_
#define QVN_BASE_QVNWEBSOCKET_HELPERS_H_

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>

#include "base/qvnThreadSafety.h"

namespace qvn {

// A call handed to the main thread.
using TThreadMethod = std::function<void()>;

// Appends aMethod, tagged with aOwner (nullptr: untagged), to the main thread's queue, calls the
// wake-up hook and returns at once. On the main thread, runs aMethod at once instead (its
// exception, if any, reaches the caller).
void QueueToMainThread(TThreadMethod aMethod, const void* aOwner = nullptr);

// Appends aMethod, tagged with aOwner (nullptr: untagged), to the main thread's queue and calls the
// wake-up hook, from any thread: on the main thread too, the call waits for the next pump.
void PostToMainThread(TThreadMethod aMethod, const void* aOwner = nullptr);

// Runs aMethod on the main thread and waits until it has run; re-raises its exception here. On the
// main thread, runs aMethod at once. Called off the main thread, it blocks until the main thread
// pumps, so the main thread must not wait for the caller without pumping (see
// PumpMainThreadQueueUntil).
void RunInMainThread(const TThreadMethod& aMethod);

// Main thread only (elsewhere it does nothing and returns 0). Runs, in order, the calls queued
// before this call began; calls queued meanwhile wait for the next pump (the wake-up hook has been
// called for them). Returns how many calls ran. When a call raises, the exception leaves this
// function; the calls not yet run stay queued and the wake-up hook is called again for them.
std::size_t PumpMainThreadQueue();

// Waits until aDone() returns true. On the main thread it keeps running queued calls while it
// waits, so a worker blocked in RunInMainThread can finish; an exception from such a call cannot
// reach anyone here and is written to standard error. Off the main thread it only waits. aDone is
// evaluated under the queue's lock: it must be cheap (read an atomic) and must not call into the
// queue. Whoever makes aDone true calls WakeMainThreadQueueWaiters afterwards.
void PumpMainThreadQueueUntil(const std::function<bool()>& aDone);
// The same wait, ended at aDeadline at the latest; returns aDone()'s last value (false: the
// deadline passed first).
bool PumpMainThreadQueueUntil(const std::function<bool()>& aDone,
                              std::chrono::steady_clock::time_point aDeadline);

// Wakes the waits of PumpMainThreadQueueUntil so they re-evaluate their condition.
void WakeMainThreadQueueWaiters();

// Drops the calls tagged aOwner that have not started yet. If such a call is running on another
// thread (the main thread), waits for it to return; a call of aOwner running on the calling
// thread itself (further up its stack) cannot be waited for and is left to return on its own.
// aOwner must not be nullptr.
void RemoveQueuedCalls(const void* aOwner);

// Names the main thread (by default the thread that ran static initialisation).
void SetMainThread(std::thread::id aId = std::this_thread::get_id());

// True when the calling thread is the main thread.
bool IsMainThread();

// Installs (or with an empty function, removes) the wake-up hook described above.
void SetMainThreadWakeUp(std::function<void()> aWakeUp);

// A recursive mutex (Lockable, for std::unique_lock) for state that the main thread and workers
// share while a worker may wait for the main thread (RunInMainThread) with the mutex held. On the
// main thread lock() keeps running queued calls while it waits (PumpMainThreadQueueUntil); every
// unlock() wakes such a wait. Elsewhere it is a plain recursive mutex.
class QVN_CAPABILITY("mutex") TPumpingRecursiveMutex {
 public:
  void lock() QVN_ACQUIRE();
  bool try_lock() QVN_TRY_ACQUIRE(true) { return FMutex.try_lock(); }
  void unlock() QVN_RELEASE();

 private:
  std::recursive_mutex FMutex;
};

// Holds a TPumpingRecursiveMutex from construction to destruction. The analysis does not model
// recursion: code that already holds the mutex says so (QVN_REQUIRES) instead of taking it again.
// clang before 17 cannot follow a lock returned by value, so code the analysis checks constructs
// it in place.
class QVN_SCOPED_CAPABILITY TPumpingLock {
 public:
  explicit TPumpingLock(TPumpingRecursiveMutex& aMutex) QVN_ACQUIRE(aMutex) : FMutex(aMutex) {
    aMutex.lock();
  }
  ~TPumpingLock() QVN_RELEASE() { FMutex.unlock(); }
  TPumpingLock(const TPumpingLock&) = delete;
  TPumpingLock& operator=(const TPumpingLock&) = delete;

 private:
  TPumpingRecursiveMutex& FMutex;
};

}  // namespace qvn

#endif  // QVN_BASE_QVNWEBSOCKET_HELPERS_H_
