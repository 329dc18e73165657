// The window under a burst: the fake TDLib queues 10,000 update texts (new chats and new
// messages) at once; measured is the time until the window shows every chat row and message
// line, and the longest time its thread was held by one delivery of the engine's pump (a receive
// tick). Peers in the same run: the same texts through a bare client's dispatcher with a handler
// that feeds the window's chat model and builds the same rows and lines as strings (the share of
// the work that is not Qt's), and the window with one event per tick (the component's default),
// timed on a short burst and scaled to 10,000 events.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/qvnChatModel.h"
#include "app/qvnMessageText.h"
#include "bench_support.h"
#include "client/qvnLibs.h"
#include "window_burst.h"

namespace qvn::bench {
namespace {

constexpr int kDefaultBurst = 10000;
constexpr int kOneByOneSample = 30;

// Opens the dispatcher to direct calls.
class TBareClient : public TqvnTDLib_Telegram {
 public:
  using TqvnTDLib_Telegram::DoReadEvent;
  using TqvnTDLib_Telegram::TqvnTDLib_Telegram;
  // Ticks on a worker end before this class is torn down.
  ~TBareClient() override { EndForDestruction(); }
};

// What the window builds for each event, built into strings instead of widgets.
struct TBareViews {
  TqvnChatModel model;
  std::vector<std::string> rows;
  std::vector<std::string> lines;
  std::string log;
};

void Wire(TBareClient& aClient, TBareViews* aViews) {
  aClient.OnBeforeReadEvent = [aViews](auto*, const std::string& Text, bool&) {
    aViews->log = Text;
    const TqvnModelChange change = aViews->model.Apply(Text);
    if (change.Kind == TqvnModelChange::NewMessage) {
      aViews->lines.push_back(StreamLine(aViews->model, change.Messages.front(), 0));
    } else if (change.Kind == TqvnModelChange::Chat) {
      const TqvnChat& chat = *aViews->model.Chat(change.ChatId);
      aViews->rows.push_back(chat.Title + ChatPreview(aViews->model, chat));
    }
  };
}

int Run(int argc, char** argv) {
  UseOffscreenPlatform();
  TTimedApplication app(argc, argv);
  // An optional first argument sets the burst's size (smaller for profiling).
  const int kBurst = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultBurst;
  const TBurst burst = MakeBurst(kBurst);
  TBurstWindow window;
  TqvnTDLib_Telegram& client = window.Window().qvnTelegram();
  std::printf(
      "window_burst_bench: %d update texts (%d new chats, %d new messages) queued at once\n"
      "in the fake TDLib; the window (offscreen) with EventsPerTick %d and a tick budget of\n"
      "%lld ms\n",
      kBurst, burst.chats, burst.messages, client.EventsPerTick(),
      static_cast<long long>(client.TickTimeBudget().count()));

  window.TakeSlowestEvent();
  const TBurstWindow::TResult drained = window.Deliver(burst);
  const TBurstWindow::TSlowestEvent slowest = window.TakeSlowestEvent();
  if (drained.seconds < 0) {
    std::printf("  the window did not show the burst within the time limit\n");
    return 1;
  }
  std::printf("  all shown after                 %8.3f s  (%d rows, %d lines, %.0f events/s)\n",
              drained.seconds, drained.rows, drained.lines, kBurst / drained.seconds);
  std::printf("  longest pump delivery (tick)    %8.1f ms  (%ld pump deliveries)\n",
              drained.stalls.longestPumpSeconds * 1000, drained.stalls.pumpDeliveries);
  std::printf("  longest delivery of any event   %8.1f ms\n",
              drained.stalls.longestAnySeconds * 1000);
  std::printf("  slowest event in the window      %8.1f ms  (%s)\n", slowest.seconds * 1000,
              slowest.type.c_str());
  if (window.Dialogs().Errors > 0) {
    std::printf("  errors shown: %d, last: %s\n", window.Dialogs().Errors,
                window.Dialogs().LastError.c_str());
  }

  // Peer: the engine alone on the same texts.
  TBareClient bare(nullptr);
  TBareViews views;
  Wire(bare, &views);
  const double bareSeconds = MedianSecondsPerPass({[&] {
                                                    views = TBareViews();
                                                    for (const std::string& text : burst.texts)
                                                      bare.DoReadEvent(text);
                                                  }},
                                                  5, 0.05)[0];
  std::printf("  peer: bare dispatch, same texts %8.3f s  (CPU, %zu rows, %zu lines)\n",
              bareSeconds, views.rows.size(), views.lines.size());

  // Peer: one event per tick, on a short burst from empty views.
  window.Stop();
  window.ClearViews();
  window.Start();
  client.SetEventsPerTick(1);
  const TBurst sample = MakeBurst(kOneByOneSample);
  const TBurstWindow::TResult oneByOne = window.Deliver(sample, 60);
  if (oneByOne.seconds < 0) {
    std::printf("  the one-per-tick window did not show %d events within a minute\n",
                kOneByOneSample);
    return 1;
  }
  const double projected = oneByOne.seconds / kOneByOneSample * kBurst;
  std::printf("  peer: EventsPerTick 1           %8.3f s for %d events, %.0f s projected for %d\n",
              oneByOne.seconds, kOneByOneSample, projected, kBurst);

  std::printf("Ratios:\n");
  std::printf("  window burst / bare dispatch          %.1f\n", drained.seconds / bareSeconds);
  std::printf("  one per tick (projected) / draining   %.0f\n", projected / drained.seconds);
  std::printf("Goals: all shown within 3 s: %s (%.2f s); no tick longer than 50 ms: %s (%.1f ms)\n",
              drained.seconds <= 3 ? "met" : "NOT met", drained.seconds,
              drained.stalls.longestPumpSeconds <= 0.05 ? "met" : "NOT met",
              drained.stalls.longestPumpSeconds * 1000);
  return 0;
}

}  // namespace
}  // namespace qvn::bench

int main(int argc, char** argv) {
  return qvn::bench::Run(argc, argv);
}
