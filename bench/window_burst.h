// The harness of the window benchmarks: the real main window on Qt's offscreen platform, started
// against the scripted fake TDLib, and a burst of TDLib update texts (new chats and new messages
// from the sample files) queued in the fake at once, as a logged-in account's first seconds
// bring them.
//
// TTimedApplication times every event Qt delivers at the top level, so a burst reports the
// longest time the window's thread was busy in one go: the longest delivery of the engine's pump
// event (one delivery of the waiting receive or one tick, or several when they queued up
// meanwhile), in wall time and in the thread's own CPU time (what is left when other programs
// take the core away meanwhile), and the longest delivery of any event. Everything runs on the GUI thread; create the application first, then one
// TBurstWindow.
#ifndef QVN_BENCH_WINDOW_BURST_H
#define QVN_BENCH_WINDOW_BURST_H

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/FQVNTelegram.h"
#include "app/qvnLineView.h"
#include "bench_support.h"
#include "window_burst_texts.h"
#include "fake_tdjson.h"

namespace qvn::bench {

// A QApplication that times its top-level deliveries.
class TTimedApplication : public QApplication {
 public:
  using QApplication::QApplication;

  struct TStalls {
    double LongestPumpSeconds = 0;     // the engine's pump event (its deliveries or ticks)
    double LongestPumpCpuSeconds = 0;  // the same, in the GUI thread's CPU time
    double LongestAnySeconds = 0;      // any event, painting and layout included
    long PumpDeliveries = 0;
  };

  bool notify(QObject* aReceiver, QEvent* aEvent) override {
    if (FDepth > 0) return QApplication::notify(aReceiver, aEvent);
    // The pump is the only receiver of a custom event that is not a widget.
    const bool pump = aEvent->type() >= QEvent::User && !aReceiver->isWidgetType();
    ++FDepth;
    const Clock::time_point start = Clock::now();
    const double startCpu = ThreadCpuSeconds();
    const bool result = QApplication::notify(aReceiver, aEvent);
    const double seconds = SecondsSince(start);
    const double cpuSeconds = ThreadCpuSeconds() - startCpu;
    --FDepth;
    FStalls.LongestAnySeconds = std::max(FStalls.LongestAnySeconds, seconds);
    if (pump) {
      FStalls.LongestPumpSeconds = std::max(FStalls.LongestPumpSeconds, seconds);
      FStalls.LongestPumpCpuSeconds = std::max(FStalls.LongestPumpCpuSeconds, cpuSeconds);
      ++FStalls.PumpDeliveries;
    }
    return result;
  }

  TStalls TakeStalls() { return std::exchange(FStalls, TStalls()); }

 private:
  int FDepth = 0;
  TStalls FStalls;
};

// Dialogs that answer nothing: a burst of updates asks for no input. Errors are counted.
class TSilentDialogs : public IqvnDialogs {
 public:
  std::string InputBox(const std::string&, const std::string&, const std::string& aDefault,
                       bool) override {
    return aDefault;
  }
  std::optional<std::string> OpenFileName() override { return std::nullopt; }
  void ShowError(const std::string& aMessage) override {
    ++Errors;
    LastError = aMessage;
  }
  bool OpenWithDesktop(const std::string&) override { return false; }
  bool ConfirmCloseWithoutSaving(const std::string&) override { return true; }
  std::optional<int64_t> PickChat(const std::string&,
                                  const std::vector<TqvnChatChoice>&) override {
    return std::nullopt;
  }
  bool ConfirmDestructive(const std::string&, const std::string&) override { return false; }
  bool ConfirmOpenLink(const std::string&) override { return false; }
  bool OpenUrl(const std::string&) override { return false; }

  int Errors = 0;
  std::string LastError;
};

// The main window in a fresh settings folder, shown, started against the fake TDLib.
class TBurstWindow {
 public:
  TBurstWindow() {
    fake_td_reset();
    FWindow = std::make_unique<TFRMQVNTelegram>(FDialogs, (FFolder.Path() / "velune.ini").string());
    FWindow->show();
    TimeHandlers();
    Start();
  }
  ~TBurstWindow() {
    FWindow.reset();
    fake_td_reset();
  }

  TFRMQVNTelegram& Window() { return *FWindow; }

  // The longest time the window's own handlers took for one event (the log line, the model, the
  // row or message line), and the event's "@type": what a tick can overrun its time budget by.
  struct TSlowestEvent {
    double Seconds = 0;
    std::string Type;
  };
  TSlowestEvent TakeSlowestEvent() { return std::exchange(FSlowest, TSlowestEvent()); }
  TSilentDialogs& Dialogs() { return FDialogs; }

  template <class T>
  T* Control(const char* aName) {
    T* control = FWindow->findChild<T*>(QString::fromLatin1(aName));
    if (control == nullptr) throw std::runtime_error(std::string("no control ") + aName);
    return control;
  }

  // Fills the login entries and presses Start, as a user does.
  void Start() {
    Control<QLineEdit>("txtApiId")->setText("94575");
    Control<QLineEdit>("txtApiHash")->setText("a3406de8d171bb422bb6ddf3bbd800e2");
    Control<QLineEdit>("txtPhoneNumber")->setText("+15550100");
    Control<QPushButton>("btnStart")->click();
    if (!FWindow->QvnTelegram().Active()) throw std::runtime_error("the client did not start");
  }
  // Presses Stop, which also empties the chat list (but "All chats").
  void Stop() { Control<QPushButton>("btnStop")->click(); }
  // Empties the message view and the log, so a new burst starts from empty views.
  void ClearViews() {
    Control<TqvnLineView>("memoMessages")->Clear();
    Control<TqvnLineView>("memoLog")->Clear();
  }

  int Rows() { return Control<QListWidget>("listChats")->count(); }

  // Announces the chat of aNewChat (an updateNewChat text) and selects its row, as a user opens
  // a conversation: from then on its new messages go to the conversation view as well.
  void OpenChat(const std::string& aNewChat, int64_t aChatId) {
    const long handled = FHandled + 1;
    fake_td_queue_event(aNewChat.c_str());
    if (!RunUntil([&] { return FHandled >= handled; }, 60)) {
      throw std::runtime_error("the chat was not announced");
    }
    auto* chats = Control<QListWidget>("listChats");
    for (int i = 0; i < chats->count(); ++i) {
      if (chats->item(i)->data(Qt::UserRole).toLongLong() != aChatId) continue;
      chats->setCurrentRow(i);
      QCoreApplication::processEvents();
      return;
    }
    throw std::runtime_error("no row for the chat");
  }
  // Lines of the message view.
  int Lines() { return Control<TqvnLineView>("memoMessages")->RowCount(); }

  // Runs Qt's event loop until aDone() or aTimeoutSeconds; false on timeout.
  template <class TDone>
  bool RunUntil(TDone aDone, double aTimeoutSeconds) {
    // Every event that can change aDone() wakes the loop (the engine's pump posts one per
    // queued tick); the timer only makes sure the timeout is seen.
    QTimer wake;
    wake.start(50);
    const Clock::time_point start = Clock::now();
    while (!aDone()) {
      if (SecondsSince(start) > aTimeoutSeconds) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
  }

  struct TResult {
    double Seconds = -1;  // negative: not all shown before the timeout
    int Rows = 0;
    int Lines = 0;
    TTimedApplication::TStalls Stalls;
  };

  // Queues aBurst in the fake TDLib at once and runs the window until every chat row and
  // message line of it is shown. (A message whose text has line breaks takes several lines.)
  TResult Deliver(const TBurst& aBurst, double aTimeoutSeconds = 600) {
    auto* app = static_cast<TTimedApplication*>(QCoreApplication::instance());
    const long handled = FHandled + static_cast<long>(aBurst.Texts.size());
    std::string lines;  // one call queues them all, as one lock of the fake
    for (const std::string& text : aBurst.Texts) lines += text + '\n';
    app->TakeStalls();
    const Clock::time_point start = Clock::now();
    fake_td_queue_events(lines.c_str());
    TResult result;
    // Checked between the deliveries this loop runs, each of which ends by showing its lines: once
    // the window has handled the last text, it shows it.
    if (RunUntil([&] { return FHandled >= handled; }, aTimeoutSeconds)) {
      result.Seconds = SecondsSince(start);
    }
    result.Stalls = app->TakeStalls();
    result.Rows = Rows();
    result.Lines = Lines();
    return result;
  }

 private:
  // Wraps the window's handlers so that the time each event spends in them is summed.
  void TimeHandlers() {
    TqvnTDLib_Telegram& client = FWindow->QvnTelegram();
    auto before = client.OnBeforeReadEvent;
    client.OnBeforeReadEvent = [this, before](auto* aSender, const std::string& aText,
                                              bool& aHandled) {
      ++FHandled;
      FEventSeconds = 0;
      const size_t type = aText.find("\"@type\":\"");
      FEventType = type == std::string::npos
                       ? ""
                       : aText.substr(type + 9, aText.find('"', type + 9) - type - 9);
      Timed([&] { before(aSender, aText, aHandled); });
    };
    Wrap(client.OnNewChat);
    Wrap(client.OnMessageText);
    Wrap(client.OnMessageDocument);
    Wrap(client.OnMessagePhoto);
    Wrap(client.OnMessageVideo);
  }
  // Times a record handler the window has set (it reads messages and chats from the raw texts).
  template <class THandler>
  void Wrap(THandler& aHandler) {
    if (!aHandler) return;
    THandler inner = aHandler;
    aHandler = [this, inner](auto* aSender, auto& aRecord) {
      Timed([&] { inner(aSender, aRecord); });
    };
  }
  template <class TCall>
  void Timed(TCall aCall) {
    const Clock::time_point start = Clock::now();
    aCall();
    FEventSeconds += SecondsSince(start);
    if (FEventSeconds > FSlowest.Seconds) FSlowest = {FEventSeconds, FEventType};
  }

  test::TTempDir FFolder;
  TSilentDialogs FDialogs;
  long FHandled = 0;  // texts the window's client has dispatched
  double FEventSeconds = 0;
  std::string FEventType;
  TSlowestEvent FSlowest;
  std::unique_ptr<TFRMQVNTelegram> FWindow;
};

// Qt on the offscreen platform unless the caller chose one.
inline void UseOffscreenPlatform() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

}  // namespace qvn::bench

#endif  // QVN_BENCH_WINDOW_BURST_H
