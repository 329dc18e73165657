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
    TqvnLock Guard(FLock);
    return std::this_thread::get_id() == FMainThread;
  }

  void SetMainThread(std::thread::id AId) {
    TqvnLock Guard(FLock);
    FMainThread = AId;
  }

  void SetWakeUp(std::function<void()> AWakeUp) {
    TqvnLock Guard(FWakeUpLock);
    FWakeUp = std::move(AWakeUp);
  }

  void Append(TThreadMethod AMethod, const void* AOwner, std::shared_ptr<SyncCall> ASync) {
    {
      TqvnLock Guard(FLock);
      FCalls.push_back(QueuedCall{++FLastSequence, AOwner, std::move(AMethod), std::move(ASync)});
      FChanged.notify_all();
    }
    WakeUp();
  }

  std::size_t Pump() {
    std::uint64_t Last;
    {
      TqvnLock Guard(FLock);
      if (std::this_thread::get_id() != FMainThread) return 0;
      Last = FLastSequence;
    }
    std::size_t Count = 0;
    while (RunNext(Last)) ++Count;
    return Count;
  }

  void PumpUntil(const std::function<bool()>& ADone) {
    TqvnLock Lock(FLock);
    for (;;) {
      if (ADone()) return;
      const bool Pumping = std::this_thread::get_id() == FMainThread;
      if (Pumping && !FCalls.empty()) {
        const std::uint64_t Last = FCalls.back().Sequence;
        Lock.Unlock();
        try {
          while (RunNext(Last)) {
          }
        } catch (const std::exception& E) {
          std::cerr << "Exception in a call run on the main thread: " << E.what() << '\n';
        } catch (...) {
          std::cerr << "Unknown exception in a call run on the main thread\n";
        }
        Lock.Relock();
        continue;
      }
      Lock.Wait(FChanged);
    }
  }

  void WakeWaiters() {
    TqvnLock Guard(FLock);
    FChanged.notify_all();
  }

  void Remove(const void* AOwner) {
    TqvnLock Lock(FLock);
    std::erase_if(FCalls, [AOwner](const QueuedCall& C) { return C.Owner == AOwner; });
    const auto Self = std::this_thread::get_id();
    while (std::any_of(FRunning.begin(), FRunning.end(), [&](const Running& R) {
      return R.Owner == AOwner && R.Thread != Self;
    })) {
      Lock.Wait(FChanged);
    }
  }

 private:
  struct Running {
    const void* Owner;
    std::thread::id Thread;
  };

  // Runs the oldest call if its sequence is at most ALast. Returns false when there was none.
  bool RunNext(std::uint64_t ALast) {
    QueuedCall Call;
    {
      TqvnLock Guard(FLock);
      if (FCalls.empty() || FCalls.front().Sequence > ALast) return false;
      Call = std::move(FCalls.front());
      FCalls.pop_front();
      FRunning.push_back(Running{Call.Owner, std::this_thread::get_id()});
    }
    std::exception_ptr Error;
    try {
      Call.Method();
    } catch (...) {
      Error = std::current_exception();
    }
    bool MoreQueued;
    {
      TqvnLock Guard(FLock);
      // Nested pumps finish in reverse order, so the last matching record is this call's.
      const auto It = std::find_if(FRunning.rbegin(), FRunning.rend(), [&](const Running& R) {
        return R.Owner == Call.Owner && R.Thread == std::this_thread::get_id();
      });
      FRunning.erase(std::next(It).base());
      MoreQueued = !FCalls.empty();
      FChanged.notify_all();
    }
    if (Call.Sync) {
      TqvnLock Guard(Call.Sync->Lock);
      Call.Sync->Done = true;
      // Moved, not copied: the waiting caller then holds the only reference and frees the
      // exception on its own thread.
      Call.Sync->Error = std::move(Error);
      Call.Sync->DoneChanged.notify_all();
      return true;
    }
    if (Error) {
      if (MoreQueued) WakeUp();
      std::rethrow_exception(Error);
    }
    return true;
  }

  void WakeUp() {
    TqvnLock Guard(FWakeUpLock);
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
  static MainThreadQueue* const Instance = new MainThreadQueue;
  return *Instance;
}
[[maybe_unused]] const bool QueueCreatedAtStartUp = (Queue(), true);

}  // namespace

void QueueToMainThread(TThreadMethod AMethod, const void* AOwner) {
  if (Queue().IsMainThread()) {
    AMethod();
    return;
  }
  Queue().Append(std::move(AMethod), AOwner, nullptr);
}

void PostToMainThread(TThreadMethod AMethod, const void* AOwner) {
  Queue().Append(std::move(AMethod), AOwner, nullptr);
}

void RunInMainThread(const TThreadMethod& AMethod) {
  if (Queue().IsMainThread()) {
    AMethod();
    return;
  }
  auto Sync = std::make_shared<SyncCall>();
  Queue().Append(AMethod, nullptr, Sync);
  std::exception_ptr Error;
  {
    TqvnLock Lock(Sync->Lock);
    while (!Sync->Done) Lock.Wait(Sync->DoneChanged);
    Error = std::move(Sync->Error);
  }
  if (Error) std::rethrow_exception(Error);
}

std::size_t PumpMainThreadQueue() { return Queue().Pump(); }

void PumpMainThreadQueueUntil(const std::function<bool()>& ADone) { Queue().PumpUntil(ADone); }

void WakeMainThreadQueueWaiters() { Queue().WakeWaiters(); }

void RemoveQueuedCalls(const void* AOwner) { Queue().Remove(AOwner); }

void SetMainThread(std::thread::id AId) { Queue().SetMainThread(AId); }

bool IsMainThread() { return Queue().IsMainThread(); }

void SetMainThreadWakeUp(std::function<void()> AWakeUp) { Queue().SetWakeUp(std::move(AWakeUp)); }

void TPumpingRecursiveMutex::lock() {
  if (FMutex.try_lock()) return;
  if (IsMainThread()) {
    bool Locked = false;
    PumpMainThreadQueueUntil([&] { return Locked || (Locked = FMutex.try_lock()); });
  } else {
    FMutex.lock();
  }
}

void TPumpingRecursiveMutex::unlock() {
  FMutex.unlock();
  WakeMainThreadQueueWaiters();
}

}  // namespace qvn
