#include "app/qvnMainThreadPump.h"

#include <QCoreApplication>
#include <QEvent>

#include "base/qvnWebSocket_Helpers.h"

namespace qvn {

namespace {

const QEvent::Type kPumpEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

TqvnMainThreadPump::TqvnMainThreadPump(IqvnDialogs& aDialogs) : FDialogs(aDialogs) {
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
  RunShowingErrors(FDialogs, [] { PumpMainThreadQueue(); });
  return true;
}

}  // namespace qvn
