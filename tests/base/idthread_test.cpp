// TIdThread: the start / stop / terminate protocol, the body's naming and exception capture, and
// a main-thread wait that keeps pumping. Also the component base's version and state flags.

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/qvnBase_Classes.h"
#include "base/qvnIdThread.h"
#include "base/qvnWebSocket_Helpers.h"
#include "base_test_support.h"

namespace qvn::test {
namespace {

using namespace std::chrono_literals;

// A thread whose Cycle runs the given function.
class FunctionThread final : public TIdThread {
 public:
  using CycleFunction = std::function<void(FunctionThread&)>;
  FunctionThread(bool aCreateSuspended, bool aLoop, std::string aName, CycleFunction aCycle)
      : TIdThread(aCreateSuspended, aLoop, std::move(aName)), FCycle(std::move(aCycle)) {
    AfterConstruction();
  }
  ~FunctionThread() override { EndThread(); }

  std::atomic<int> Cycles{0};
  using TIdThread::SleepUnlessTerminated;

 protected:
  void Cycle() override {
    ++Cycles;
    if (FCycle) FCycle(*this);
  }

 private:
  const CycleFunction FCycle;
};

// Cycles quickly without burning the processor.
void Breathe(FunctionThread& aThread) { aThread.SleepUnlessTerminated(1ms); }

TEST(TIdThreadTest, EmptyNameBecomesIdThreadUnknown) {
  std::string osName;  // written by the thread, read after its end
  FunctionThread thread(false, false, "", [&osName](FunctionThread& aSelf) {
    char buffer[32] = {};
    pthread_getname_np(pthread_self(), buffer, sizeof buffer);
    osName = buffer;
    aSelf.Terminate();
  });
  ASSERT_TRUE(WaitUntil([&] { return thread.Finished(); }));
  EXPECT_EQ(thread.Name(), "IdThread (unknown)");
  EXPECT_EQ(osName, "IdThread (unkno");  // Linux keeps 15 bytes

  FunctionThread named(false, true, "poller", Breathe);
  ASSERT_TRUE(WaitUntil([&] { return named.Cycles > 0; }));
  EXPECT_EQ(named.Name(), "poller");
}

// The operating system's name of a thread (what `top -H` and debuggers show).
std::string OsThreadName(std::uint32_t aThreadId) {
  std::ifstream comm("/proc/self/task/" + std::to_string(aThreadId) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// Names set after the thread started reach the running thread too; a DebugName takes precedence.
TEST(TIdThreadTest, TheNameShownForTheThreadFollowsItsNames) {
  TqvnTimer timer;
  timer.SetInterval(0);
  ASSERT_TRUE(WaitUntil([&] { return timer.ThreadId() != 0; }));
  EXPECT_EQ(OsThreadName(timer.ThreadId()), "IdThread (unkno");
  timer.SetName("poller");
  EXPECT_EQ(OsThreadName(timer.ThreadId()), "poller");
  timer.SetDebugName("Telegram Thread");
  EXPECT_EQ(OsThreadName(timer.ThreadId()), "Telegram Thread");
  timer.SetName("other");
  EXPECT_EQ(OsThreadName(timer.ThreadId()), "Telegram Thread");
}

TEST(TIdThreadTest, CreatedSuspendedRunsNothingUntilStart) {
  FunctionThread thread(true, true, "t", Breathe);
  EXPECT_TRUE(thread.Suspended());
  EXPECT_TRUE(thread.Stopped());
  EXPECT_EQ(thread.Cycles, 0);
  thread.Start();
  ASSERT_TRUE(WaitUntil([&] { return thread.Cycles > 0; }));
  EXPECT_FALSE(thread.Stopped());
  thread.TerminateAndWaitFor();
  EXPECT_TRUE(thread.Finished());
}

// Counts the calls of every hook of the body into a counter that outlives the thread.
class HookCountingThread final : public TIdThread {
 public:
  explicit HookCountingThread(std::atomic<int>& aHooks)
      : TIdThread(true, true, "hooks"), FHooks(aHooks) {
    AfterConstruction();
  }
  ~HookCountingThread() override { EndThread(); }

 protected:
  void ThreadStarting() override { ++FHooks; }
  void CyclesStarting() override { ++FHooks; }
  void Cycle() override { ++FHooks; }
  void CyclesFinished() override { ++FHooks; }
  void ThreadFinishing() override { ++FHooks; }

 private:
  std::atomic<int>& FHooks;
};

TEST(TIdThreadTest, DestroyingANeverStartedThreadRunsNoHook) {
  std::atomic<int> hooks{0};
  std::atomic<int> stoppedNotices{0};
  auto thread = std::make_unique<HookCountingThread>(hooks);
  thread->SetOnStopped([&](TIdThread*) { ++stoppedNotices; });
  thread.reset();  // ends the suspended body without running it
  EXPECT_EQ(hooks, 0);
  EXPECT_EQ(stoppedNotices, 0);

  // The same counter sees a started thread's hooks, so it would see a wrongly run one.
  auto started = std::make_unique<HookCountingThread>(hooks);
  started->Start();
  ASSERT_TRUE(WaitUntil([&] { return hooks > 2; }));
  started.reset();
  EXPECT_GT(hooks, 3);
}

TEST(TIdThreadTest, StopInSuspendModeSuspendsUntilStart) {
  std::atomic<int> stoppedNotices{0};
  FunctionThread thread(false, true, "t", Breathe);
  thread.SetOnStopped([&](TIdThread*) { ++stoppedNotices; });
  thread.SetStopMode(smSuspend);
  ASSERT_TRUE(WaitUntil([&] { return thread.Cycles > 0; }));
  thread.Stop();
  EXPECT_TRUE(thread.Stopped());
  EXPECT_FALSE(thread.Terminated());
  ASSERT_TRUE(WaitUntil([&] { return thread.Suspended(); }));
  EXPECT_EQ(stoppedNotices, 1);
  const int cyclesWhileSuspended = thread.Cycles;
  thread.Start();
  ASSERT_TRUE(WaitUntil([&] { return thread.Cycles > cyclesWhileSuspended; }));
  thread.Stop();  // smTerminate is not set: the thread suspends again; destruction still ends it
}

TEST(TIdThreadTest, StopInTerminateModeEndsTheBody) {
  FunctionThread thread(false, true, "t", Breathe);
  ASSERT_TRUE(WaitUntil([&] { return thread.Cycles > 0; }));
  thread.Stop();
  EXPECT_TRUE(thread.Terminated());
  ASSERT_TRUE(WaitUntil([&] { return thread.Finished(); }));
  thread.Start();  // a terminated thread stays stopped
  EXPECT_TRUE(thread.Stopped());
}

TEST(TIdThreadTest, ExceptionEndingTheBodyIsStoredAndReported) {
  std::atomic<bool> reported{false};
  std::string reportedMessage;  // written by the thread before reported
  FunctionThread thread(true, true, "t", [](FunctionThread&) { throw std::logic_error("bad"); });
  thread.SetOnException([&](TIdThread*, const std::exception& e) {
    reportedMessage = e.what();
    reported = true;
  });
  thread.Start();
  ASSERT_TRUE(WaitUntil([&] { return thread.Finished(); }));
  EXPECT_TRUE(reported);
  EXPECT_EQ(reportedMessage, "bad");
  EXPECT_EQ(thread.TerminatingException(), "bad");
  ASSERT_NE(thread.TerminatingExceptionClass(), nullptr);
  EXPECT_EQ(*thread.TerminatingExceptionClass(), typeid(std::logic_error));
  EXPECT_TRUE(thread.Terminated());
  EXPECT_EQ(thread.Cycles, 1);
}

TEST(TIdThreadTest, TerminateAndWaitForRefusesSelfFreeingThreads) {
  std::atomic<bool> freed{false};
  auto guard = std::make_shared<test::Sentinel>(freed);
  auto* thread = new FunctionThread(false, true, "t", [guard](FunctionThread& aSelf) { Breathe(aSelf); });
  guard.reset();
  thread->SetFreeOnTerminate(true);
  try {
    thread->TerminateAndWaitFor();
    FAIL() << "no exception";
  } catch (const EIdThreadTerminateAndWaitFor& e) {
    EXPECT_STREQ(e.what(), "Cannot call TerminateAndWaitFor on FreeAndTerminate threads");
  }
  EXPECT_FALSE(thread->Terminated());
  const int cyclesBefore = thread->Cycles;
  ASSERT_TRUE(WaitUntil([&] { return thread->Cycles > cyclesBefore; }));  // still running
  thread->Terminate();  // it frees itself
  EXPECT_TRUE(WaitUntil([&] { return freed.load(); }));
}

// A worker blocked in RunInMainThread finishes while the main thread waits for its end.
TEST(TIdThreadTest, MainThreadWaitKeepsPumping) {
  HandPump pump;
  std::atomic<int> ranOnMain{0};
  FunctionThread thread(false, true, "t", [&ranOnMain](FunctionThread& aSelf) {
    aSelf.Synchronize([&ranOnMain] {
      if (IsMainThread()) ++ranOnMain;
    });
  });
  ASSERT_TRUE(WaitUntil([&] { return pump.WakeUps() >= 1; }));
  thread.TerminateAndWaitFor();
  EXPECT_TRUE(thread.Finished());
  EXPECT_GE(ranOnMain, 1);
}

class Component final : public TqvnComponent_Base {
 public:
  explicit Component(std::function<void(bool)> aOnDestroy) : FOnDestroy(std::move(aOnDestroy)) {}
  ~Component() override {
    Destroying();
    FOnDestroy(IsDestroying());
  }

 private:
  std::function<void(bool)> FOnDestroy;
};

TEST(TqvnComponentBaseTest, VersionAndDestroyingFlag) {
  bool destroyingSeen = false;
  {
    Component c([&](bool aDestroying) { destroyingSeen = aDestroying; });
    EXPECT_EQ(c.Version(), "2025.1.0");
    EXPECT_FALSE(c.IsDestroying());
    EXPECT_FALSE(c.IsLoading());
    EXPECT_FALSE(c.IsDesigning());
  }
  EXPECT_TRUE(destroyingSeen);
}

}  // namespace
}  // namespace qvn::test
