// Answered requests per second against the real TDLib (offline): a client keeps kInFlight
// testCallEmpty requests waiting, each sent with an answer handler that sends the next (or, in
// the awaiting runs, kInFlight coroutines each awaiting one answer after another), until
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

constexpr int kRounds = 6;
constexpr int kRequests = 20000;
constexpr int kInFlight = 64;
constexpr const char* kPing = "{\"@type\": \"testCallEmpty\"}";

// kInFlight coroutines, each awaiting one answer after another until kRequests were sent.
TqvnTask AwaitingSender(TqvnTDLib_Telegram& aClient, int& aSent, int& aAnswered) {
  while (aSent < kRequests) {
    ++aSent;
    const TqvnTelegramAnswer answer = co_await Ask(aClient, kPing);
    if (answer.IsError()) std::fprintf(stderr, "  answer failed: %s\n", answer.Message.c_str());
    ++aAnswered;
  }
}

// Seconds for kRequests answered requests through the engine, from the first send: answer
// handlers that send the next, or (aAwait) coroutines that await each answer.
double EngineRun(const std::string& aFolder, bool aAwait) {
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
  std::vector<TqvnTask> senders;
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < kInFlight; ++i) {
    if (aAwait) {
      senders.push_back(AwaitingSender(client, sent, answered));
    } else {
      sendOne();
    }
  }
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
      "each answer sending the next; %d rounds, handlers, co_await and bare loop in turns\n",
      kRequests, kInFlight, kRounds);
  tdjson::td_execute("{\"@type\": \"setLogVerbosityLevel\", \"new_verbosity_level\": 0}");
  test::TTempDir folder;
  std::vector<double> handlers;
  std::vector<double> awaiting;
  std::vector<double> bare;
  for (int round = 0; round < kRounds; ++round) {
    const std::string name = std::to_string(round);
    // The two engine forms take turns at going first: a run right after another runs slower.
    for (const bool await : {round % 2 == 1, round % 2 == 0}) {
      (await ? awaiting : handlers)
          .push_back(EngineRun((folder.Path() / ((await ? "awaiting" : "handlers") + name)).string(),
                               await));
    }
    bare.push_back(BareRun());
  }
  const double handlersRate = kRequests / Percentile(handlers, 0.5);
  const double awaitingRate = kRequests / Percentile(awaiting, 0.5);
  const double bareRate = kRequests / Percentile(bare, 0.5);
  std::printf("  engine, answer handlers on the main thread  %9.0f requests/s (median)\n",
              handlersRate);
  std::printf("  engine, co_await in %d coroutines           %9.0f requests/s (median)\n",
              kInFlight, awaitingRate);
  std::printf("  bare td_send / td_receive loop              %9.0f requests/s (median)\n",
              bareRate);
  std::printf("  ratio: handlers %.2f of the bare loop (goal: at least 0.7)\n",
              handlersRate / bareRate);
  std::printf("  ratio: co_await %.2f of the handlers (goal: at least 0.9)\n",
              awaitingRate / handlersRate);
  return 0;
}

}  // namespace
}  // namespace qvn::bench

int main() { return qvn::bench::Run(); }
