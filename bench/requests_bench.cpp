// Answered requests per second against the real TDLib (offline): a client keeps kInFlight
// testCallEmpty requests waiting, each sent with an answer handler that sends the next, until
// kRequests have been answered on the main thread. The peer is a bare loop on TDLib's current
// interface: td_send with an "@extra" of its own and td_receive on one thread, answering in the
// same way, the floor for any program. TDLib allows one thread in td_receive per process, so the
// two run in turns, never at once (the engine's receive thread ends with its last client).
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "bench_support.h"
#include "client/qvnLib_Telegram.h"
#include "client/qvnLibs.h"

namespace qvn::bench {
namespace {

constexpr int kRounds = 5;
constexpr int kRequests = 20000;
constexpr int kInFlight = 64;
constexpr const char* kPing = "{\"@type\": \"testCallEmpty\"}";

// Seconds for kRequests answered requests through the engine, from the first send.
double EngineRun(const std::string& aFolder) {
  TqvnTDLib_Telegram client(nullptr);
  client.Telegram().SetErrorsLevel(tvbFatalErrors);
  client.Telegram().SetDatabaseDirectory(aFolder);
  client.SetWaitForEvents(true);
  client.SetEventsPerTick(1000);
  std::atomic<bool> prompted{false};
  // Left at TDLib's first prompt, unanswered: nothing goes to the network.
  client.OnBeforeReadEvent = [&](auto*, const std::string& aText, bool& aHandled) {
    aHandled = aText.find("\"updateAuthorizationState\"") != std::string::npos;
    if (aHandled) prompted = true;
  };
  client.OnException = [](auto*, const std::exception& e) {
    std::fprintf(stderr, "  exception: %s\n", e.what());
  };
  client.SetActive(true);
  PumpMainThreadQueueUntil([&] { return prompted.load(); });

  int sent = 0;
  int answered = 0;
  std::function<void()> sendOne;
  const TqvnTelegramOnAnswer onAnswer([&](auto*, const TqvnTelegramAnswer& aAnswer) {
    if (aAnswer.IsError()) std::fprintf(stderr, "  answer failed: %s\n", aAnswer.Message.c_str());
    ++answered;
    if (sent < kRequests) sendOne();
  });
  sendOne = [&] {
    ++sent;
    client.Send(kPing, onAnswer);
  };
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < kInFlight; ++i) sendOne();
  PumpMainThreadQueueUntil([&] { return answered >= kRequests; });
  const double seconds = SecondsSince(start);
  client.SetActive(false);
  return seconds;
}

// Seconds for kRequests answered requests through a bare td_send / td_receive loop.
double BareRun() {
  const int id = tdjson::td_create_client_id();
  tdjson::td_send(id, "{\"@type\": \"getAuthorizationState\"}");
  const auto receive = [] {
    const char* text = nullptr;
    while ((text = tdjson::td_receive(10.0)) == nullptr) {
    }
    return std::string(text);
  };
  while (receive().find("\"updateAuthorizationState\"") == std::string::npos) {
  }
  int sent = 0;
  int answered = 0;
  const auto sendOne = [&] {
    ++sent;
    tdjson::td_send(id, ("{\"@type\": \"testCallEmpty\", \"@extra\": " + std::to_string(sent) +
                         "}")
                            .c_str());
  };
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < kInFlight; ++i) sendOne();
  while (answered < kRequests) {
    const std::string text = receive();
    if (text.find("\"@extra\"") == std::string::npos) continue;
    ++answered;
    if (sent < kRequests) sendOne();
  }
  const double seconds = SecondsSince(start);
  tdjson::td_send(id, "{\"@type\": \"close\"}");
  while (receive().find("authorizationStateClosed") == std::string::npos) {
  }
  return seconds;
}

int Run() {
  std::printf(
      "requests_bench: real TDLib, offline; %d testCallEmpty requests answered, %d in flight,\n"
      "each answer sending the next; %d rounds, engine and bare loop in turns\n",
      kRequests, kInFlight, kRounds);
  tdjson::td_execute("{\"@type\": \"setLogVerbosityLevel\", \"new_verbosity_level\": 0}");
  test::TTempDir folder;
  std::vector<double> ours;
  std::vector<double> bare;
  for (int round = 0; round < kRounds; ++round) {
    ours.push_back(EngineRun((folder.Path() / ("engine" + std::to_string(round))).string()));
    bare.push_back(BareRun());
  }
  const double oursRate = kRequests / Percentile(ours, 0.5);
  const double bareRate = kRequests / Percentile(bare, 0.5);
  std::printf("  engine, answer handlers on the main thread  %9.0f requests/s (median)\n",
              oursRate);
  std::printf("  bare td_send / td_receive loop              %9.0f requests/s (median)\n",
              bareRate);
  std::printf("  ratio: %.2f of the bare loop (goal: at least 0.7)\n", oursRate / bareRate);
  return 0;
}

}  // namespace
}  // namespace qvn::bench

int main() { return qvn::bench::Run(); }
