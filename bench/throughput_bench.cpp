// Events through the engine without a window: 100,000 update texts (new chats and new messages
// cycled from tests/data) waiting in the scripted fake TDLib, taken and dispatched by a client to
// handlers on the main thread that build every record: the time from activation until the last
// one is handled. Measured for the client with the waiting receive (the window's setting) on
// TDLib's current interface (the default: the process's receive thread hands the texts to the
// client's inbox) and on the td_json_client_* interface (the client's worker receives them), and
// with draining ticks (a tick every 100 ms taking up to 1000 texts within its budget) on the
// current interface; the peer is the same texts through the dispatcher alone (DoReadEvent called
// directly, no TDLib, no threads), the engine's share of the work. Beside the time, the most
// texts that waited in the engine at once (taken from TDLib and not yet handled, sampled every
// millisecond): what the burst holds in memory rather than leaving it in TDLib. The main thread
// waits for queued calls as a program without a GUI loop does (PumpMainThreadQueueUntil). Each is
// measured three times, in turns.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "bench_support.h"
#include "client/qvnLibs.h"
#include "tests/support/TestClient.h"
#include "fake_tdjson.h"

namespace qvn::bench {
namespace {

constexpr int kDefaultEvents = 100000;
constexpr int kRounds = 3;

// Handlers that read every record, and a count of the texts handled.
struct TSeen {
  std::atomic<long> Texts{0};
  size_t Bytes = 0;
};

void Handle(test::TestClient& aClient, TSeen& aSeen) {
  aClient.OnBeforeReadEvent = [&aSeen](auto*, const std::string& aText, bool&) {
    aSeen.Bytes += aText.size();
    ++aSeen.Texts;
  };
  aClient.OnEvent = [&aSeen](auto*, const std::string& aEvent, const std::string&) {
    aSeen.Bytes += aEvent.size();
  };
  const auto message = [&aSeen](TqvnTelegramMessageBase& m, const std::string& aBody) {
    aSeen.Bytes += m.ChatId().size() + m.SenderUser().UserId().size() + aBody.size();
  };
  aClient.OnMessageText = [message](auto*, TqvnTelegramMessageText& m) { message(m, m.Text()); };
  aClient.OnMessageDocument = [message](auto*, TqvnTelegramMessageDocument& m) {
    message(m, m.FileName());
  };
  aClient.OnMessagePhoto = [message](auto*, TqvnTelegramMessagePhoto& m) {
    message(m, m.PhotoId());
  };
  aClient.OnMessageVideo = [message](auto*, TqvnTelegramMessageVideo& m) {
    message(m, m.VideoId());
  };
  aClient.OnNewChat = [&aSeen](auto*, TqvnTelegramChat& c) {
    aSeen.Bytes += c.Title().size() + c.ChatId().size();
  };
}

// The burst's texts: every update of the message sample, cycled.
std::vector<std::string> Burst(int aCount) {
  std::vector<std::string> updates;
  for (const std::string& text : SampleTexts({"messages-sample.jsonl"})) {
    if (text.rfind("{\"@type\":\"update", 0) == 0) updates.push_back(text);
  }
  std::vector<std::string> burst;
  for (int i = 0; i < aCount; ++i) burst.push_back(updates[static_cast<size_t>(i) % updates.size()]);
  return burst;
}

// The most texts taken from the fake TDLib and not yet handled, sampled on a thread of its own.
class TBacklogSampler {
 public:
  explicit TBacklogSampler(const TSeen& aSeen) : FSeen(aSeen), FThread([this] { Sample(); }) {}
  ~TBacklogSampler() { Stop(); }
  long Stop() {
    FStop = true;
    if (FThread.joinable()) FThread.join();
    return FMost;
  }

 private:
  void Sample() {
    while (!FStop) {
      const long waiting = static_cast<long>(fake_td_handed_out_events()) - FSeen.Texts.load();
      FMost = std::max(FMost.load(), waiting);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  const TSeen& FSeen;
  std::atomic<long> FMost{0};
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

struct TRun {
  double Seconds = 0;
  long MostWaiting = 0;  // texts
};

enum class TWay { waitingCurrent, waitingJsonClient, tickingCurrent };

// Activation to the last text of the burst handled.
TRun ThroughClient(const std::vector<std::string>& aBurst, TWay aWay, const std::string& aFolder) {
  fake_td_reset();
  test::TestClient client(nullptr);
  TSeen seen;
  Handle(client, seen);
  client.Telegram().SetDatabaseDirectory(aFolder);
  client.SetWaitForEvents(aWay != TWay::tickingCurrent);
  client.SetJsonClientInterface(aWay == TWay::waitingJsonClient);
  client.SetEventsPerTick(1000);
  // Waiting in TDLib before the client starts, so the time is the engine's alone.
  for (const std::string& text : aBurst) fake_td_queue_event(text.c_str());
  TBacklogSampler backlog(seen);
  const Clock::time_point start = Clock::now();
  client.SetActive(true);
  const long count = static_cast<long>(aBurst.size());
  PumpMainThreadQueueUntil([&] { return seen.Texts.load() >= count; });
  TRun run{SecondsSince(start), backlog.Stop()};
  client.SetActive(false);
  return run;
}

int Run(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultEvents;
  const std::vector<std::string> burst = Burst(count);
  test::TTempDir folder;
  std::printf(
      "throughput_bench: %d update texts waiting in the fake TDLib, through a client from its\n"
      "activation to handlers on the main thread (wall time, %d rounds in turns; median)\n",
      count, kRounds);

  test::TestClient bare(nullptr);
  TSeen bareSeen;
  Handle(bare, bareSeen);
  const double bareSeconds = MedianSecondsPerPass(
      {[&] {
        for (const std::string& text : burst) bare.DoReadEvent(text);
      }},
      kRounds, 0.05)[0];

  std::vector<double> waiting, json, ticking;
  std::vector<double> waitingBacklog, jsonBacklog, tickingBacklog;
  for (int round = 0; round < kRounds; ++round) {
    const TRun runs[3] = {ThroughClient(burst, TWay::waitingCurrent, folder.File("db")),
                          ThroughClient(burst, TWay::waitingJsonClient, folder.File("db")),
                          ThroughClient(burst, TWay::tickingCurrent, folder.File("db"))};
    waiting.push_back(runs[0].Seconds);
    json.push_back(runs[1].Seconds);
    ticking.push_back(runs[2].Seconds);
    waitingBacklog.push_back(static_cast<double>(runs[0].MostWaiting));
    jsonBacklog.push_back(static_cast<double>(runs[1].MostWaiting));
    tickingBacklog.push_back(static_cast<double>(runs[2].MostWaiting));
  }
  const double w = Percentile(waiting, 0.5);
  const double j = Percentile(json, 0.5);
  const double t = Percentile(ticking, 0.5);
  const auto line = [count](const char* aName, double aSeconds, double aBacklog) {
    std::printf("  %-46s %8.3f s  %9.0f events/s", aName, aSeconds, count / aSeconds);
    if (aBacklog >= 0) std::printf("  at most %.0f texts waiting", aBacklog);
    std::printf("\n");
  };
  line("client, waiting receive (current interface)", w, Percentile(waitingBacklog, 0.5));
  line("client, waiting receive (td_json_client_*)", j, Percentile(jsonBacklog, 0.5));
  line("client, draining ticks (current interface)", t, Percentile(tickingBacklog, 0.5));
  line("peer: dispatcher alone (CPU)", bareSeconds, -1);
  std::printf("Ratios:\n");
  std::printf("  waiting / dispatcher alone              %.2f\n", w / bareSeconds);
  std::printf("  waiting, current / td_json_client_*     %.2f of the events/s\n", j / w);
  std::printf("  draining ticks / waiting                %.1f\n", t / w);
  std::printf("Goal: at least 200000 events/s: %s (%.0f)\n",
              count / w >= 200000 ? "met" : "NOT met", count / w);
  std::printf("(checksum %zu)\n", bareSeen.Bytes);
  return 0;
}

}  // namespace
}  // namespace qvn::bench

int main(int argc, char** argv) {
  return qvn::bench::Run(argc, argv);
}
