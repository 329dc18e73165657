// A hundred clients in one process against the real TDLib (offline), each on its own database
// folder: the time from the first activation until every client has reached the phone-number
// prompt, and the resident memory each adds. The peer is TDLib alone: a hundred TDLib clients of
// TDLib's current interface driven by one bare td_receive loop that answers the parameters prompt
// the same way. Each run is a child process of its own (so neither sees the other's memory), the
// two in turns; the figures are the medians.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "bench_support.h"
#include "client/qvnLib_Telegram.h"
#include "client/qvnLibs.h"
#include "tdlib_alone.h"

namespace qvn::bench {
namespace {

constexpr int kClients = 100;
constexpr int kRounds = 3;

struct TRunFigures {
  double Seconds = 0;
  double KiBPerClient = 0;
};

std::string FolderOf(const std::string& aRoot, int aIndex) {
  return aRoot + "/c" + std::to_string(aIndex);
}

TRunFigures EngineRun(const std::string& aRoot) {
  tdjson::td_execute("{\"@type\": \"setLogVerbosityLevel\", \"new_verbosity_level\": 0}");
  const long before = ResidentSize().CurrentKiB;
  std::vector<std::unique_ptr<TqvnTDLib_Telegram>> clients;
  std::atomic<int> prompted{0};
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < kClients; ++i) {
    auto client = std::make_unique<TqvnTDLib_Telegram>(nullptr);
    client->Telegram().SetErrorsLevel(tvbFatalErrors);
    client->Telegram().SetDatabaseDirectory(FolderOf(aRoot, i));
    client->Telegram().API().SetApiId(kBenchApiId);
    client->Telegram().API().SetApiHash(kBenchApiHash);
    client->SetWaitForEvents(true);
    client->OnAuthorizationStatus = [&](auto*, const std::string& aStatus) {
      if (aStatus == kPhoneState) ++prompted;
    };
    client->OnException = [](auto*, const std::exception& e) {
      std::fprintf(stderr, "  exception: %s\n", e.what());
    };
    client->SetActive(true);
    clients.push_back(std::move(client));
  }
  PumpMainThreadQueueUntil([&] { return prompted.load() >= kClients; });
  TRunFigures figures{SecondsSince(start),
                      static_cast<double>(ResidentSize().CurrentKiB - before) / kClients};
  clients.clear();
  return figures;
}

TRunFigures BareRun(const std::string& aRoot) {
  tdjson::td_execute("{\"@type\": \"setLogVerbosityLevel\", \"new_verbosity_level\": 0}");
  const long before = ResidentSize().CurrentKiB;
  std::vector<int> ids;
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < kClients; ++i) {
    ids.push_back(tdjson::td_create_client_id());
    tdjson::td_send(ids.back(), "{\"@type\": \"getAuthorizationState\"}");
  }
  std::set<int> prompted;
  while (prompted.size() < static_cast<size_t>(kClients)) {
    const char* received = tdjson::td_receive(10.0);
    if (received == nullptr) continue;
    const std::string text = received;
    if (text.find("updateAuthorizationState") == std::string::npos) continue;
    const size_t at = text.rfind("\"@client_id\":");
    const int id = std::stoi(text.substr(at + 13));
    if (text.find("authorizationStateWaitTdlibParameters") != std::string::npos) {
      const std::string parameters =
          std::string("{\"@type\": \"setTdlibParameters\", \"database_directory\": \"") +
          FolderOf(aRoot, id - ids.front()) + "\", \"use_message_database\": true, " +
          "\"use_secret_chats\": true, \"api_id\": " + kBenchApiId + ", \"api_hash\": \"" +
          kBenchApiHash +
          "\", \"system_language_code\": \"en\", \"device_model\": \"Desktop\", "
          "\"system_version\": \"Linux\", \"application_version\": \"1.0\"}";
      tdjson::td_send(id, parameters.c_str());
    } else if (text.find(kPhoneState) != std::string::npos) {
      prompted.insert(id);
    }
  }
  TRunFigures figures{SecondsSince(start),
                      static_cast<double>(ResidentSize().CurrentKiB - before) / kClients};
  for (int id : ids) tdjson::td_send(id, "{\"@type\": \"close\"}");
  for (int closed = 0; closed < kClients;) {
    const char* received = tdjson::td_receive(10.0);
    if (received != nullptr && std::string(received).find("authorizationStateClosed") !=
                                   std::string::npos) {
      ++closed;
    }
  }
  return figures;
}

// Runs aRun in a child process on a fresh folder and returns what it measured.
TRunFigures InChild(TRunFigures (*aRun)(const std::string&)) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    test::TTempDir folder;
    const TRunFigures figures = aRun(folder.Path().string());
    const ssize_t written = write(pipeEnds[1], &figures, sizeof figures);
    _exit(written == sizeof figures ? 0 : 1);
  }
  close(pipeEnds[1]);
  TRunFigures figures;
  const ssize_t got = read(pipeEnds[0], &figures, sizeof figures);
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (got != sizeof figures || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("a benchmark run failed");
  }
  return figures;
}

int Run() {
  std::printf(
      "clients_bench: real TDLib, offline; %d clients in one process, each on its own database\n"
      "folder, activated at once until all show the phone-number prompt; %d rounds in turns,\n"
      "each run a process of its own\n",
      kClients, kRounds);
  std::vector<double> oursSeconds, bareSeconds, oursKiB, bareKiB;
  for (int round = 0; round < kRounds; ++round) {
    const TRunFigures ours = InChild(&EngineRun);
    const TRunFigures bare = InChild(&BareRun);
    oursSeconds.push_back(ours.Seconds);
    oursKiB.push_back(ours.KiBPerClient);
    bareSeconds.push_back(bare.Seconds);
    bareKiB.push_back(bare.KiBPerClient);
  }
  const double os = Percentile(oursSeconds, 0.5), bs = Percentile(bareSeconds, 0.5);
  const double ok = Percentile(oursKiB, 0.5), bk = Percentile(bareKiB, 0.5);
  std::printf("  engine: all %d prompted after %.3f s, %.0f KiB resident per client\n", kClients,
              os, ok);
  std::printf("  TDLib alone: all %d prompted after %.3f s, %.0f KiB resident per client\n",
              kClients, bs, bk);
  std::printf("  ratio: %.2f of TDLib alone's time, %.2f of its memory per client\n", os / bs,
              ok / bk);
  return 0;
}

}  // namespace
}  // namespace qvn::bench

int main() { return qvn::bench::Run(); }
