// Answer timeouts against the real TDLib (offline), on TDLib's current interface (the engine's
// default where the library has it). Each sample sends two requests with answer handlers at a
// random phase (0-100 ms after the last): setAlarm for 1 s under a 100 ms timeout, which TDLib
// cannot answer in time, and testCallEmpty under a 50 ms timeout, which TDLib answers within a
// millisecond. Measured: how late the timed-out handler runs on the main thread after its
// deadline, and how many of the answered requests were reported as timed out anyway (none may
// be). For the ticking client (the defaults: a tick every 100 ms, one text a tick) and the client
// with the waiting receive; the peer is the floor for any engine that reports on the main
// thread: a thread that sleeps until the same deadline and queues a call to the main thread. The
// three take turns, round by round; the clients idle at TDLib's first prompt, unanswered.
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

constexpr int kRounds = 2;
constexpr int kSamplesPerRound = 25;
constexpr auto kLateTimeout = std::chrono::milliseconds(100);
constexpr auto kAnsweredTimeout = std::chrono::milliseconds(50);
constexpr const char* kAlarm = "{\"@type\": \"setAlarm\", \"seconds\": 1.0}";
constexpr const char* kPing = "{\"@type\": \"testCallEmpty\"}";

// Lateness of the timed-out requests (ms), and the answered requests reported as timed out.
struct TFigures {
  std::vector<double> LatenessMs;
  int Answered = 0;
  int AnsweredButTimedOut = 0;
  int Unexpected = 0;  // the alarm answered or failed otherwise
};

class TTimeoutClient : public TqvnTDLib_Telegram {
 public:
  TTimeoutClient(const std::string& aFolder, bool aWaits) : TqvnTDLib_Telegram(nullptr) {
    Telegram().SetErrorsLevel(tvbFatalErrors);
    Telegram().SetDatabaseDirectory(aFolder);
    SetWaitForEvents(aWaits);
    // Left at TDLib's first prompt, unanswered: idle, with nothing sent to the network.
    OnBeforeReadEvent = [](auto*, const std::string& aText, bool& aHandled) {
      aHandled = aText.find("\"updateAuthorizationState\"") != std::string::npos;
    };
    OnException = [](auto*, const std::exception& e) {
      std::fprintf(stderr, "  exception: %s\n", e.what());
    };
    SetActive(true);
  }
  ~TTimeoutClient() override { EndForDestruction(); }
};

double MsBetween(Clock::time_point aFrom, Clock::time_point aTo) {
  return std::chrono::duration<double, std::milli>(aTo - aFrom).count();
}

void SampleClient(bool aWaits, const std::string& aFolder, std::mt19937& aRandom, TFigures& aOut) {
  TTimeoutClient client(aFolder, aWaits);
  Idle(0.5);  // TDLib's start-up texts
  std::uniform_real_distribution<double> pause(0.0, 0.1);
  for (int i = 0; i < kSamplesPerRound; ++i) {
    Idle(pause(aRandom));
    std::atomic<int> ended{0};
    Clock::time_point timedOutAt;
    const Clock::time_point sent = Clock::now();
    client.Send(kAlarm, {[&](auto*, const TqvnTelegramAnswer& aAnswer) {
                           if (aAnswer.Kind == takTimedOut) {
                             timedOutAt = Clock::now();
                           } else {
                             ++aOut.Unexpected;
                           }
                           ++ended;
                         },
                         kLateTimeout});
    client.Send(kPing, {[&](auto*, const TqvnTelegramAnswer& aAnswer) {
                          ++aOut.Answered;
                          if (aAnswer.Kind == takTimedOut) ++aOut.AnsweredButTimedOut;
                          ++ended;
                        },
                        kAnsweredTimeout});
    PumpMainThreadQueueUntil([&] { return ended.load() == 2; });
    if (timedOutAt != Clock::time_point()) {
      aOut.LatenessMs.push_back(MsBetween(sent + kLateTimeout, timedOutAt));
    }
  }
}

void SamplePeer(std::mt19937& aRandom, TFigures& aOut) {
  std::uniform_real_distribution<double> pause(0.0, 0.1);
  for (int i = 0; i < kSamplesPerRound; ++i) {
    Idle(pause(aRandom));
    std::atomic<bool> ended{false};
    Clock::time_point firedAt;
    const Clock::time_point deadline = Clock::now() + kLateTimeout;
    std::thread sleeper([&] {
      std::this_thread::sleep_until(deadline);
      QueueToMainThread([&] {
        firedAt = Clock::now();
        ended = true;
      });
    });
    PumpMainThreadQueueUntil([&] { return ended.load(); });
    sleeper.join();
    aOut.LatenessMs.push_back(MsBetween(deadline, firedAt));
  }
}

void Print(const char* aName, const TFigures& aFigures, bool aClient) {
  std::printf("  %-44s median %6.2f ms   p99 %6.2f ms   (%zu timed out)", aName,
              Percentile(aFigures.LatenessMs, 0.5), Percentile(aFigures.LatenessMs, 0.99),
              aFigures.LatenessMs.size());
  if (aClient) {
    std::printf("; answered but reported timed out: %d of %d", aFigures.AnsweredButTimedOut,
                aFigures.Answered);
  }
  std::printf("\n");
}

int Run() {
  std::printf(
      "timeouts_bench: real TDLib, offline, idle; setAlarm 1 s under a %lld ms timeout (its\n"
      "lateness on the main thread's handler) and testCallEmpty under %lld ms (answered at once);\n"
      "%d rounds of %d samples each, taken in turns\n",
      static_cast<long long>(kLateTimeout.count()),
      static_cast<long long>(kAnsweredTimeout.count()), kRounds, kSamplesPerRound);
  tdjson::td_execute("{\"@type\": \"setLogVerbosityLevel\", \"new_verbosity_level\": 0}");
  test::TTempDir folder;
  std::mt19937 random(12345);
  TFigures ticking, waiting, peer;
  for (int round = 0; round < kRounds; ++round) {
    SampleClient(false, (folder.Path() / "ticking").string(), random, ticking);
    SampleClient(true, (folder.Path() / "waiting").string(), random, waiting);
    SamplePeer(random, peer);
  }
  Print("client, ticking (defaults)", ticking, true);
  Print("client, waiting receive", waiting, true);
  Print("peer: a thread asleep until the deadline", peer, false);
  const double peer99 = Percentile(peer.LatenessMs, 0.99);
  std::printf("Ratios:\n");
  std::printf("  ticking / peer, median     %.1f\n",
              Percentile(ticking.LatenessMs, 0.5) / Percentile(peer.LatenessMs, 0.5));
  std::printf("  waiting / peer, median     %.1f\n",
              Percentile(waiting.LatenessMs, 0.5) / Percentile(peer.LatenessMs, 0.5));
  const int wrong = ticking.AnsweredButTimedOut + waiting.AnsweredButTimedOut + ticking.Unexpected +
                    waiting.Unexpected;
  const bool late = Percentile(ticking.LatenessMs, 0.99) > peer99 + 10 ||
                    Percentile(waiting.LatenessMs, 0.99) > peer99 + 10;
  std::printf(
      "Goals: p99 lateness at most the peer's p99 + 10 ms (%.2f ms) in each mode, and no answered "
      "request reported timed out: %s\n",
      peer99 + 10, !late && wrong == 0 ? "met" : "NOT met");
  return 0;
}

}  // namespace
}  // namespace qvn::bench

int main() {
  return qvn::bench::Run();
}
