// The window under a burst: the fake TDLib queues 10,000 update texts (new chats and new
// messages) at once; measured is the time until the window has shown every chat row and message
// line, and the longest time its thread was held by one delivery of the engine's pump. The window
// as it ships (the waiting receive) is measured on a quiet machine and again with two processes
// burning a core each beside it, and once more with smaller deliveries (EventsPerTick 200).
// Peers in the same run: the same texts through a bare client's dispatcher with a handler that
// feeds the window's chat model and builds the same rows and lines as strings (the share of the
// work that is not Qt's), and the window with draining ticks (a tick every 100 ms taking up to
// 600 texts).
//
// The burners are forked before anything else starts and spin only while a burst runs.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/qvnChatModel.h"
#include "app/qvnMessageText.h"
#include "bench_support.h"
#include "client/qvnLibs.h"
#include "tests/support/TestClient.h"
#include "window_burst.h"

namespace qvn::bench {
namespace {

constexpr int kDefaultBurst = 10000;
constexpr int kBurners = 2;
constexpr int kSmallDeliveries = 200;

// What the window builds for each event, built into strings instead of widgets.
struct TBareViews {
  TqvnChatModel Model;
  std::vector<std::string> Rows;
  std::vector<std::string> Lines;
  std::string Log;
};

void Wire(test::TestClient& aClient, TBareViews* aViews) {
  aClient.OnBeforeReadEvent = [aViews](auto*, const std::string& aText, bool&) {
    aViews->Log = aText;
  };
  aClient.OnEventDocument = [aViews](auto*, const TqvnJSON& aEvent, const std::string&) {
    const TqvnModelChange change = aViews->Model.Apply(aEvent);
    if (change.Kind == TqvnModelChange::newMessage) {
      aViews->Lines.push_back(StreamLine(aViews->Model, change.Messages.front(), 0));
    } else if (change.Kind == TqvnModelChange::chat) {
      const TqvnChat& chat = *aViews->Model.Chat(change.ChatId);
      aViews->Rows.push_back(chat.Title + ChatPreview(aViews->Model, chat));
    }
  };
}

// Processes that each burn a core from Start to Stop.
class TBurners {
 public:
  TBurners() {
    if (pipe(FStart) != 0) std::exit(1);
    for (int i = 0; i < kBurners; ++i) {
      const pid_t child = fork();
      if (child == 0) {
        char go;
        if (read(FStart[0], &go, 1) != 1) _exit(0);
        for (unsigned long spin = 0;; ++spin) asm volatile("" : "+r"(spin));
      }
      FChildren.push_back(child);
    }
  }
  ~TBurners() { Stop(); }
  // Ends the burners for good.
  void Stop() {
    for (pid_t child : FChildren) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
    FChildren.clear();
  }
  void Start() {
    const char go[kBurners] = {};
    if (write(FStart[1], go, kBurners) != kBurners) std::exit(1);
  }

 private:
  int FStart[2];
  std::vector<pid_t> FChildren;
};

// Runs aBurst through the window from empty views (Stop, empty, Start); with aOpenChat, the
// conversation of the burst's busiest chat is open while it runs.
TBurstWindow::TResult Burst(TBurstWindow& aWindow, const TBurst& aBurst, bool aOpenChat = false) {
  aWindow.Stop();
  aWindow.ClearViews();
  aWindow.Start();
  if (aOpenChat) aWindow.OpenChat(aBurst.BusiestChatText, aBurst.BusiestChatId);
  return aWindow.Deliver(aBurst);
}

void Print(const char* aName, const TBurstWindow::TResult& aResult, int aCount) {
  std::printf("  %-34s all shown after %6.3f s (%.0f events/s); longest delivery %5.1f ms "
              "(%5.1f ms CPU); longest event %5.1f ms\n",
              aName, aResult.Seconds, aCount / aResult.Seconds,
              aResult.Stalls.LongestPumpSeconds * 1000,
              aResult.Stalls.LongestPumpCpuSeconds * 1000,
              aResult.Stalls.LongestAnySeconds * 1000);
}

bool MeetsGoals(const TBurstWindow::TResult& aResult) {
  return aResult.Seconds >= 0 && aResult.Seconds <= 0.6 &&
         aResult.Stalls.LongestPumpSeconds <= 0.020;
}

int Run(int argc, char** argv) {
  TBurners burners;  // before any thread exists
  UseOffscreenPlatform();
  TTimedApplication app(argc, argv);
  // An optional first argument sets the burst's size (smaller for profiling).
  const int kBurst = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultBurst;
  const TBurst burst = MakeBurst(kBurst);
  TBurstWindow window;
  TqvnTDLib_Telegram& client = window.Window().QvnTelegram();
  std::printf(
      "window_burst_bench: %d update texts (%d new chats, %d new messages) queued at once\n"
      "in the fake TDLib; the window (offscreen) with the waiting receive and deliveries of at\n"
      "most %d texts and %lld ms\n",
      kBurst, burst.Chats, burst.Messages, client.EventsPerTick(),
      static_cast<long long>(client.TickTimeBudget().count()));

  window.TakeSlowestEvent();
  const TBurstWindow::TResult quiet = window.Deliver(burst);
  const TBurstWindow::TSlowestEvent slowest = window.TakeSlowestEvent();
  burners.Start();
  const TBurstWindow::TResult loaded = Burst(window, burst);
  burners.Stop();
  if (quiet.Seconds < 0 || loaded.Seconds < 0) {
    std::printf("  the window did not show the burst within the time limit\n");
    return 1;
  }
  Print("window, quiet machine", quiet, kBurst);
  Print("window, two CPU burners beside it", loaded, kBurst);
  std::printf("  slowest event in the window       %5.1f ms  (%s)\n", slowest.Seconds * 1000,
              slowest.Type.c_str());

  // The same with a conversation open that takes a share of the burst's messages.
  const TBurstWindow::TResult open = Burst(window, burst, /*aOpenChat=*/true);
  Print(("window, conversation open (" + std::to_string(burst.BusiestChatMessages) +
         " of its messages)").c_str(),
        open, kBurst);

  // The same with smaller deliveries: what the window's own share of a delivery (showing its
  // lines after it) allows.
  const int shipped = client.EventsPerTick();
  client.SetEventsPerTick(kSmallDeliveries);
  const TBurstWindow::TResult small = Burst(window, burst);
  Print(("window, EventsPerTick " + std::to_string(kSmallDeliveries)).c_str(), small, kBurst);
  client.SetEventsPerTick(shipped);

  // Peer: draining ticks, the window's former setting.
  client.SetWaitForEvents(false);
  const TBurstWindow::TResult ticking = Burst(window, burst);
  Print("peer: window, draining ticks", ticking, kBurst);
  if (window.Dialogs().Errors > 0) {
    std::printf("  errors shown: %d, last: %s\n", window.Dialogs().Errors,
                window.Dialogs().LastError.c_str());
  }

  // Peer: the engine alone on the same texts.
  test::TestClient bare(nullptr);
  TBareViews views;
  Wire(bare, &views);
  const double bareSeconds = MedianSecondsPerPass({[&] {
                                                    views = TBareViews();
                                                    for (const std::string& text : burst.Texts)
                                                      bare.DoReadEvent(text);
                                                  }},
                                                  5, 0.05)[0];
  std::printf("  peer: bare dispatch, same texts %6.3f s  (CPU, %zu rows, %zu lines)\n",
              bareSeconds, views.Rows.size(), views.Lines.size());

  std::printf("Ratios:\n");
  std::printf("  window burst / bare dispatch          %.1f\n", quiet.Seconds / bareSeconds);
  std::printf("  with burners / quiet                  %.2f\n", loaded.Seconds / quiet.Seconds);
  std::printf("  conversation open / bare dispatch     %.1f\n", open.Seconds / bareSeconds);
  std::printf("  draining ticks / waiting receive      %.1f\n", ticking.Seconds / quiet.Seconds);
  std::printf("Goals: all shown within 0.6 s and no delivery longer than 20 ms: quiet %s "
              "(%.2f s, %.1f ms); conversation open %s (%.2f s, %.1f ms; at most 10x the bare "
              "dispatch: %s); with two burners %s (%.2f s, %.1f ms); EventsPerTick %d %s "
              "(%.2f s, %.1f ms)\n",
              MeetsGoals(quiet) ? "met" : "NOT met", quiet.Seconds,
              quiet.Stalls.LongestPumpSeconds * 1000, MeetsGoals(open) ? "met" : "NOT met",
              open.Seconds, open.Stalls.LongestPumpSeconds * 1000,
              open.Seconds <= 10 * bareSeconds ? "met" : "NOT met",
              MeetsGoals(loaded) ? "met" : "NOT met",
              loaded.Seconds, loaded.Stalls.LongestPumpSeconds * 1000, kSmallDeliveries,
              MeetsGoals(small) ? "met" : "NOT met", small.Seconds,
              small.Stalls.LongestPumpSeconds * 1000);
  return 0;
}

}  // namespace
}  // namespace qvn::bench

int main(int argc, char** argv) {
  return qvn::bench::Run(argc, argv);
}
