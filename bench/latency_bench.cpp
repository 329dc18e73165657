// Idle latency against the real TDLib (offline), on TDLib's current interface (the engine's
// default where the library has it): the time from sending a request that TDLib answers at once
// (testCallEmpty) to its answer reaching a handler on the main thread, with the client idle in
// between, at random phases (0-100 ms apart). Measured for the client with the waiting receive
// (the window's setting) and, as the peer, for a bare reader on the same interface: a thread
// blocked in td_receive that hands each text to the same main-thread queue. TDLib allows one
// thread in td_receive per process, so the two take turns, round by round, each with a TDLib
// client of its own made for the round. The ticking client (a tick every 100 ms) is measured
// once more for comparison.
//
// The main thread waits for queued calls as a program without a GUI loop does
// (PumpMainThreadQueueUntil).
#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "bench_support.h"
#include "client/qvnLib_Telegram.h"
#include "client/qvnLibs.h"

namespace qvn::bench {
namespace {

constexpr int kRounds = 4;
constexpr int kSamplesPerRound = 50;
constexpr int kTickingSamples = 50;
constexpr const char* kPing = "{\"@type\": \"testCallEmpty\"}";

// Something that sends the ping and notes when its answer reached the main thread.
class TPingTarget {
 public:
  virtual ~TPingTarget() = default;
  virtual void Send() = 0;
  std::atomic<long> Answers{0};
  Clock::time_point AnsweredAt;  // main thread only
};

class TLatencyClient : public TqvnTDLib_Telegram, public TPingTarget {
 public:
  TLatencyClient(const std::string& aFolder, bool aWaits) : TqvnTDLib_Telegram(nullptr) {
    Telegram().SetErrorsLevel(tvbFatalErrors);
    Telegram().SetDatabaseDirectory(aFolder);
    SetWaitForEvents(aWaits);
    // Left at TDLib's first prompt, unanswered: idle, with nothing sent to the network.
    OnBeforeReadEvent = [](auto*, const std::string& aText, bool& aHandled) {
      aHandled = aText.find("\"updateAuthorizationState\"") != std::string::npos;
    };
    OnEvent = [this](auto*, const std::string& aEvent, const std::string&) {
      if (aEvent != "ok") return;
      AnsweredAt = Clock::now();
      ++Answers;
    };
    OnException = [](auto*, const std::exception& e) {
      std::fprintf(stderr, "  exception: %s\n", e.what());
    };
    SetActive(true);
  }
  ~TLatencyClient() override { EndForDestruction(); }
  void Send() override { TDLibSend(kPing); }
};

// A thread blocked in TDLib's receive, handing every text to the main-thread queue, until its
// client is closed.
class TBareReader : public TPingTarget {
 public:
  TBareReader() : FClientId(tdjson::td_create_client_id()), FThread([this] { Read(); }) {
    tdjson::td_send(FClientId, "{\"@type\": \"getAuthorizationState\"}");
  }
  ~TBareReader() override {
    tdjson::td_send(FClientId, "{\"@type\": \"close\"}");
    FThread.join();
    RemoveQueuedCalls(this);
  }
  void Send() override { tdjson::td_send(FClientId, kPing); }

 private:
  void Read() {
    for (;;) {
      const char* received = tdjson::td_receive(10.0);
      if (received == nullptr) continue;
      std::string text = received;
      if (text.find("authorizationStateClosed") != std::string::npos) return;
      QueueToMainThread(
          [this, text = std::move(text)] {
            if (text.find("\"@type\":\"ok\"") == std::string::npos) return;
            AnsweredAt = Clock::now();
            ++Answers;
          },
          this);
    }
  }

  const int FClientId;
  std::thread FThread;
};

// aCount latencies in milliseconds, each after an idle pause of 0-100 ms.
void Sample(TPingTarget& aTarget, int aCount, std::mt19937& aRandom, std::vector<double>& aOut) {
  std::uniform_real_distribution<double> pause(0.0, 0.1);
  for (int i = 0; i < aCount; ++i) {
    Idle(pause(aRandom));
    const long before = aTarget.Answers;
    const Clock::time_point sent = Clock::now();
    aTarget.Send();
    PumpMainThreadQueueUntil([&] { return aTarget.Answers > before; });
    aOut.push_back(std::chrono::duration<double, std::milli>(aTarget.AnsweredAt - sent).count());
  }
}

void Print(const char* aName, const std::vector<double>& aMs) {
  std::printf("  %-40s median %7.3f ms   p99 %7.3f ms   (%zu samples)\n", aName,
              Percentile(aMs, 0.5), Percentile(aMs, 0.99), aMs.size());
}

int Run() {
  std::printf(
      "latency_bench: real TDLib, offline, idle; testCallEmpty sent, its answer timed on the\n"
      "main thread's handler; %d rounds of %d samples each, taken in turns\n",
      kRounds, kSamplesPerRound);
  test::TTempDir folder;
  std::mt19937 random(12345);
  std::vector<double> ours;
  std::vector<double> bare;
  std::vector<double> roundRatios;
  tdjson::td_execute("{\"@type\": \"setLogVerbosityLevel\", \"new_verbosity_level\": 0}");
  for (int round = 0; round < kRounds; ++round) {
    std::vector<double> oursRound;
    std::vector<double> bareRound;
    {
      TLatencyClient client((folder.Path() / "waiting").string(), true);
      Idle(0.5);  // TDLib's start-up texts
      Sample(client, kSamplesPerRound, random, oursRound);
    }
    {
      TBareReader reader;
      Idle(0.5);
      Sample(reader, kSamplesPerRound, random, bareRound);
    }
    roundRatios.push_back(Percentile(oursRound, 0.5) / Percentile(bareRound, 0.5));
    ours.insert(ours.end(), oursRound.begin(), oursRound.end());
    bare.insert(bare.end(), bareRound.begin(), bareRound.end());
  }
  std::vector<double> ticking;
  {
    TLatencyClient client((folder.Path() / "ticking").string(), false);
    Idle(0.5);
    Sample(client, kTickingSamples, random, ticking);
  }

  Print("client, waiting receive", ours);
  Print("peer: thread blocked in receive + queue", bare);
  Print("client, ticking every 100 ms", ticking);
  const double median = Percentile(ours, 0.5);
  const double ratio = median / Percentile(bare, 0.5);
  std::printf("Ratios:\n");
  std::printf("  waiting / bare reader, median   %.2f  (per round: ", ratio);
  for (double r : roundRatios) std::printf("%.2f ", r);
  std::printf(")\n");
  std::printf("  waiting / bare reader, p99      %.2f\n",
              Percentile(ours, 0.99) / Percentile(bare, 0.99));
  std::printf("  ticking / waiting, median       %.0f\n", Percentile(ticking, 0.5) / median);
  std::printf("Goals: median at most 1.5x the bare reader and under 1 ms: %s (%.2fx, %.3f ms); "
              "p99 under 5 ms: %s (%.3f ms)\n",
              ratio <= 1.5 && median < 1.0 ? "met" : "NOT met", ratio, median,
              Percentile(ours, 0.99) < 5.0 ? "met" : "NOT met", Percentile(ours, 0.99));
  return 0;
}

}  // namespace
}  // namespace qvn::bench

int main() {
  return qvn::bench::Run();
}
