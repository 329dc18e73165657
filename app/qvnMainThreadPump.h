// TqvnMainThreadPump: runs the engine's main-thread queue from Qt's event loop.
//
// While it exists, the queue's wake-up hook posts one Qt event to this object whenever calls are
// queued (several wake-ups before the event is handled share one event); handling the event runs
// PumpMainThreadQueue on the GUI thread. Because modal dialogs run nested event loops, queued
// calls also run while a prompt is open. A call that raises is shown through the given dialogs'
// error box, never thrown into Qt. The optional hooks run around each run of the queue: aBeforeRun
// first, aAfterRun last, also when the run raised (then before its error is shown).
//
// Create and destroy it on the GUI thread, which it names the main thread; at most one at a
// time (the hook is process-wide). The destructor removes the hook. aDialogs must outlive it.
#ifndef QVN_APP_QVNMAINTHREADPUMP_H
#define QVN_APP_QVNMAINTHREADPUMP_H

#include <QObject>
#include <atomic>
#include <functional>

#include "app/qvnDialogs.h"

namespace qvn {

class TqvnMainThreadPump : public QObject {
 public:
  explicit TqvnMainThreadPump(IqvnDialogs& aDialogs, std::function<void()> aBeforeRun = {},
                              std::function<void()> aAfterRun = {});
  ~TqvnMainThreadPump() override;

 protected:
  bool event(QEvent* aEvent) override;

 private:
  void WakeUp();
  void Run();

  IqvnDialogs& FDialogs;
  const std::function<void()> FBeforeRun;
  const std::function<void()> FAfterRun;
  // True from posting the wake-up event until its handling starts; set from any thread.
  std::atomic<bool> FPosted{false};
};

}  // namespace qvn

#endif  // QVN_APP_QVNMAINTHREADPUMP_H
