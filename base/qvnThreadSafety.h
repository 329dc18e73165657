// Locks that clang's thread-safety analysis checks. State shared between threads says which
// lock guards it (QVN_GUARDED_BY), functions that expect a lock held say so (QVN_REQUIRES), and
// the build with -Wthread-safety (CMake preset "thread-safety", run by scripts/test) fails on an
// access without the lock. With other compilers the macros are empty.
// - TqvnMutex: a std::mutex the analysis knows.
// - TqvnLock: holds a TqvnMutex for its scope; can wait on a std::condition_variable, the mutex
//   released while it waits. Wake-ups may be spurious: wait in a loop that re-checks the state,
//   so that the check is made with the lock held where the analysis can see it.
// - TqvnSharedMutex: a std::shared_mutex the analysis knows; TqvnSharedLock holds it shared for its
//   scope (many holders at once), TqvnLock-like exclusive use through lock()/unlock().
// libstdc++'s mutexes carry no such annotations, hence these thin types.
#ifndef QVN_BASE_QVNTHREADSAFETY_H_
#define QVN_BASE_QVNTHREADSAFETY_H_

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <shared_mutex>

#if defined(__clang__)
#define QVN_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define QVN_THREAD_ANNOTATION(x)
#endif

#define QVN_CAPABILITY(x) QVN_THREAD_ANNOTATION(capability(x))
#define QVN_SCOPED_CAPABILITY QVN_THREAD_ANNOTATION(scoped_lockable)
#define QVN_GUARDED_BY(x) QVN_THREAD_ANNOTATION(guarded_by(x))
#define QVN_REQUIRES(...) QVN_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define QVN_ACQUIRE(...) QVN_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define QVN_RELEASE(...) QVN_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define QVN_TRY_ACQUIRE(...) QVN_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define QVN_ACQUIRE_SHARED(...) QVN_THREAD_ANNOTATION(acquire_shared_capability(__VA_ARGS__))
#define QVN_RELEASE_SHARED(...) QVN_THREAD_ANNOTATION(release_shared_capability(__VA_ARGS__))
#define QVN_RELEASE_GENERIC(...) QVN_THREAD_ANNOTATION(release_generic_capability(__VA_ARGS__))

namespace qvn {

class QVN_CAPABILITY("mutex") TqvnMutex {
 public:
  void lock() QVN_ACQUIRE() { FMutex.lock(); }
  void unlock() QVN_RELEASE() { FMutex.unlock(); }

 private:
  friend class TqvnLock;
  std::mutex FMutex;
};

class QVN_SCOPED_CAPABILITY TqvnLock {
 public:
  explicit TqvnLock(TqvnMutex& aMutex) QVN_ACQUIRE(aMutex) : FLock(aMutex.FMutex) {}
  ~TqvnLock() QVN_RELEASE() {}
  TqvnLock(const TqvnLock&) = delete;
  TqvnLock& operator=(const TqvnLock&) = delete;

  // Releases the mutex for the wait and holds it again on return.
  void Wait(std::condition_variable& aCondition) { aCondition.wait(FLock); }
  // As Wait; returns false when aDeadline passed first.
  bool WaitUntil(std::condition_variable& aCondition,
                 std::chrono::steady_clock::time_point aDeadline) {
    return aCondition.wait_until(FLock, aDeadline) == std::cv_status::no_timeout;
  }

  // Lets go of the mutex for a stretch of the scope and takes it again.
  void Unlock() QVN_RELEASE() { FLock.unlock(); }
  void Relock() QVN_ACQUIRE() { FLock.lock(); }

 private:
  std::unique_lock<std::mutex> FLock;
};

class QVN_CAPABILITY("shared mutex") TqvnSharedMutex {
 public:
  void lock() QVN_ACQUIRE() { FMutex.lock(); }
  void unlock() QVN_RELEASE() { FMutex.unlock(); }
  void lock_shared() QVN_ACQUIRE_SHARED() { FMutex.lock_shared(); }
  void unlock_shared() QVN_RELEASE_SHARED() { FMutex.unlock_shared(); }

 private:
  std::shared_mutex FMutex;
};

class QVN_SCOPED_CAPABILITY TqvnSharedLock {
 public:
  explicit TqvnSharedLock(TqvnSharedMutex& aMutex) QVN_ACQUIRE_SHARED(aMutex) : FMutex(aMutex) {
    FMutex.lock_shared();
  }
  ~TqvnSharedLock() QVN_RELEASE_GENERIC() { FMutex.unlock_shared(); }
  TqvnSharedLock(const TqvnSharedLock&) = delete;
  TqvnSharedLock& operator=(const TqvnSharedLock&) = delete;

 private:
  TqvnSharedMutex& FMutex;
};

}  // namespace qvn

#endif  // QVN_BASE_QVNTHREADSAFETY_H_
