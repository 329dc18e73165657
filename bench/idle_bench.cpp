// Idle cost against the real TDLib (offline), logged in up to the phone number, on TDLib's
// current interface (the engine's default where the library has it): over 30 s, the wake-ups
// (context switches of all the process's threads) and the CPU time (user + system) of the
// process. Measured for the client with the waiting receive (the window's setting), whose phone
// number waits for its answer (a request with a handler and no timeout), and, side by side in a
// child process over the same 30 s, for the peer TDLib alone on the same interface
// (tdlib_alone.h: a loop blocked in td_receive with TDLib's usual 10 s timeout). The ticking
// client (a tick every 100 ms) is measured for 10 s afterwards for comparison.
//
// The child is forked before either process loads TDLib. The client's main thread waits for
// queued calls as a program without a GUI loop does (PumpMainThreadQueueUntil).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "base/qvnWebSocket_Helpers.h"
#include "bench_support.h"
#include "client/qvnLibs.h"
#include "tdlib_alone.h"

namespace qvn::bench {
namespace {

constexpr double kIdleSeconds = 30;
constexpr double kTickingSeconds = 10;

struct TUsage {
  double CpuSeconds = 0;
  long Switches = 0;
};

TUsage ProcessUsage() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& aTime) {
    return static_cast<double>(aTime.tv_sec) + static_cast<double>(aTime.tv_usec) * 1e-6;
  };
  return {seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_nvcsw + usage.ru_nivcsw};
}

// What one process used while idle: per second of wall time.
struct TIdle {
  double WakeUpsPerSecond = 0;
  double CpuMsPerSecond = 0;
};

TIdle Since(const TUsage& aStart, Clock::time_point aStartTime) {
  const TUsage end = ProcessUsage();
  const double seconds = SecondsSince(aStartTime);
  return {static_cast<double>(end.Switches - aStart.Switches) / seconds,
          (end.CpuSeconds - aStart.CpuSeconds) * 1000 / seconds};
}

class TIdleClient : public TqvnTDLib_Telegram {
 public:
  TIdleClient(const std::string& aFolder, bool aWaits) : TqvnTDLib_Telegram(nullptr) {
    Telegram().SetErrorsLevel(tvbFatalErrors);
    Telegram().SetDatabaseDirectory(aFolder);
    Telegram().API().SetApiId(kBenchApiId);
    Telegram().API().SetApiHash(kBenchApiHash);
    Telegram().SetPhoneNumber(kBenchPhoneNumber);
    SetWaitForEvents(aWaits);
    SetEventsPerTick(1000);
    OnAuthorizationStatus = [this](auto*, const std::string& aStatus) {
      if (aStatus == kPhoneState) AtPrompt = true;
    };
  }
  ~TIdleClient() override { EndForDestruction(); }
  std::atomic<bool> AtPrompt{false};
};

TIdle MeasureClient(const std::string& aFolder, bool aWaits, double aSeconds) {
  TIdleClient client(aFolder, aWaits);
  client.SetActive(true);
  PumpMainThreadQueueUntil([&] { return client.AtPrompt.load(); });
  Idle(1);  // the phone number's answer and TDLib's first connection attempts
  const TUsage start = ProcessUsage();
  const Clock::time_point startTime = Clock::now();
  Idle(aSeconds);
  const TIdle idle = Since(start, startTime);
  client.SetActive(false);
  return idle;
}

TIdle MeasureTDLibAlone(const std::string& aFolder) {
  TTDLibAlone alone(aFolder, true);
  while (!alone.PhoneNumberSent) alone.Step(10.0);
  Clock::time_point settle = Clock::now();
  while (SecondsSince(settle) < 1) alone.Step(1.0 - SecondsSince(settle));
  const TUsage start = ProcessUsage();
  const Clock::time_point startTime = Clock::now();
  while (SecondsSince(startTime) < kIdleSeconds) {
    alone.Step(std::min(10.0, kIdleSeconds - SecondsSince(startTime)));
  }
  return Since(start, startTime);
}

void Print(const char* aName, const TIdle& aIdle) {
  std::printf("  %-40s %6.2f wake-ups/s   %7.3f ms CPU/s\n", aName, aIdle.WakeUpsPerSecond,
              aIdle.CpuMsPerSecond);
}

int Run() {
  test::TTempDir folder;
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    const TIdle alone = MeasureTDLibAlone((folder.Path() / "alone").string());
    if (write(pipeEnds[1], &alone, sizeof alone) != sizeof alone) _exit(1);
    _exit(0);
  }
  close(pipeEnds[1]);
  std::printf(
      "idle_bench: real TDLib, offline, idle after the phone number was sent; wake-ups are the\n"
      "context switches of all threads of the process; %.0f s side by side with TDLib alone\n",
      kIdleSeconds);
  const TIdle waiting = MeasureClient((folder.Path() / "waiting").string(), true, kIdleSeconds);
  TIdle alone;
  const bool read = ::read(pipeEnds[0], &alone, sizeof alone) == sizeof alone;
  int status = 0;
  waitpid(child, &status, 0);
  if (!read) {
    std::printf("  TDLib alone gave no figures\n");
    return 1;
  }
  const TIdle ticking = MeasureClient((folder.Path() / "ticking").string(), false, kTickingSeconds);

  Print("client, waiting receive", waiting);
  Print("peer: TDLib alone (same 30 s)", alone);
  Print("client, ticking every 100 ms (10 s)", ticking);
  std::printf("Ratios:\n");
  std::printf("  waiting / TDLib alone, wake-ups   %.2f\n",
              waiting.WakeUpsPerSecond / alone.WakeUpsPerSecond);
  std::printf("  waiting / TDLib alone, CPU        %.2f\n",
              waiting.CpuMsPerSecond / alone.CpuMsPerSecond);
  std::printf("  ticking / waiting, wake-ups       %.1f\n",
              ticking.WakeUpsPerSecond / waiting.WakeUpsPerSecond);
  std::printf("Goals: at most 2 wake-ups/s: %s (%.2f); CPU at most 2x TDLib alone: %s (%.2fx)\n",
              waiting.WakeUpsPerSecond <= 2 ? "met" : "NOT met", waiting.WakeUpsPerSecond,
              waiting.CpuMsPerSecond <= 2 * alone.CpuMsPerSecond ? "met" : "NOT met",
              waiting.CpuMsPerSecond / alone.CpuMsPerSecond);
  return 0;
}

}  // namespace
}  // namespace qvn::bench

int main() {
  return qvn::bench::Run();
}
