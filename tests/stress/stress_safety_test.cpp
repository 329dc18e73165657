// What the client keeps private: the TDLib database directory it creates or finds is readable
// by its owner only, no secret of the login (API hash, database key, bot token, code, password)
// leaves our code through an event text, an exception or standard error, and the secrets in
// TDLib's own answers (proxy passwords and secrets) are hidden in what the window shows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/qvnSecretMask.h"
#include "fake_tdjson.h"
#include "tests/support/FakeDelivery.h"
#include "stress_support.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::string StateEvent(const std::string& aState) {
  return "{\"@type\":\"updateAuthorizationState\",\"authorization_state\":{\"@type\":\"" +
         aState + "\"}}";
}

// Ticks until TDLib has nothing more to hand out and the client has read all it handed out.
void Drain(TestClient& aClient) {
  aClient.SetEventsPerTick(64);
  ASSERT_TRUE(PumpUntil([&] {
    aClient.Tick();
    return FakeTextsRead(aClient);
  }));
}

// The mode the database directory had when setTdlibParameters reached TDLib.
struct ModeAtSend {
  std::string Directory;
  int Mode = -2;
};

void RecordModeAtSend(const char* aRequest, void* aContext) {
  auto* seen = static_cast<ModeAtSend*>(aContext);
  if (std::string(aRequest).find("setTdlibParameters") != std::string::npos) {
    seen->Mode = test::ModeOf(seen->Directory);
  }
}

class DatabaseDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_td_reset();
    FPreviousMask = umask(0);  // nothing of the mode comes from the umask
    FClient.Telegram().API().SetApiId("94575");
  }
  void TearDown() override {
    umask(FPreviousMask);
    FClient.SetActive(false);
    PumpMainThreadQueue();
  }

  // Answers the parameters state and returns the mode the directory had when the request went.
  int AnswerParametersState(const std::string& aDirectory) {
    ModeAtSend seen{aDirectory};
    fake_td_set_responder(&RecordModeAtSend, &seen);
    FClient.SetActive(true);
    fake_td_queue_event(StateEvent("authorizationStateWaitTdlibParameters").c_str());
    Drain(FClient);
    fake_td_set_responder(nullptr, nullptr);
    return seen.Mode;
  }

  mode_t FPreviousMask = 0;
  test::TTempDir FFolder;
  TestClient FClient;
  EventProbe FProbe{FClient};
};

TEST_F(DatabaseDirectory, MissingFoldersAreCreatedOwnerOnlyBeforeTheParametersGoOut) {
  const std::string directory = FFolder.File("a/b/db");
  FClient.Telegram().SetDatabaseDirectory(directory);
  EXPECT_EQ(AnswerParametersState(directory), 0700);
  EXPECT_EQ(test::ModeOf(FFolder.File("a")), 0700);
  EXPECT_EQ(test::ModeOf(FFolder.File("a/b")), 0700);
  EXPECT_THAT(FProbe.Of("Exception"), IsEmpty());
}

TEST_F(DatabaseDirectory, TheDefaultFolderInTheWorkingDirectoryIsOwnerOnly) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(FFolder.File(""));
  const int mode = AnswerParametersState("tdlib");
  std::filesystem::current_path(previous);
  EXPECT_EQ(mode, 0700);
  EXPECT_EQ(test::ModeOf(FFolder.File("tdlib")), 0700);
}

// A folder its group or others may use is made owner-only at activation, and the program is
// told once.
TEST_F(DatabaseDirectory, AnExistingFolderOpenToOthersIsMadeOwnerOnlyAndReportedOnce) {
  for (const int mode : {0777, 0750, 0700}) {
    SCOPED_TRACE(mode);
    const std::string directory = FFolder.File("db" + std::to_string(mode));
    ASSERT_EQ(mkdir(directory.c_str(), mode), 0);
    FClient.Telegram().SetDatabaseDirectory(directory + "/");
    FProbe.Clear();
    EXPECT_EQ(AnswerParametersState(directory), 0700);
    const std::vector<std::string> notices = FProbe.Of("Exception");
    if (mode == 0700) {
      EXPECT_THAT(notices, IsEmpty());
    } else {
      ASSERT_EQ(notices.size(), 1u);
      EXPECT_THAT(notices[0], HasSubstr("it is now owner-only (mode 0700)"));
    }
    FClient.SetActive(false);
    FProbe.Clear();
    FClient.SetActive(true);
    EXPECT_THAT(FProbe.Of("Exception"), IsEmpty()) << "told once";
    FClient.SetActive(false);
  }
}

// Without its folder the client cannot lock it: activation stops there and creates nothing.
TEST_F(DatabaseDirectory, AFolderThatCannotBeCreatedFailsActivation) {
  std::ofstream(FFolder.File("file")) << "not a folder";
  const std::string directory = FFolder.File("file/db");
  FClient.Telegram().SetDatabaseDirectory(directory);
  FClient.SetActive(true);
  EXPECT_FALSE(FClient.Active());
  ASSERT_EQ(FProbe.Of("Exception").size(), 1u);
  EXPECT_THAT(FProbe.Of("Exception")[0],
              HasSubstr("Cannot create the database directory \"" + directory + "\""));
  EXPECT_EQ(fake_td_live_clients(), 0);
  EXPECT_THAT(fake_td::Sent(), IsEmpty());
}

TEST_F(DatabaseDirectory, AnInactiveClientCreatesNothing) {
  const std::string directory = FFolder.File("db");
  FClient.Telegram().SetDatabaseDirectory(directory);
  FClient.DoReadEvent(StateEvent("authorizationStateWaitTdlibParameters"));
  EXPECT_EQ(test::ModeOf(directory), -1);
}

// ---- Secrets ----

constexpr const char* kApiHash = "HASHs3cret0a1b2c3";
constexpr const char* kDatabaseKey = "KEYs3cret4d5e6";
constexpr const char* kBotToken = "123456:BOTs3cret7f8g9";
constexpr const char* kCode = "CODEs3cret31415";
constexpr const char* kPassword = "PASSs3cret27182";

// TDLib's side of a whole login: each answer queues the state that follows it, and the code is
// refused once, as TDLib does with a mistyped code.
void ScriptLogin(bool aBot) {
  fake_td_respond("getAuthorizationState",
                  StateEvent("authorizationStateWaitTdlibParameters").c_str());
  fake_td_respond("setTdlibParameters", (StateEvent("authorizationStateWaitEncryptionKey") +
                                         "\n{\"@type\":\"updateOption\",\"name\":\"version\","
                                         "\"value\":{\"@type\":\"optionValueString\","
                                         "\"value\":\"1.8.67\"}}")
                                            .c_str());
  fake_td_respond("checkDatabaseEncryptionKey",
                  StateEvent("authorizationStateWaitPhoneNumber").c_str());
  if (aBot) {
    fake_td_respond("checkAuthenticationBotToken", StateEvent("authorizationStateReady").c_str());
    return;
  }
  fake_td_respond("setAuthenticationPhoneNumber", StateEvent("authorizationStateWaitCode").c_str());
  fake_td_respond("checkAuthenticationCode",
                  ("{\"@type\":\"error\",\"code\":400,\"message\":\"PHONE_CODE_INVALID\"}\n" +
                   StateEvent("authorizationStateWaitPassword"))
                      .c_str());
  fake_td_respond("checkAuthenticationPassword",
                  StateEvent("authorizationStateWaitRegistration").c_str());
  fake_td_respond("registerUser", StateEvent("authorizationStateReady").c_str());
}

TEST(Secrets, NeverLeaveThroughEventsExceptionsOrStandardError) {
  const std::vector<std::string> secrets = {kApiHash, kDatabaseKey, kBotToken, kCode, kPassword};
  test::TTempDir folder;
  for (const bool bot : {false, true}) {
    SCOPED_TRACE(bot ? "bot login" : "user login");
    fake_td_reset();
    ScriptLogin(bot);
    testing::internal::CaptureStderr();
    std::vector<Fired> fired;
    {
      TestClient client;
      EventProbe probe(client);
      probe.Code = kCode;
      probe.Password = kPassword;
      client.Telegram().API().SetApiId("94575");
      client.Telegram().API().SetApiHash(kApiHash);
      client.Telegram().SetDBEncryptionKey(kDatabaseKey);
      client.Telegram().SetPhoneNumber("+15550100");
      client.Telegram().SetDatabaseDirectory(folder.File(bot ? "bot" : "user"));
      if (bot) client.Telegram().SetBotToken(kBotToken);
      client.SetActive(true);
      Drain(client);
      // A failing parameters request reports its reason, not the values around it.
      client.Telegram().API().SetApiId("not a number");
      fake_td_queue_event(StateEvent("authorizationStateWaitTdlibParameters").c_str());
      Drain(client);
      client.SetActive(false);
      fired = probe.All();
      ASSERT_THAT(probe.Of("AuthorizationStatus"),
                  ::testing::Contains("authorizationStateReady"));
      EXPECT_EQ(probe.Of("Exception").size(), 1u);
    }
    const std::string standardError = testing::internal::GetCapturedStderr();

    // The secrets did reach TDLib, so their absence elsewhere means something.
    std::string requests;
    for (const std::string& sent : fake_td::Sent()) requests += sent;
    EXPECT_THAT(requests, HasSubstr(kApiHash));
    EXPECT_THAT(requests, HasSubstr(bot ? kBotToken : kPassword));
    for (const std::string& secret : secrets) {
      EXPECT_EQ(standardError.find(secret), std::string::npos) << secret << " on standard error";
      for (const Fired& what : fired) {
        EXPECT_EQ(what.Detail.find(secret), std::string::npos)
            << secret << " handed to On" << what.Event;
      }
    }
  }
}

// ---- Secrets in what the window shows ----

TEST(SecretMask, HidesTheStringValuesOfSecretMembersAndNothingElse) {
  const struct {
    const char* Name;
    std::string Text;
    std::string Shown;
  } cases[] = {
      {"addedProxy of a SOCKS5 proxy (TDLib 1.8.67)",
       R"({"@type":"addedProxy","id":1,"last_used_date":0,"is_enabled":false,"comment":"",)"
       R"("proxy":{"@type":"proxy","server":"127.0.0.1","port":1080,"type":)"
       R"({"@type":"proxyTypeSocks5","username":"u","password":"p@ss"}}})",
       R"({"@type":"addedProxy","id":1,"last_used_date":0,"is_enabled":false,"comment":"",)"
       R"("proxy":{"@type":"proxy","server":"127.0.0.1","port":1080,"type":)"
       R"({"@type":"proxyTypeSocks5","username":"u","password":"***"}}})"},
      {"addedProxies with HTTP and MTProto",
       R"({"@type":"addedProxies","proxies":[{"@type":"proxy","type":{"@type":"proxyTypeHttp",)"
       R"("username":"","password":"h\"t\\tp","http_only":true}},{"@type":"proxy","type":)"
       R"({"@type":"proxyTypeMtproto","secret":"dd0123456789abcdef"}}]})",
       R"({"@type":"addedProxies","proxies":[{"@type":"proxy","type":{"@type":"proxyTypeHttp",)"
       R"("username":"","password":"***","http_only":true}},{"@type":"proxy","type":)"
       R"({"@type":"proxyTypeMtproto","secret":"***"}}]})"},
      {"login requests, spaced",
       R"({ "api_hash" : "abc", "database_encryption_key":"a2V5", "token": "1:x", "code":"12345" })",
       R"({ "api_hash" : "***", "database_encryption_key":"***", "token": "***", "code":"***" })"},
      {"the other key names",
       R"({"encryption_key":"k1","new_encryption_key":"k2"})",
       R"({"encryption_key":"***","new_encryption_key":"***"})"},
      {"a name written with escapes", R"({"pass\u0077ord":"p"})", R"({"pass\u0077ord":"***"})"},
      {"an error's numeric code stays", R"({"@type":"error","code":400,"message":"x"})",
       R"({"@type":"error","code":400,"message":"x"})"},
      {"an empty secret stays empty", R"({"password":""})", R"({"password":""})"},
      {"names only as values or inside strings stay",
       R"({"comment":"password","text":"\"secret\":\"x\"","password_hint":"pet"})",
       R"({"comment":"password","text":"\"secret\":\"x\"","password_hint":"pet"})"},
      {"a text cut inside a secret", R"({"password":"abc)", R"({"password":"***)"},
      {"a text cut inside a name", R"({"passw)", R"({"passw)"},
      {"not JSON", R"(Cannot create the database directory "/x": denied)",
       R"(Cannot create the database directory "/x": denied)"},
      {"empty", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(MaskSecrets(c.Text), c.Shown);
  }
}

}  // namespace
}  // namespace qvn::test
