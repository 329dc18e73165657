// The Qt adapter: calls queued to the main thread run from Qt's event loop, between the hooks;
// a call that raises is reported through the error handler and never thrown into Qt, and the
// calls queued after it still run.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "qt/qvnMainThreadPump.h"

namespace qvn::test {
namespace {

using Trace = std::vector<std::string>;

TEST(QtMainThreadPump, QueuedCallsRunFromTheEventLoopAndAFailureIsReported) {
  Trace trace;  // main thread only: the queued calls run there
  {
    TqvnMainThreadPump pump(
        [&](const std::string& aMessage) { trace.push_back("error " + aMessage); },
        [&] { trace.push_back("before"); }, [&] { trace.push_back("after"); });
    std::thread worker([&] {
      QueueToMainThread([&] {
        trace.push_back("first");
        throw std::runtime_error("boom");
      });
      QueueToMainThread([&] { trace.push_back("second"); });
    });
    worker.join();
    EXPECT_TRUE(trace.empty()) << "ran before the event loop did";
    QElapsedTimer timer;
    timer.start();
    while ((trace.empty() || trace.back() != "after" || trace.size() < 7) &&
           timer.elapsed() < 10000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
  }
  EXPECT_EQ(trace, (Trace{"before", "first", "after", "error boom", "before", "second", "after"}));

  // Without the pump nothing runs the queue from Qt.
  std::thread([&] { QueueToMainThread([&] { trace.push_back("unpumped"); }); }).join();
  QCoreApplication::processEvents();
  EXPECT_NE(trace.back(), "unpumped");
  PumpMainThreadQueue();
  EXPECT_EQ(trace.back(), "unpumped");
}

}  // namespace
}  // namespace qvn::test
