// TIdThread: an operating-system thread (std::thread) whose body repeats one unit of work, Cycle,
// until it is stopped, with a start / stop / terminate protocol guarded by one lock.
//
// Life of a thread object:
// - The constructor creates the thread but its body does not begin yet: a final (most derived)
//   class calls AfterConstruction() as the last statement of its constructor, so no virtual
//   method runs on the new thread before the whole object is built. With aCreateSuspended the
//   body then still waits for Start().
// - The body (Execute): names the thread ("IdThread (unknown)" when Name is empty) and publishes
//   its name for debuggers and `top -H` (NameForDebuggers; republished whenever it changes), runs
//   ThreadStarting, then while not Terminated: suspends itself while Stopped (after
//   NotifyStopped), runs CyclesStarting, Cycle (repeated while not Stopped when Loop is true, once
//   otherwise), CyclesFinished and ReleaseRunData. An exception that ends the body is stored in
//   TerminatingException / TerminatingExceptionClass and reported through OnException.
// - The destructor ends the thread: Terminate, resume, wait for the body's end, drop the calls
//   this object queued to the main thread. C++ destroys the most derived part first, so every
//   class that overrides a method the body calls ends the thread itself: it calls EndThread() as
//   the first statement of its destructor (final classes do; EndThread is idempotent).
// - A wait for the body's end (destructor, TerminateAndWaitFor) made on the main thread keeps
//   running the main thread's queued calls, so a worker blocked in RunInMainThread can finish.
//   A wait made on another thread only waits: such a worker then needs the main thread to pump.
// - A thread with FreeOnTerminate frees itself once its body has ended and no handler runs on its
//   behalf (EnterHandler / LeaveHandler, on whatever thread); nobody else may free it then.
// - Never free a thread from its own thread or from inside one of its handlers except through
//   FreeThreadSafely (base/qvnBase_Classes.h).
//
// Thread safety: every public method may be called from any thread. Start, Stop, Terminate and
// Stopped are atomic with respect to each other (FLock); property setters take effect at the
// body's next read. Event handlers run on the thread's own thread and are never called with a
// lock held.

#ifndef QVN_BASE_QVNIDTHREAD_H_
#define QVN_BASE_QVNIDTHREAD_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

#include "base/qvnThreadSafety.h"

namespace qvn {

class TIdThread;

enum TIdThreadStopMode : int { smTerminate = 0, smSuspend = 1 };

// Members of the thread's option set (bit positions of TIdThread's FOptions).
enum TIdThreadOption : int { itoStopped = 0, itoReqCleanup = 1, itoDataOwner = 2, itoTag = 3 };

// Scheduler record a thread may own; nothing in this program creates one.
class TIdYarn {
 public:
  virtual ~TIdYarn() = default;
};

using TIdNotifyThreadEvent = std::function<void(TIdThread* aThread)>;
using TIdExceptionThreadEvent =
    std::function<void(TIdThread* aThread, const std::exception& aException)>;

// Raised by TerminateAndWaitFor on a thread that frees itself.
class EIdThreadTerminateAndWaitFor : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TIdThread {
 public:
  TIdThread(bool aCreateSuspended = true, bool aLoop = true, std::string aName = "");
  virtual ~TIdThread();
  TIdThread(const TIdThread&) = delete;
  TIdThread& operator=(const TIdThread&) = delete;

  // If Stopped: clears the stop flag (keeps it when Terminated) and resumes a suspended thread.
  // A running thread that is not stopped is left alone.
  virtual void Start();
  // If not Stopped: Terminate when StopMode is smTerminate, then sets the stop flag (with
  // smSuspend the body suspends itself after the current cycle until Start).
  virtual void Stop();
  // Sets the stop flag and Terminated; never waits. A sleep of SleepUnlessTerminated ends at once.
  virtual void Terminate();
  // Terminate, Start, then waits for the body's end (pumping on the main thread). Raises
  // EIdThreadTerminateAndWaitFor on a FreeOnTerminate thread and changes nothing then.
  virtual void TerminateAndWaitFor();
  // Runs aMethod on the main thread and waits, like RunInMainThread.
  void Synchronize(const std::function<void()>& aMethod);

  bool Stopped() const;     // Terminated, or the stop flag is set, or the thread is suspended
  bool Terminated() const;  // Terminate has been called
  bool Suspended() const;   // created suspended and not yet started, or suspended itself
  bool Finished() const;    // the body has ended

  bool FreeOnTerminate() const;
  void SetFreeOnTerminate(bool aValue);
  int ReturnValue() const;
  void SetReturnValue(int aValue);
  std::shared_ptr<void> Data() const;
  void SetData(std::shared_ptr<void> aValue);  // dropped after each run when itoDataOwner is set
  bool Loop() const;
  void SetLoop(bool aValue);
  std::string Name() const;
  void SetName(std::string aValue);  // also republishes the name for debuggers
  TIdThreadStopMode StopMode() const;
  void SetStopMode(TIdThreadStopMode aValue);
  TIdYarn* Yarn() const;
  void SetYarn(std::unique_ptr<TIdYarn> aValue);
  TIdExceptionThreadEvent OnException() const;
  void SetOnException(TIdExceptionThreadEvent aValue);
  TIdNotifyThreadEvent OnStopped() const;
  void SetOnStopped(TIdNotifyThreadEvent aValue);

  // Message and class of the exception that ended the body; empty / nullptr when none did.
  std::string TerminatingException() const;
  const std::type_info* TerminatingExceptionClass() const;

 protected:
  // Hooks of the body, run on the thread itself. The four below do nothing here.
  virtual void CyclesFinished() {}
  virtual void ThreadFinishing() {}
  virtual void ThreadStarting() {}
  virtual void CyclesStarting() {}
  // Clears itoReqCleanup, frees the yarn, drops Data when itoDataOwner is set.
  virtual void ReleaseRunData();
  // Fires OnException / OnStopped when assigned.
  virtual void NotifyException(const std::exception& aException);
  virtual void NotifyStopped();
  // An exception from Cycle: true goes on cycling, false ends the body with it.
  virtual bool AcceptCycleError(const std::exception& aException);
  // One unit of work.
  virtual void Cycle() = 0;

  // Lets the body begin; the most derived constructor calls it last (see above).
  void AfterConstruction();
  // Ends the thread for destruction; the first statement of every overriding class's destructor.
  void EndThread();
  // Sleeps aDuration, or less when Terminate or InterruptSleep ends the sleep; returns false when
  // the thread is terminated. Callers that need a full sleep check their own clock.
  bool SleepUnlessTerminated(std::chrono::milliseconds aDuration);
  // Ends the sleep of SleepUnlessTerminated in progress (or, when none is, the next one) early.
  void InterruptSleep();
  // The name the operating system shows for the thread: Name here.
  virtual std::string NameForDebuggers() const { return Name(); }
  // Publishes NameForDebuggers() as the operating-system thread's name (Linux keeps 15 bytes).
  void PublishName();
  // True when called on this object's own thread.
  bool IsOwnThread() const;
  // Handler bookkeeping. EnterHandler returns false (run nothing) once the object is being freed;
  // otherwise a handler counts as running on the thread's behalf until LeaveHandler. LeaveHandler
  // returns true when the caller must now `delete this` (a FreeOnTerminate thread whose body has
  // ended and whose last handler this was); the caller touches nothing of the object afterwards.
  bool EnterHandler();
  bool LeaveHandler();
  bool HandlerRunning() const;
  // FreeOnTerminate + Terminate as one step, for the self-freeing path of FreeThreadSafely; no
  // further handler begins (the one in progress finishes). Returns false, changing nothing, when
  // the caller is neither on the thread itself nor inside one of its handlers on the calling
  // thread: the caller must then free the thread itself, which waits for a handler running on
  // another thread.
  bool FreeOnTerminateIfBusy();

 private:
  static void ThreadMain(TIdThread* aThread);
  void Execute();
  bool StoppedLocked() const QVN_REQUIRES(FLock);
  void TerminateLocked() QVN_REQUIRES(FLock);
  bool SuspendWhileStopped();  // body: false when the loop must end
  void SetOption(TIdThreadOption aOption, bool aOn);
  bool HasOption(TIdThreadOption aOption) const;
  void WaitForEnd();
  void ReportTerminatingException(const std::exception& aException, const std::type_info* aClass);

  // ---- State below is protected by FLock ----
  mutable TqvnMutex FLock;
  std::condition_variable FStateChanged;  // Terminate, resume, body end
  // Bit set of TIdThreadOption.
  unsigned FOptions QVN_GUARDED_BY(FLock) = 0;
  // The body waits until this is false.
  bool FSuspended QVN_GUARDED_BY(FLock) = true;
  // AfterConstruction has run.
  bool FConstructed QVN_GUARDED_BY(FLock) = false;
  // EndThread has begun: the body must not begin.
  bool FEnding QVN_GUARDED_BY(FLock) = false;
  // The object is being freed: no handler may begin.
  bool FDeleting QVN_GUARDED_BY(FLock) = false;
  // Its owner let go (FreeOnTerminateIfBusy): likewise.
  bool FReleased QVN_GUARDED_BY(FLock) = false;
  bool FFreeOnTerminate QVN_GUARDED_BY(FLock) = false;
  // InterruptSleep, not yet seen by a sleep.
  bool FSleepInterrupted QVN_GUARDED_BY(FLock) = false;
  // One entry per handler running on its behalf.
  std::vector<std::thread::id> FHandlerThreads QVN_GUARDED_BY(FLock);
  // Written under FLock, read anywhere.
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};

  // ---- Properties below are protected by FPropsLock ----
  mutable TqvnMutex FPropsLock;
  std::shared_ptr<void> FData QVN_GUARDED_BY(FPropsLock);
  bool FLoop QVN_GUARDED_BY(FPropsLock);
  std::string FName QVN_GUARDED_BY(FPropsLock);
  TIdThreadStopMode FStopMode QVN_GUARDED_BY(FPropsLock) = smTerminate;
  int FReturnValue QVN_GUARDED_BY(FPropsLock) = 0;
  std::unique_ptr<TIdYarn> FYarn QVN_GUARDED_BY(FPropsLock);
  std::string FTerminatingException QVN_GUARDED_BY(FPropsLock);
  const std::type_info* FTerminatingExceptionClass QVN_GUARDED_BY(FPropsLock) = nullptr;
  TIdExceptionThreadEvent FOnException QVN_GUARDED_BY(FPropsLock);
  TIdNotifyThreadEvent FOnStopped QVN_GUARDED_BY(FPropsLock);

  TqvnMutex FPublishLock;  // publishing the name: the last one published reflects the last change

  // Touched by the constructor and the destroying thread only.
  bool FEndThreadDone = false;
  std::thread FThread;     // started last in the constructor
  std::thread::id FOwnId;  // FThread's id, fixed by the constructor before the body begins
};

}  // namespace qvn

#endif  // QVN_BASE_QVNIDTHREAD_H_
