#include "app/qvnMainThreadPump.h"

#include <QCoreApplication>
#include <QEvent>
#include <utility>

#include "base/qvnWebSocket_Helpers.h"

namespace qvn {

namespace {

const QEvent::Type kPumpEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

TqvnMainThreadPump::TqvnMainThreadPump(IqvnDialogs& aDialogs, std::function<void()> aBeforeRun,
                                       std::function<void()> aAfterRun)
    : FDialogs(aDialogs), FBeforeRun(std::move(aBeforeRun)), FAfterRun(std::move(aAfterRun)) {
  SetMainThread();
  SetMainThreadWakeUp([this] { WakeUp(); });
  // Calls queued before the hook existed would otherwise wait for the next wake-up.
  WakeUp();
}

TqvnMainThreadPump::~TqvnMainThreadPump() {
  SetMainThreadWakeUp({});
}

void TqvnMainThreadPump::WakeUp() {
  if (!FPosted.exchange(true)) QCoreApplication::postEvent(this, new QEvent(kPumpEvent));
}

bool TqvnMainThreadPump::event(QEvent* aEvent) {
  if (aEvent->type() != kPumpEvent) return QObject::event(aEvent);
  // Cleared first: calls queued while the pump runs post a new event.
  FPosted = false;
  RunShowingErrors(FDialogs, [this] { Run(); });
  return true;
}

void TqvnMainThreadPump::Run() {
  if (FBeforeRun) FBeforeRun();
  try {
    PumpMainThreadQueue();
  } catch (...) {
    if (FAfterRun) FAfterRun();
    throw;
  }
  if (FAfterRun) FAfterRun();
}

}  // namespace qvn
