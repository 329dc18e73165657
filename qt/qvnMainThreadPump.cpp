#include "qt/qvnMainThreadPump.h"

#include <QCoreApplication>
#include <QEvent>
#include <QtGlobal>
#include <exception>
#include <optional>
#include <utility>

#include "base/qvnWebSocket_Helpers.h"

namespace qvn {

namespace {

const QEvent::Type kPumpEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

TqvnMainThreadPump::TqvnMainThreadPump(TErrorHandler aOnError, std::function<void()> aBeforeRun,
                                       std::function<void()> aAfterRun)
    : FOnError(std::move(aOnError)),
      FBeforeRun(std::move(aBeforeRun)),
      FAfterRun(std::move(aAfterRun)) {
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
  std::optional<std::string> failure;
  try {
    Run();
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "Unknown exception in a call run on the main thread";
  }
  // Reported outside the catch block, so a dialog's event loop never runs with it in flight.
  if (failure) ReportError(*failure);
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

void TqvnMainThreadPump::ReportError(const std::string& aMessage) {
  if (!FOnError) {
    qWarning("%s", aMessage.c_str());
    return;
  }
  try {
    FOnError(aMessage);
  } catch (...) {
    // Reported as far as it can be; nothing may cross Qt's event loop.
  }
}

}  // namespace qvn
