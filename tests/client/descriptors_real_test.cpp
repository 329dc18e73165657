// Many clients under a small descriptor limit, on the real TDLib, offline: 200 clients in one
// process whose hard limit is 1,024 descriptors each reach the phone-number prompt or are
// refused at activation with a clear error; TDLib never runs out of descriptors and ends the
// process. The clients run in a child process, so the limit is its own.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "client/qvnTelegram_Descriptors.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestClient.h"

namespace qvn::test {
namespace {

constexpr int kClients = 200;
constexpr rlim_t kLimit = 1024;

long OpenDescriptors() {
  long count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

// The child's body: 0 when every client reached its prompt or was refused for descriptors.
int RunClients(const std::filesystem::path& aFolder, bool aJsonClientInterface) {
  const rlimit limit{kLimit, kLimit};
  if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 2;
  const long before = OpenDescriptors();
  struct TAccount {
    TestClient Client;
    bool Prompted = false;
    bool Refused = false;
    std::string Failure;
  };
  std::vector<std::unique_ptr<TAccount>> accounts;
  for (int i = 0; i < kClients; ++i) {
    auto account = std::make_unique<TAccount>();
    TAccount* self = account.get();
    TestClient& client = account->Client;
    client.SetWaitForEvents(true);
    client.SetJsonClientInterface(aJsonClientInterface);
    client.Telegram().SetErrorsLevel(tvbFatalErrors);
    client.Telegram().SetDatabaseDirectory((aFolder / std::to_string(i)).string());
    client.Telegram().API().SetApiId("94575");
    client.Telegram().API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");
    client.OnAuthorizationStatus = [self](auto*, const std::string& aStatus) {
      self->Prompted = self->Prompted || aStatus == "authorizationStateWaitPhoneNumber";
    };
    client.OnException = [self](auto*, const std::exception& e) {
      if (dynamic_cast<const EqvnDescriptorLimitError*>(&e) != nullptr) {
        self->Refused = true;
      } else {
        self->Failure = e.what();
      }
    };
    client.SetActive(true);
    accounts.push_back(std::move(account));
  }
  const bool settled = PumpUntil([&] {
    for (const auto& account : accounts) {
      if (!account->Prompted && !account->Refused && account->Failure.empty()) return false;
    }
    return true;
  });
  int prompted = 0;
  int refused = 0;
  int failed = 0;
  for (const auto& account : accounts) {
    prompted += account->Prompted ? 1 : 0;
    refused += account->Refused ? 1 : 0;
    if (!account->Failure.empty()) {
      ++failed;
      std::fprintf(stderr, "failure: %s\n", account->Failure.c_str());
    }
  }
  std::fprintf(stderr,
               "%s: %d clients under a limit of %ld: %d at the prompt, %d refused, %d failed; "
               "%.1f descriptors per prompted client\n",
               aJsonClientInterface ? "td_json_client_*" : "current interface", kClients, static_cast<long>(kLimit), prompted, refused, failed,
               prompted > 0 ? static_cast<double>(OpenDescriptors() - before) / prompted : 0.0);
  for (auto& account : accounts) account->Client.SetActive(false);
  return settled && failed == 0 && prompted + refused == kClients && prompted > 0 && refused > 0
             ? 0
             : 1;
}

TEST(RealTDLibDescriptors, ClientsBeyondTheLimitAreRefusedOneByOneAndTheProcessLives) {
  for (const bool jsonClientInterface : {false, true}) {
    SCOPED_TRACE(jsonClientInterface ? "td_json_client_*" : "current interface");
    const TTempDir folder;
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(RunClients(folder.Path(), jsonClientInterface));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the process ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's lines above";
  }
}

}  // namespace
}  // namespace qvn::test
