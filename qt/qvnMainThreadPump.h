// TqvnMainThreadPump: runs the engine's main-thread queue from Qt's event loop.
//
// The one line a Qt program needs for the client's events (delivered to the main thread in the
// default neAsynchronous mode) to arrive, once its QCoreApplication or QApplication exists:
//
//   qvn::TqvnMainThreadPump pump;
//
// While it exists, the queue's wake-up hook posts one Qt event to this object whenever calls are
// queued (several wake-ups before the event is handled share one event); handling the event runs
// PumpMainThreadQueue on the GUI thread. Because modal dialogs run nested event loops, queued
// calls also run while a dialog is open. A call that raises never throws into Qt: its message
// goes to aOnError (by default to qWarning), called after the exception has been handled, so it
// may open a dialog. The optional hooks run around each run of the queue: aBeforeRun first,
// aAfterRun last, also when the run raised (then before aOnError).
//
// Create and destroy it on the GUI thread, which it names the main thread; at most one at a
// time (the hook is process-wide). The destructor removes the hook.
#ifndef QVN_QT_QVNMAINTHREADPUMP_H
#define QVN_QT_QVNMAINTHREADPUMP_H

#include <QObject>
#include <atomic>
#include <functional>
#include <string>

namespace qvn {

class TqvnMainThreadPump : public QObject {
 public:
  using TErrorHandler = std::function<void(const std::string& aMessage)>;

  explicit TqvnMainThreadPump(TErrorHandler aOnError = {}, std::function<void()> aBeforeRun = {},
                              std::function<void()> aAfterRun = {});
  ~TqvnMainThreadPump() override;

 protected:
  bool event(QEvent* aEvent) override;

 private:
  void WakeUp();
  void Run();
  void ReportError(const std::string& aMessage);

  const TErrorHandler FOnError;
  const std::function<void()> FBeforeRun;
  const std::function<void()> FAfterRun;
  // True from posting the wake-up event until its handling starts; set from any thread.
  std::atomic<bool> FPosted{false};
};

}  // namespace qvn

#endif  // QVN_QT_QVNMAINTHREADPUMP_H
