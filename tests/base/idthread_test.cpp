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
  FunctionThread(bool ACreateSuspended, bool ALoop, std::string AName, CycleFunction ACycle)
      : TIdThread(ACreateSuspended, ALoop, std::move(AName)), FCycle(std::move(ACycle)) {
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
void Breathe(FunctionThread& AThread) { AThread.SleepUnlessTerminated(1ms); }

TEST(TIdThreadTest, EmptyNameBecomesIdThreadUnknown) {
  std::string OsName;  // written by the thread, read after its end
  FunctionThread Thread(false, false, "", [&OsName](FunctionThread& Self) {
    char Buffer[32] = {};
    pthread_getname_np(pthread_self(), Buffer, sizeof Buffer);
    OsName = Buffer;
    Self.Terminate();
  });
  ASSERT_TRUE(WaitUntil([&] { return Thread.Finished(); }));
  EXPECT_EQ(Thread.Name(), "IdThread (unknown)");
  EXPECT_EQ(OsName, "IdThread (unkno");  // Linux keeps 15 bytes

  FunctionThread Named(false, true, "poller", Breathe);
  ASSERT_TRUE(WaitUntil([&] { return Named.Cycles > 0; }));
  EXPECT_EQ(Named.Name(), "poller");
}

// The operating system's name of a thread (what `top -H` and debuggers show).
std::string OsThreadName(std::uint32_t AThreadId) {
  std::ifstream Comm("/proc/self/task/" + std::to_string(AThreadId) + "/comm");
  std::string Name;
  std::getline(Comm, Name);
  return Name;
}

// Names set after the thread started reach the running thread too; a DebugName takes precedence.
TEST(TIdThreadTest, TheNameShownForTheThreadFollowsItsNames) {
  TqvnTimer Timer;
  Timer.SetInterval(0);
  ASSERT_TRUE(WaitUntil([&] { return Timer.ThreadId() != 0; }));
  EXPECT_EQ(OsThreadName(Timer.ThreadId()), "IdThread (unkno");
  Timer.SetName("poller");
  EXPECT_EQ(OsThreadName(Timer.ThreadId()), "poller");
  Timer.SetDebugName("Telegram Thread");
  EXPECT_EQ(OsThreadName(Timer.ThreadId()), "Telegram Thread");
  Timer.SetName("other");
  EXPECT_EQ(OsThreadName(Timer.ThreadId()), "Telegram Thread");
}

TEST(TIdThreadTest, CreatedSuspendedRunsNothingUntilStart) {
  FunctionThread Thread(true, true, "t", Breathe);
  EXPECT_TRUE(Thread.Suspended());
  EXPECT_TRUE(Thread.Stopped());
  EXPECT_EQ(Thread.Cycles, 0);
  Thread.Start();
  ASSERT_TRUE(WaitUntil([&] { return Thread.Cycles > 0; }));
  EXPECT_FALSE(Thread.Stopped());
  Thread.TerminateAndWaitFor();
  EXPECT_TRUE(Thread.Finished());
}

TEST(TIdThreadTest, DestroyingANeverStartedThreadRunsNoHook) {
  auto Thread = std::make_unique<FunctionThread>(true, true, "t", Breathe);
  Thread.reset();  // ends the suspended body without running it
  SUCCEED();
}

TEST(TIdThreadTest, StopInSuspendModeSuspendsUntilStart) {
  std::atomic<int> StoppedNotices{0};
  FunctionThread Thread(false, true, "t", Breathe);
  Thread.SetOnStopped([&](TIdThread*) { ++StoppedNotices; });
  Thread.SetStopMode(smSuspend);
  ASSERT_TRUE(WaitUntil([&] { return Thread.Cycles > 0; }));
  Thread.Stop();
  EXPECT_TRUE(Thread.Stopped());
  EXPECT_FALSE(Thread.Terminated());
  ASSERT_TRUE(WaitUntil([&] { return Thread.Suspended(); }));
  EXPECT_EQ(StoppedNotices, 1);
  const int CyclesWhileSuspended = Thread.Cycles;
  Thread.Start();
  ASSERT_TRUE(WaitUntil([&] { return Thread.Cycles > CyclesWhileSuspended; }));
  Thread.Stop();  // smTerminate is not set: the thread suspends again; destruction still ends it
}

TEST(TIdThreadTest, StopInTerminateModeEndsTheBody) {
  FunctionThread Thread(false, true, "t", Breathe);
  ASSERT_TRUE(WaitUntil([&] { return Thread.Cycles > 0; }));
  Thread.Stop();
  EXPECT_TRUE(Thread.Terminated());
  ASSERT_TRUE(WaitUntil([&] { return Thread.Finished(); }));
  Thread.Start();  // a terminated thread stays stopped
  EXPECT_TRUE(Thread.Stopped());
}

TEST(TIdThreadTest, ExceptionEndingTheBodyIsStoredAndReported) {
  std::atomic<bool> Reported{false};
  std::string ReportedMessage;  // written by the thread before Reported
  FunctionThread Thread(true, true, "t", [](FunctionThread&) { throw std::logic_error("bad"); });
  Thread.SetOnException([&](TIdThread*, const std::exception& E) {
    ReportedMessage = E.what();
    Reported = true;
  });
  Thread.Start();
  ASSERT_TRUE(WaitUntil([&] { return Thread.Finished(); }));
  EXPECT_TRUE(Reported);
  EXPECT_EQ(ReportedMessage, "bad");
  EXPECT_EQ(Thread.TerminatingException(), "bad");
  ASSERT_NE(Thread.TerminatingExceptionClass(), nullptr);
  EXPECT_EQ(*Thread.TerminatingExceptionClass(), typeid(std::logic_error));
  EXPECT_TRUE(Thread.Terminated());
  EXPECT_EQ(Thread.Cycles, 1);
}

TEST(TIdThreadTest, TerminateAndWaitForRefusesSelfFreeingThreads) {
  std::atomic<bool> Freed{false};
  auto Guard = std::make_shared<test::Sentinel>(Freed);
  auto* Thread = new FunctionThread(false, true, "t", [Guard](FunctionThread& Self) { Breathe(Self); });
  Guard.reset();
  Thread->SetFreeOnTerminate(true);
  try {
    Thread->TerminateAndWaitFor();
    FAIL() << "no exception";
  } catch (const EIdThreadTerminateAndWaitFor& E) {
    EXPECT_STREQ(E.what(), "Cannot call TerminateAndWaitFor on FreeAndTerminate threads");
  }
  EXPECT_FALSE(Thread->Terminated());
  const int Cycles = Thread->Cycles;
  ASSERT_TRUE(WaitUntil([&] { return Thread->Cycles > Cycles; }));  // still running
  Thread->Terminate();  // it frees itself
  EXPECT_TRUE(WaitUntil([&] { return Freed.load(); }));
}

// A worker blocked in RunInMainThread finishes while the main thread waits for its end.
TEST(TIdThreadTest, MainThreadWaitKeepsPumping) {
  HandPump Pump;
  std::atomic<int> RanOnMain{0};
  FunctionThread Thread(false, true, "t", [&RanOnMain](FunctionThread& Self) {
    Self.Synchronize([&RanOnMain] {
      if (IsMainThread()) ++RanOnMain;
    });
  });
  ASSERT_TRUE(WaitUntil([&] { return Pump.WakeUps() >= 1; }));
  Thread.TerminateAndWaitFor();
  EXPECT_TRUE(Thread.Finished());
  EXPECT_GE(RanOnMain, 1);
}

class Component final : public TqvnComponent_Base {
 public:
  explicit Component(std::function<void(bool)> AOnDestroy) : FOnDestroy(std::move(AOnDestroy)) {}
  ~Component() override {
    Destroying();
    FOnDestroy(IsDestroying());
  }

 private:
  std::function<void(bool)> FOnDestroy;
};

TEST(TqvnComponentBaseTest, VersionAndDestroyingFlag) {
  bool DestroyingSeen = false;
  {
    Component C([&](bool ADestroying) { DestroyingSeen = ADestroying; });
    EXPECT_EQ(C.Version(), "2025.1.0");
    EXPECT_FALSE(C.IsDestroying());
    EXPECT_FALSE(C.IsLoading());
    EXPECT_FALSE(C.IsDesigning());
  }
  EXPECT_TRUE(DestroyingSeen);
}

}  // namespace
}  // namespace qvn::test
