// Start-up against the real TDLib (offline): the time from SetActive(true) to the moment the
// client has sent the phone-number request, which TDLib asks for once it has started and has its
// parameters. Measured with draining ticks (the window's setting) and, as the peer, with one
// event per tick (the component's default); the ratio is the speed-up of draining. A second
// peer is TDLib alone: a tight loop that calls td_json_client_receive with a timeout and
// answers the same two requests, the floor for any client.
//
// Each run uses a fresh temporary database folder. The main-thread queue is pumped by hand, as
// a program without a GUI loop does. The one-event-per-tick run takes about 13 s and runs once.
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

constexpr const char* kApiId = "94575";
constexpr const char* kApiHash = "a3406de8d171bb422bb6ddf3bbd800e2";
constexpr const char* kPhoneNumber = "+15550100";
constexpr const char* kPhoneState = "authorizationStateWaitPhoneNumber";
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
  double seconds = -1;  // negative: the phone-number state never came
  int events = 0;
};

TRun RunClient(int aEventsPerTick) {
  test::TTempDir folder;
  TStartupClient client(nullptr);
  client.Telegram().SetErrorsLevel(tvbFatalErrors);
  client.Telegram().SetDatabaseDirectory((folder.Path() / "db").string());
  client.Telegram().API().SetApiId(kApiId);
  client.Telegram().API().SetApiHash(kApiHash);
  client.Telegram().SetPhoneNumber(kPhoneNumber);
  client.SetEventsPerTick(aEventsPerTick);
  client.OnAuthorizationStatus = [&client](auto*, const std::string& Status) {
    if (Status == kPhoneState) client.PhoneStateSeen = true;
  };
  client.OnException = [](auto*, const std::exception& E) {
    std::fprintf(stderr, "  exception: %s\n", E.what());
  };

  const Clock::time_point start = Clock::now();
  client.SetActive(true);
  PumpMainThreadQueueUntil(
      [&] { return client.Done.load() || SecondsSince(start) > kTimeoutSeconds; });
  TRun run;
  if (client.Done) {
    run.seconds = std::chrono::duration<double>(client.DoneAt - start).count();
  }
  run.events = client.EventsRead;
  client.SetActive(false);
  return run;
}

// TDLib alone: the same requests answered from a loop that waits in td_json_client_receive.
TRun RunTDLibAlone() {
  test::TTempDir folder;
  const std::string database = (folder.Path() / "db").string();
  const Clock::time_point start = Clock::now();
  void* client = tdjson::td_json_client_create();
  tdjson::td_json_client_execute(
      client, "{\"@type\": \"setLogVerbosityLevel\", \"new_verbosity_level\": 0}");
  tdjson::td_json_client_send(client, "{\"@type\": \"getAuthorizationState\"}");
  TRun run;
  while (SecondsSince(start) < kTimeoutSeconds) {
    const char* received = tdjson::td_json_client_receive(client, 1.0);
    if (received == nullptr) continue;
    const std::string text = received;
    ++run.events;
    if (text.find("authorizationStateWaitTdlibParameters") != std::string::npos &&
        text.find("updateAuthorizationState") != std::string::npos) {
      const std::string parameters =
          std::string("{\"@type\": \"setTdlibParameters\", \"database_directory\": \"") + database +
          "\", \"use_message_database\": true, \"use_secret_chats\": true, " +
          "\"api_id\": " + kApiId + ", \"api_hash\": \"" + kApiHash +
          "\", \"system_language_code\": \"en\", \"device_model\": \"Desktop\", "
          "\"system_version\": \"Linux\", \"application_version\": \"1.0\", "
          "\"enable_storage_optimizer\": true}";
      tdjson::td_json_client_send(client, parameters.c_str());
    } else if (text.find(kPhoneState) != std::string::npos &&
               text.find("updateAuthorizationState") != std::string::npos) {
      tdjson::td_json_client_send(client,
                                  (std::string("{\"@type\": \"setAuthenticationPhoneNumber\", "
                                               "\"phone_number\": \"") +
                                   kPhoneNumber + "\"}")
                                      .c_str());
      run.seconds = SecondsSince(start);
      break;
    }
  }
  tdjson::td_json_client_destroy(client);
  return run;
}

void Print(const char* aName, const TRun& aRun) {
  if (aRun.seconds < 0) {
    std::printf("  %-44s never reached the phone-number state (%d events)\n", aName, aRun.events);
  } else {
    std::printf("  %-44s %8.3f s  (%d events read)\n", aName, aRun.seconds, aRun.events);
  }
}

double Median(std::vector<double> aValues) {
  std::sort(aValues.begin(), aValues.end());
  return aValues[aValues.size() / 2];
}

int Run() {
  // The window's draining setting (app/FQVNTelegram.cpp) and the default tick budget.
  const int draining = 1000;
  std::printf(
      "startup_bench: real TDLib, offline, fresh database folder per run; time from\n"
      "SetActive(true) to the phone-number request sent\n");

  // The first run also loads TDLib; it is shown but not counted.
  Print("warm-up run (loads TDLib), draining", RunClient(draining));
  std::vector<double> drainTimes;
  std::vector<double> aloneTimes;
  for (int i = 0; i < 3; ++i) {
    const TRun drained = RunClient(draining);
    Print(("EventsPerTick " + std::to_string(draining) + ", run " + std::to_string(i + 1)).c_str(),
          drained);
    const TRun alone = RunTDLibAlone();
    Print(("peer: TDLib alone, run " + std::to_string(i + 1)).c_str(), alone);
    if (drained.seconds < 0 || alone.seconds < 0) return 1;
    drainTimes.push_back(drained.seconds);
    aloneTimes.push_back(alone.seconds);
  }
  const TRun oneByOne = RunClient(1);
  Print("peer: EventsPerTick 1 (the default), one run", oneByOne);
  if (oneByOne.seconds < 0) return 1;

  const double drain = Median(drainTimes);
  const double alone = Median(aloneTimes);
  std::printf("Medians: draining %.3f s, TDLib alone %.3f s\n", drain, alone);
  std::printf("Ratios:\n");
  std::printf("  one per tick / draining        %.1f  (draining is %.1fx faster)\n",
              oneByOne.seconds / drain, oneByOne.seconds / drain);
  std::printf("  draining / TDLib alone         %.1f\n", drain / alone);
  std::printf("Goal: draining within 0.3 s: %s (%.3f s)\n", drain <= 0.3 ? "met" : "NOT met",
              drain);
  return 0;
}

}  // namespace
}  // namespace qvn::bench

int main() {
  return qvn::bench::Run();
}
