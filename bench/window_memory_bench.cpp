// The window's memory under bursts: resident size (VmRSS, and the peak VmHWM) of the window's
// process before the first burst (the peer: the window shown, started and idle), after a burst of
// 10,000 update texts, and after each of several repeated bursts. Between bursts the user's Stop
// empties the chat list and deactivates the client, the message view and the log are emptied,
// and Start activates the client again, so every burst starts from the same empty views: what
// stays resident from one burst to the next is growth (a leak shows as a steady rise). The
// emptied figure is taken after malloc_trim, which returns freed heap pages to the system.
//
// Memory, not latency, is measured here, so the window's client gets a long tick budget to get
// the bursts through quickly. Arguments: [events per burst, default 10000] [bursts, default 5].
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_support.h"
#include "window_burst.h"

namespace qvn::bench {
namespace {

double MiB(long aKiB) {
  return static_cast<double>(aKiB) / 1024.0;
}

// Lets the window finish what the last burst left (painting, deferred deletes).
void Settle(TBurstWindow& aWindow) {
  const Clock::time_point start = Clock::now();
  aWindow.RunUntil([&] { return SecondsSince(start) > 0.3; }, 1);
}

int Run(int argc, char** argv) {
  UseOffscreenPlatform();
  TTimedApplication app(argc, argv);
  const int events = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  const int bursts = argc > 2 ? std::max(2, std::atoi(argv[2])) : 5;
  const TBurst burst = MakeBurst(events);
  TBurstWindow window;
  window.Window().QvnTelegram().SetTickTimeBudget(std::chrono::milliseconds(500));
  Settle(window);

  const TResidentSize before = ResidentSize();
  std::printf("window_memory_bench: %d bursts of %d update texts; views emptied between bursts\n",
              bursts, events);
  std::printf("  peer: before the first burst     RSS %7.1f MiB  (peak so far %7.1f MiB)\n",
              MiB(before.CurrentKiB), MiB(before.PeakKiB));

  std::vector<TResidentSize> shown;
  std::vector<TResidentSize> emptied;
  for (int i = 1; i <= bursts; ++i) {
    const TBurstWindow::TResult result = window.Deliver(burst);
    if (result.Seconds < 0) {
      std::printf("  burst %d was not shown within the time limit\n", i);
      return 1;
    }
    Settle(window);
    shown.push_back(ResidentSize());
    window.Stop();
    window.ClearViews();
    window.Start();
    Settle(window);
    // Hands freed heap pages back to the system, so what stays resident is what is still held.
    malloc_trim(0);
    emptied.push_back(ResidentSize());
    std::printf(
        "  burst %d (%5.1f s)  shown: RSS %7.1f MiB  peak %7.1f MiB   "
        "emptied: RSS %7.1f MiB\n",
        i, result.Seconds, MiB(shown.back().CurrentKiB), MiB(shown.back().PeakKiB),
        MiB(emptied.back().CurrentKiB));
  }

  const double perBurstKiB =
      static_cast<double>(emptied.back().CurrentKiB - emptied.front().CurrentKiB) / (bursts - 1);
  std::printf("Ratios:\n");
  std::printf("  peak after burst 1 / before                  %.2f\n",
              static_cast<double>(shown.front().PeakKiB) / static_cast<double>(before.CurrentKiB));
  std::printf(
      "  RSS shown after burst %d / after burst 1      %.2f\n", bursts,
      static_cast<double>(shown.back().CurrentKiB) / static_cast<double>(shown.front().CurrentKiB));
  std::printf("  RSS emptied after burst %d / after burst 1    %.2f  (%+.0f KiB per burst)\n",
              bursts,
              static_cast<double>(emptied.back().CurrentKiB) /
                  static_cast<double>(emptied.front().CurrentKiB),
              perBurstKiB);
  std::printf(
      "  peak after burst %d / peak after burst 1      %.2f\n", bursts,
      static_cast<double>(shown.back().PeakKiB) / static_cast<double>(shown.front().PeakKiB));
  return 0;
}

}  // namespace
}  // namespace qvn::bench

int main(int argc, char** argv) {
  return qvn::bench::Run(argc, argv);
}
