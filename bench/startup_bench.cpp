// Start-up against the real TDLib (offline), on TDLib's current interface (the engine's default
// where the library has it): the time from SetActive(true) to the moment the client has sent the
// phone-number request, which TDLib asks for once it has started and has its parameters.
// Measured for the client with the waiting receive (the window's setting); the peer is TDLib
// alone (tdlib_alone.h) on the same interface, a loop blocked in td_receive that answers the same
// two requests, the floor for any client. The ticking client is measured too, with draining
// ticks (a tick every 100 ms taking up to 1000 texts) and with the defaults (one text a tick; a
// tick stopped by that limit fires the next at once).
//
// Each run uses a fresh temporary database folder; the four are run in turns, five times after
// a warm-up. The main-thread queue is pumped by hand, as a program without a GUI loop does.
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "bench_support.h"
#include "client/qvnLibs.h"
#include "tdlib_alone.h"

namespace qvn::bench {
namespace {

constexpr int kRuns = 5;
constexpr double kTimeoutSeconds = 60;

// Notes the moment DoReadEvent has finished with the text that brought the phone-number state,
// that is right after the dispatcher sent the phone-number request.
class TStartupClient : public TqvnTDLib_Telegram {
 public:
  using TqvnTDLib_Telegram::TqvnTDLib_Telegram;
  // Ticks on a worker end before this class is torn down.
  ~TStartupClient() override { EndForDestruction(); }

  std::atomic<bool> Done{false};
  Clock::time_point DoneAt;
  int EventsRead = 0;
  bool PhoneStateSeen = false;

 protected:
  void DoReadEvent(const std::string& aText) override {
    if (aText.empty()) return;
    ++EventsRead;
    TqvnTDLib_Telegram::DoReadEvent(aText);
    if (PhoneStateSeen && !Done) {
      DoneAt = Clock::now();
      Done = true;
    }
  }
};

struct TRun {
  double Seconds = -1;  // negative: the phone-number state never came
  int Events = 0;
};

TRun RunClient(bool aWaits, int aEventsPerTick) {
  test::TTempDir folder;
  TStartupClient client(nullptr);
  client.Telegram().SetErrorsLevel(tvbFatalErrors);
  client.Telegram().SetDatabaseDirectory((folder.Path() / "db").string());
  client.Telegram().API().SetApiId(kBenchApiId);
  client.Telegram().API().SetApiHash(kBenchApiHash);
  client.Telegram().SetPhoneNumber(kBenchPhoneNumber);
  client.SetWaitForEvents(aWaits);
  client.SetEventsPerTick(aEventsPerTick);
  client.OnAuthorizationStatus = [&client](auto*, const std::string& aStatus) {
    if (aStatus == kPhoneState) client.PhoneStateSeen = true;
  };
  client.OnException = [](auto*, const std::exception& e) {
    std::fprintf(stderr, "  exception: %s\n", e.what());
  };

  const Clock::time_point start = Clock::now();
  client.SetActive(true);
  PumpMainThreadQueueUntil([&] { return client.Done.load() || SecondsSince(start) > kTimeoutSeconds; });
  TRun run;
  if (client.Done) run.Seconds = std::chrono::duration<double>(client.DoneAt - start).count();
  run.Events = client.EventsRead;
  client.SetActive(false);
  return run;
}

TRun RunTDLibAlone() {
  test::TTempDir folder;
  const Clock::time_point start = Clock::now();
  TTDLibAlone alone((folder.Path() / "db").string(), true);
  TRun run;
  while (!alone.PhoneNumberSent && SecondsSince(start) < kTimeoutSeconds) alone.Step(1.0);
  if (alone.PhoneNumberSent) run.Seconds = SecondsSince(start);
  run.Events = alone.Events;
  return run;
}

void Print(const std::string& aName, const TRun& aRun) {
  if (aRun.Seconds < 0) {
    std::printf("  %-36s never reached the phone-number state (%d events)\n", aName.c_str(),
                aRun.Events);
  } else {
    std::printf("  %-36s %7.1f ms  (%d events read)\n", aName.c_str(), aRun.Seconds * 1000,
                aRun.Events);
  }
}

int Run() {
  std::printf(
      "startup_bench: real TDLib, offline, fresh database folder per run; time from\n"
      "SetActive(true) to the phone-number request sent; %d runs of each, in turns\n",
      kRuns);
  Print("warm-up (loads TDLib), waiting receive", RunClient(true, 1000));
  std::vector<double> waiting, alone, ticking, defaults;
  for (int i = 1; i <= kRuns; ++i) {
    const TRun runs[4] = {RunClient(true, 1000), RunTDLibAlone(), RunClient(false, 1000),
                          RunClient(false, 1)};
    Print("client, waiting receive, run " + std::to_string(i), runs[0]);
    Print("peer: TDLib alone, run " + std::to_string(i), runs[1]);
    Print("client, draining ticks, run " + std::to_string(i), runs[2]);
    Print("client, ticking defaults, run " + std::to_string(i), runs[3]);
    for (const TRun& run : runs) {
      if (run.Seconds < 0) return 1;
    }
    waiting.push_back(runs[0].Seconds);
    alone.push_back(runs[1].Seconds);
    ticking.push_back(runs[2].Seconds);
    defaults.push_back(runs[3].Seconds);
  }
  const double w = Percentile(waiting, 0.5);
  const double a = Percentile(alone, 0.5);
  const double t = Percentile(ticking, 0.5);
  const double d = Percentile(defaults, 0.5);
  std::printf(
      "Medians: waiting %.1f ms, TDLib alone %.1f ms, draining ticks %.1f ms, ticking defaults "
      "%.1f ms\n",
      w * 1000, a * 1000, t * 1000, d * 1000);
  std::printf("Ratios:\n");
  std::printf("  waiting / TDLib alone          %.2f  (+%.1f ms)\n", w / a, (w - a) * 1000);
  std::printf("  draining ticks / waiting       %.1f\n", t / w);
  std::printf("  ticking defaults / waiting     %.1f\n", d / w);
  std::printf("Goal: at most 1.3x TDLib alone + 5 ms (%.1f ms): %s (%.1f ms)\n",
              (1.3 * a + 0.005) * 1000, w <= 1.3 * a + 0.005 ? "met" : "NOT met", w * 1000);
  return 0;
}

}  // namespace
}  // namespace qvn::bench

int main() {
  return qvn::bench::Run();
}
