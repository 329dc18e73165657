// The one wait of tests with a Qt event loop: runs Qt's events (and with them the engine's ticks,
// which the window's pump runs from the loop) until a condition holds or the time is up. Called
// on the test's GUI thread.
#ifndef QVN_TESTS_SUPPORT_QTEVENTSUNTIL_H
#define QVN_TESTS_SUPPORT_QTEVENTSUNTIL_H

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace qvn::test {

// True once aDone() holds; false when aTimeoutMs passed without it.
inline bool QtEventsUntil(const std::function<bool()>& aDone, int aTimeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!aDone()) {
    if (timer.elapsed() > aTimeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return true;
}

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_QTEVENTSUNTIL_H
