// Reading TDLib event texts: our reader against nlohmann::json, RapidJSON (DOM) and simdjson
// (DOM) on the same texts in the same run. Each iteration reads every line of the two sample
// files into a fresh document and takes the "@type" string out of it. At the end the program
// prints each peer's time relative to ours (ours / peer; below 1.0 means we are faster).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <rapidjson/document.h>
#include <simdjson.h>
#include <nlohmann/json.hpp>

#include "json/qvnJSON.h"
#include "tests/support/DataLines.h"

namespace {

const std::vector<std::string>& Texts() {
  static const std::vector<std::string> kTexts = [] {
    std::vector<std::string> lines;
    for (const char* file : {"startup.jsonl", "messages-sample.jsonl"}) {
      const std::vector<std::string> more =
          qvn::test::NonEmptyLines(std::string(QVN_BENCH_DATA_DIR) + "/" + file);
      lines.insert(lines.end(), more.begin(), more.end());
    }
    return lines;
  }();
  return kTexts;
}

std::int64_t TotalBytes() {
  std::int64_t total = 0;
  for (const std::string& text : Texts()) total += static_cast<std::int64_t>(text.size());
  return total;
}

void Finish(benchmark::State& aState) {
  aState.SetBytesProcessed(aState.iterations() * TotalBytes());
}

void BM_Ours(benchmark::State& aState) {
  for (auto _ : aState) {
    for (const std::string& text : Texts()) {
      qvn::TqvnJSON document;
      document.Read(text);
      std::string type = document.Node("@type")->Value().AsString();
      benchmark::DoNotOptimize(type);
    }
  }
  Finish(aState);
}
BENCHMARK(BM_Ours);

void BM_OursReusedDocument(benchmark::State& aState) {
  qvn::TqvnJSON document;
  for (auto _ : aState) {
    for (const std::string& text : Texts()) {
      document.Read(text);
      std::string type = document.Node("@type")->Value().AsString();
      benchmark::DoNotOptimize(type);
    }
  }
  Finish(aState);
}
BENCHMARK(BM_OursReusedDocument);

void BM_Nlohmann(benchmark::State& aState) {
  for (auto _ : aState) {
    for (const std::string& text : Texts()) {
      nlohmann::json document = nlohmann::json::parse(text);
      std::string type = document.find("@type")->get<std::string>();
      benchmark::DoNotOptimize(type);
    }
  }
  Finish(aState);
}
BENCHMARK(BM_Nlohmann);

void BM_RapidJSON(benchmark::State& aState) {
  for (auto _ : aState) {
    for (const std::string& text : Texts()) {
      rapidjson::Document document;
      document.Parse(text.data(), text.size());
      auto member = document.FindMember("@type");
      std::string type(member->value.GetString(), member->value.GetStringLength());
      benchmark::DoNotOptimize(type);
    }
  }
  Finish(aState);
}
BENCHMARK(BM_RapidJSON);

void BM_Simdjson(benchmark::State& aState) {
  // simdjson wants padded input and a long-lived parser; both are prepared outside the loop.
  std::vector<simdjson::padded_string> padded;
  for (const std::string& text : Texts()) padded.emplace_back(text);
  simdjson::dom::parser parser;
  for (auto _ : aState) {
    for (const simdjson::padded_string& text : padded) {
      simdjson::dom::element document = parser.parse(text);
      std::string_view typeView = document["@type"];
      std::string type(typeView);
      benchmark::DoNotOptimize(type);
    }
  }
  Finish(aState);
}
BENCHMARK(BM_Simdjson);

// Keeps the CPU times of every benchmark (steadier than wall time on a shared machine) and
// prints the ratios of their medians at the end (run with --benchmark_repetitions=N).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& aRuns) override {
    ConsoleReporter::ReportRuns(aRuns);
    for (const Run& run : aRuns) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
        FTimes[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
      }
    }
  }
  void PrintRatios() {
    auto median = [&](const char* aName) {
      std::vector<double>& times = FTimes[aName];
      if (times.empty()) return 0.0;
      std::sort(times.begin(), times.end());
      return times[times.size() / 2];
    };
    const double ours = median("BM_Ours");
    if (ours == 0) return;
    std::printf("\nRatios of median CPU time (ours / peer, below 1.0 = ours faster):\n");
    for (const char* peer : {"BM_Nlohmann", "BM_RapidJSON", "BM_Simdjson"}) {
      if (median(peer) > 0) std::printf("  %-14s %.3f\n", peer + 3, ours / median(peer));
    }
    if (median("BM_OursReusedDocument") > 0 && median("BM_RapidJSON") > 0) {
      std::printf("  reused document / RapidJSON %.3f\n",
                  median("BM_OursReusedDocument") / median("BM_RapidJSON"));
    }
  }

 private:
  std::map<std::string, std::vector<double>> FTimes;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
