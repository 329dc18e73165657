#include "base/qvnWebSocket_Helpers.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

#include "base/qvnThreadSafety.h"

namespace qvn {
namespace {

// Completion of one RunInMainThread call, shared by the waiting caller and the queue entry.
struct SyncCall {
  TqvnMutex Lock;
  std::condition_variable DoneChanged;
  bool Done QVN_GUARDED_BY(Lock) = false;
  std::exception_ptr Error QVN_GUARDED_BY(Lock);
};

struct QueuedCall {
  std::uint64_t Sequence;
  const void* Owner;  // nullptr: untagged
  TThreadMethod Method;
  std::shared_ptr<SyncCall> Sync;  // set for RunInMainThread
};

class MainThreadQueue {
 public:
  MainThreadQueue() : FMainThread(std::this_thread::get_id()) {}

  bool IsMainThread() {
    TqvnLock guard(FLock);
    return std::this_thread::get_id() == FMainThread;
  }

  void SetMainThread(std::thread::id aId) {
    TqvnLock guard(FLock);
    FMainThread = aId;
  }

  void SetWakeUp(std::function<void()> aWakeUp) {
    TqvnLock guard(FWakeUpLock);
    FWakeUp = std::move(aWakeUp);
  }

  void Append(TThreadMethod aMethod, const void* aOwner, std::shared_ptr<SyncCall> aSync) {
    {
      TqvnLock guard(FLock);
      FCalls.push_back(QueuedCall{++FLastSequence, aOwner, std::move(aMethod), std::move(aSync)});
      FChanged.notify_all();
    }
    WakeUp();
  }

  std::size_t Pump() {
    std::uint64_t last;
    {
      TqvnLock guard(FLock);
      if (std::this_thread::get_id() != FMainThread) return 0;
      last = FLastSequence;
    }
    std::size_t count = 0;
    while (RunNext(last)) ++count;
    return count;
  }

  bool PumpUntil(const std::function<bool()>& aDone,
                 std::chrono::steady_clock::time_point aDeadline) {
    TqvnLock lock(FLock);
    for (;;) {
      if (aDone()) return true;
      const bool pumping = std::this_thread::get_id() == FMainThread;
      if (pumping && !FCalls.empty()) {
        const std::uint64_t last = FCalls.back().Sequence;
        lock.Unlock();
        try {
          while (RunNext(last)) {
          }
        } catch (const std::exception& e) {
          std::cerr << "Exception in a call run on the main thread: " << e.what() << '\n';
        } catch (...) {
          std::cerr << "Unknown exception in a call run on the main thread\n";
        }
        lock.Relock();
        continue;
      }
      if (aDeadline == std::chrono::steady_clock::time_point::max()) {
        lock.Wait(FChanged);
      } else if (!lock.WaitUntil(FChanged, aDeadline)) {
        return aDone();
      }
    }
  }

  void WakeWaiters() {
    TqvnLock guard(FLock);
    FChanged.notify_all();
  }

  void Remove(const void* aOwner) {
    TqvnLock lock(FLock);
    std::erase_if(FCalls, [aOwner](const QueuedCall& c) { return c.Owner == aOwner; });
    const auto self = std::this_thread::get_id();
    while (std::any_of(FRunning.begin(), FRunning.end(), [&](const Running& r) {
      return r.Owner == aOwner && r.Thread != self;
    })) {
      lock.Wait(FChanged);
    }
  }

 private:
  struct Running {
    const void* Owner;
    std::thread::id Thread;
  };

  // Runs the oldest call if its sequence is at most aLast. Returns false when there was none.
  bool RunNext(std::uint64_t aLast) {
    QueuedCall call;
    {
      TqvnLock guard(FLock);
      if (FCalls.empty() || FCalls.front().Sequence > aLast) return false;
      call = std::move(FCalls.front());
      FCalls.pop_front();
      FRunning.push_back(Running{call.Owner, std::this_thread::get_id()});
    }
    std::exception_ptr error;
    try {
      call.Method();
    } catch (...) {
      error = std::current_exception();
    }
    bool moreQueued;
    {
      TqvnLock guard(FLock);
      // Nested pumps finish in reverse order, so the last matching record is this call's.
      const auto it = std::find_if(FRunning.rbegin(), FRunning.rend(), [&](const Running& r) {
        return r.Owner == call.Owner && r.Thread == std::this_thread::get_id();
      });
      FRunning.erase(std::next(it).base());
      moreQueued = !FCalls.empty();
      FChanged.notify_all();
    }
    if (call.Sync) {
      TqvnLock guard(call.Sync->Lock);
      call.Sync->Done = true;
      // Moved, not copied: the waiting caller then holds the only reference and frees the
      // exception on its own thread.
      call.Sync->Error = std::move(error);
      call.Sync->DoneChanged.notify_all();
      return true;
    }
    if (error) {
      if (moreQueued) WakeUp();
      std::rethrow_exception(error);
    }
    return true;
  }

  void WakeUp() {
    TqvnLock guard(FWakeUpLock);
    if (FWakeUp) FWakeUp();
  }

  TqvnMutex FLock;
  std::condition_variable FChanged;  // a call was queued, finished or removed; waiters re-check
  std::thread::id FMainThread QVN_GUARDED_BY(FLock);
  std::deque<QueuedCall> FCalls QVN_GUARDED_BY(FLock);
  std::uint64_t FLastSequence QVN_GUARDED_BY(FLock) = 0;
  // Calls in progress, innermost last.
  std::vector<Running> FRunning QVN_GUARDED_BY(FLock);

  // Held while the hook runs.
  TqvnMutex FWakeUpLock;
  std::function<void()> FWakeUp QVN_GUARDED_BY(FWakeUpLock);
};

// Created during static initialisation, on the process's first thread, which therefore is the
// main thread by default. Never destroyed: workers may still queue during process exit.
MainThreadQueue& Queue() {
  static MainThreadQueue* const kInstance = new MainThreadQueue;
  return *kInstance;
}
[[maybe_unused]] const bool kQueueCreatedAtStartUp = (Queue(), true);

}  // namespace

void QueueToMainThread(TThreadMethod aMethod, const void* aOwner) {
  if (Queue().IsMainThread()) {
    aMethod();
    return;
  }
  Queue().Append(std::move(aMethod), aOwner, nullptr);
}

void PostToMainThread(TThreadMethod aMethod, const void* aOwner) {
  Queue().Append(std::move(aMethod), aOwner, nullptr);
}

void RunInMainThread(const TThreadMethod& aMethod) {
  if (Queue().IsMainThread()) {
    aMethod();
    return;
  }
  auto sync = std::make_shared<SyncCall>();
  Queue().Append(aMethod, nullptr, sync);
  std::exception_ptr error;
  {
    TqvnLock lock(sync->Lock);
    while (!sync->Done) lock.Wait(sync->DoneChanged);
    error = std::move(sync->Error);
  }
  if (error) std::rethrow_exception(error);
}

std::size_t PumpMainThreadQueue() { return Queue().Pump(); }

void PumpMainThreadQueueUntil(const std::function<bool()>& aDone) {
  Queue().PumpUntil(aDone, std::chrono::steady_clock::time_point::max());
}

bool PumpMainThreadQueueUntil(const std::function<bool()>& aDone,
                              std::chrono::steady_clock::time_point aDeadline) {
  return Queue().PumpUntil(aDone, aDeadline);
}

void WakeMainThreadQueueWaiters() { Queue().WakeWaiters(); }

void RemoveQueuedCalls(const void* aOwner) { Queue().Remove(aOwner); }

void SetMainThread(std::thread::id aId) { Queue().SetMainThread(aId); }

bool IsMainThread() { return Queue().IsMainThread(); }

void SetMainThreadWakeUp(std::function<void()> aWakeUp) { Queue().SetWakeUp(std::move(aWakeUp)); }

void TPumpingRecursiveMutex::lock() {
  if (FMutex.try_lock()) return;
  if (IsMainThread()) {
    bool locked = false;
    PumpMainThreadQueueUntil([&] { return locked || (locked = FMutex.try_lock()); });
  } else {
    FMutex.lock();
  }
}

void TPumpingRecursiveMutex::unlock() {
  FMutex.unlock();
  WakeMainThreadQueueWaiters();
}

}  // namespace qvn
