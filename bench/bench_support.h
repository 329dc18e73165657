// Small helpers shared by the timed benchmark programs of this folder (not Google Benchmark):
// the sample event texts, a main-thread idle wait, a repeat-and-take-the-median timer, quantiles
// and the process's resident memory.
// A fresh temporary folder comes from tests/support/TempDir.h.
//
// Every program measures our code and a peer in the same run and prints the ratio, so the
// figures stay comparable on a busy machine where absolute times drift. Single-threaded; all
// functions run on the caller's thread.
#ifndef QVN_BENCH_BENCH_SUPPORT_H
#define QVN_BENCH_BENCH_SUPPORT_H

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"

#include "tests/support/DataLines.h"
#include "tests/support/TempDir.h"

namespace qvn::bench {

using Clock = std::chrono::steady_clock;

// Waits on the main thread, running queued calls, for about aSeconds.
inline void Idle(double aSeconds) {
  PumpMainThreadQueueUntil([] { return false; },
                           Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(aSeconds)));
}

inline double SecondsSince(Clock::time_point aStart) {
  return std::chrono::duration<double>(Clock::now() - aStart).count();
}

// The non-empty lines of each file of tests/data named in aFiles, in order.
inline std::vector<std::string> SampleTexts(const std::vector<std::string>& aFiles = {
                                                "startup.jsonl", "messages-sample.jsonl"}) {
  std::vector<std::string> lines;
  for (const std::string& file : aFiles) {
    const std::vector<std::string> more =
        test::NonEmptyLines(std::string(QVN_BENCH_DATA_DIR) + "/" + file);
    lines.insert(lines.end(), more.begin(), more.end());
  }
  return lines;
}

// CPU seconds the calling thread has used; unlike wall time it does not count the time other
// programs on a busy machine take the core away.
inline double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// CPU seconds one call of each of aPasses takes. The passes are measured in turns, aRounds
// times, so our code and its peers see the same conditions; each measurement repeats its pass
// until aMinSeconds of CPU time have been used and divides by the repetitions. Gives the median
// of the rounds for each pass, in the order of aPasses.
inline std::vector<double> MedianSecondsPerPass(const std::vector<std::function<void()>>& aPasses,
                                                int aRounds = 7, double aMinSeconds = 0.1) {
  std::vector<std::vector<double>> rounds(aPasses.size());
  for (const auto& pass : aPasses) pass();  // warm caches and lazily built state
  for (int round = 0; round < aRounds; ++round) {
    for (size_t i = 0; i < aPasses.size(); ++i) {
      int repetitions = 0;
      const double start = ThreadCpuSeconds();
      double used = 0;
      do {
        aPasses[i]();
        ++repetitions;
        used = ThreadCpuSeconds() - start;
      } while (used < aMinSeconds);
      rounds[i].push_back(used / repetitions);
    }
  }
  std::vector<double> medians;
  for (std::vector<double>& times : rounds) {
    std::sort(times.begin(), times.end());
    medians.push_back(times[times.size() / 2]);
  }
  return medians;
}

// The aFraction quantile of aValues (0.5: the median), nearest rank; 0 for no values.
inline double Percentile(std::vector<double> aValues, double aFraction) {
  if (aValues.empty()) return 0;
  std::sort(aValues.begin(), aValues.end());
  const size_t rank = static_cast<size_t>(aFraction * static_cast<double>(aValues.size() - 1) + 0.5);
  return aValues[std::min(rank, aValues.size() - 1)];
}

// The process's current and peak resident set size in KiB (VmRSS and VmHWM of
// /proc/self/status); 0 when unknown.
struct TResidentSize {
  long CurrentKiB = 0;
  long PeakKiB = 0;
};

inline TResidentSize ResidentSize() {
  TResidentSize size;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) size.CurrentKiB = std::atol(line.c_str() + 6);
    if (line.rfind("VmHWM:", 0) == 0) size.PeakKiB = std::atol(line.c_str() + 6);
  }
  return size;
}

}  // namespace qvn::bench

#endif  // QVN_BENCH_BENCH_SUPPORT_H
