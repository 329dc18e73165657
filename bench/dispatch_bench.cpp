// Dispatch throughput: every sample TDLib event text (start-up texts and message updates)
// through the client's dispatcher, DoReadEvent, with every event handled, so each record event
// builds and reads its record. Peers on the same texts in the same run: our JSON read of each
// text with its "@type" lookup (what the dispatcher does before it branches), and
// nlohmann::json's parse. Also counts heap allocations per event.
//
// The client stays inactive: the login answers the start-up texts ask for are built but sent
// nowhere. The program sits beside the scripted fake libtdjson.so so that building them never
// tries to load the real TDLib.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench_support.h"
#include "client/qvnLibs.h"
#include "tests/support/TestClient.h"
#include "json/qvnJSON.h"

namespace {

std::atomic<long> gAllocations{0};

}  // namespace

// Counting allocator for the whole program: the allocations per event are part of the report.
// (GCC cannot see that the replaced operator new and delete pair malloc with free.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t aSize) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* block = std::malloc(aSize == 0 ? 1 : aSize)) return block;
  throw std::bad_alloc();
}
void operator delete(void* aBlock) noexcept {
  std::free(aBlock);
}
void operator delete(void* aBlock, std::size_t) noexcept {
  std::free(aBlock);
}

namespace qvn::bench {
namespace {

// What the handlers saw; read at the end so no handler's work can be optimised away.
struct TSeen {
  long Events = 0;
  long Records = 0;
  long Exceptions = 0;
  size_t Bytes = 0;
};

void HandleEverything(test::TestClient& aClient, TSeen& aSeen) {
  aClient.Telegram().API().SetApiId("94575");
  aClient.Telegram().API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");
  aClient.Telegram().SetPhoneNumber("+15550100");
  aClient.OnBeforeReadEvent = [&](auto*, const std::string& aText, bool&) {
    aSeen.Bytes += aText.size();
  };
  aClient.OnEvent = [&](auto*, const std::string& aEvent, const std::string&) {
    aSeen.Events += static_cast<long>(aEvent.size() > 0);
  };
  aClient.OnAuthorizationStatus = [&](auto*, const std::string& s) { aSeen.Bytes += s.size(); };
  aClient.OnConnectionStatus = [&](auto*, const std::string& s) { aSeen.Bytes += s.size(); };
  aClient.OnException = [&](auto*, const std::exception&) { ++aSeen.Exceptions; };
  aClient.OnMessageText = [&](auto*, TqvnTelegramMessageText& m) {
    aSeen.Bytes += m.Text().size() + m.SenderUser().UserId().size();
    ++aSeen.Records;
  };
  aClient.OnMessageDocument = [&](auto*, TqvnTelegramMessageDocument& m) {
    aSeen.Bytes += m.FileName().size() + m.CaptionText().size();
    ++aSeen.Records;
  };
  aClient.OnMessagePhoto = [&](auto*, TqvnTelegramMessagePhoto& m) {
    aSeen.Bytes += m.PhotoId().size() + m.LocalPath().size();
    ++aSeen.Records;
  };
  aClient.OnMessageVideo = [&](auto*, TqvnTelegramMessageVideo& m) {
    aSeen.Bytes += m.VideoId().size() + static_cast<size_t>(m.Width());
    ++aSeen.Records;
  };
  aClient.OnMessageSponsored = [&](auto*, TqvnTelegramMessageSponsored& m) {
    aSeen.Bytes += m.Text().size();
    ++aSeen.Records;
  };
  aClient.OnNewChat = [&](auto*, TqvnTelegramChat& c) {
    aSeen.Bytes += c.Title().size() + c.ChatId().size();
    ++aSeen.Records;
  };
  aClient.OnNewCallbackQuery = [&](auto*, TqvnTelegramCallbackQuery& q) {
    aSeen.Bytes += q.PayLoadData().Data().size();
    ++aSeen.Records;
  };
}

// Allocations made by one call of aPass.
long AllocationsOf(const std::function<void()>& aPass) {
  const long before = gAllocations.load();
  aPass();
  return gAllocations.load() - before;
}

// aProfile: only dispatch, for a few seconds, so a profiler sees nothing else.
int Run(bool aProfile) {
  const std::vector<std::string> texts = SampleTexts();
  const double count = static_cast<double>(texts.size());
  size_t totalBytes = 0;
  for (const std::string& text : texts) totalBytes += text.size();

  test::TestClient client(nullptr);
  TSeen seen;
  HandleEverything(client, seen);
  const auto dispatch = [&] {
    for (const std::string& text : texts) client.DoReadEvent(text);
  };
  size_t typeBytes = 0;
  const auto readAlone = [&] {
    for (const std::string& text : texts) {
      TqvnJSON document;
      document.Read(text);
      if (IqvnObjectJSON type = document.GetNode("@type")) typeBytes += type->StoredText().size();
    }
  };
  const auto nlohmannParse = [&] {
    for (const std::string& text : texts) {
      nlohmann::json document = nlohmann::json::parse(text);
      typeBytes += document["@type"].get_ref<const std::string&>().size();
    }
  };

  if (aProfile) {
    const Clock::time_point start = Clock::now();
    while (SecondsSince(start) < 3) dispatch();
    return 0;
  }

  const long dispatchAllocations = AllocationsOf(dispatch);
  const long readAllocations = AllocationsOf(readAlone);
  const long nlohmannAllocations = AllocationsOf(nlohmannParse);
  seen = TSeen();
  AllocationsOf(dispatch);
  const TSeen perPass = seen;

  const std::vector<double> seconds = MedianSecondsPerPass({dispatch, readAlone, nlohmannParse});
  const double dispatchSeconds = seconds[0];
  const double readSeconds = seconds[1];
  const double nlohmannSeconds = seconds[2];

  std::printf(
      "dispatch_bench: %zu event texts (%zu bytes) from tests/data, every event handled\n"
      "  (CPU time of this thread, median of 7 rounds taken in turns)\n",
      texts.size(), totalBytes);
  std::printf("  per pass: %ld record events, %ld OnEvent, %ld exceptions\n", perPass.Records,
              perPass.Events, perPass.Exceptions);
  const auto line = [&](const char* aName, double aSeconds, long aAllocations) {
    std::printf("  %-32s %10.0f events/s  %6.1f allocations/event\n", aName, count / aSeconds,
                static_cast<double>(aAllocations) / count);
  };
  line("DoReadEvent, all handled", dispatchSeconds, dispatchAllocations);
  line("peer: TqvnJSON Read + @type", readSeconds, readAllocations);
  line("peer: nlohmann::json::parse", nlohmannSeconds, nlohmannAllocations);
  std::printf("Ratios (time per event, dispatch / peer):\n");
  std::printf("  dispatch / our read alone      %.2f\n", dispatchSeconds / readSeconds);
  std::printf("  dispatch / nlohmann parse      %.2f\n", dispatchSeconds / nlohmannSeconds);
  std::printf("Goal: at least 100000 events/s on one core: %s (%.0f)\n",
              count / dispatchSeconds >= 100000 ? "met" : "NOT met", count / dispatchSeconds);
  std::printf("(checksum %zu %zu)\n", seen.Bytes, typeBytes);
  return 0;
}

}  // namespace
}  // namespace qvn::bench

// --profile: dispatch only, for about 3 s (for perf or callgrind).
int main(int argc, char** argv) {
  return qvn::bench::Run(argc > 1 && std::string(argv[1]) == "--profile");
}
