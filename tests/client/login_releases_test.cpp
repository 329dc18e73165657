// The login flow against each TDLib release (one test process per release, see
// tests/support/TDLibRelease.h), offline, in fresh database folders: TDLib takes the parameters
// in the layout the engine picks for it, and the database key, and asks for the phone number; a
// wrong key is refused with a clear error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/qvnTelegram_Version.h"
#include "release_client.h"
#include "tests/support/TDLibRelease.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

class ReleaseLogin : public TDLibReleaseTest {
 protected:
  // TDLib up to 1.8.5 asks for the key in a state of its own.
  static std::vector<std::string> ExpectedStatuses() {
    std::vector<std::string> statuses = {"authorizationStateWaitTdlibParameters"};
    if (!TDLibVersionNewerThan(Release(), "1.8.5")) {
      statuses.push_back("authorizationStateWaitEncryptionKey");
    }
    statuses.push_back("authorizationStateWaitPhoneNumber");
    return statuses;
  }
};

TEST_F(ReleaseLogin, ReachesThePhoneNumberWithAndWithoutADatabaseKey) {
  for (const std::string key : {"", "s3cret \"key\" \\ \xC3\xA9 order-42"}) {
    SCOPED_TRACE("TDLib " + Release() + ", key \"" + key + "\"");
    TTempDir folder;
    TReleaseClient login(folder.Path() / "db", key);
    ASSERT_TRUE(login.ReachPhoneNumber())
        << (login.Failures.empty() ? "no phone-number state in time" : login.Failures.front())
        << "\n"
        << login.Log();
    EXPECT_EQ(login.Client().TDLibVersion(), Release());
    EXPECT_EQ(login.VersionAtParameters, Release());  // the layout was picked for this release
    EXPECT_EQ(login.Statuses, ExpectedStatuses());

    // TDLib answers a request it rejects at once and in order: a later request answered
    // without an error in between shows that it took the phone number too.
    const nlohmann::json probe = login.Answer(
        [&] { login.Client().TDLibSend(R"({"@type": "getOption", "name": "version"})"); });
    EXPECT_EQ(probe.value("@type", ""), "optionValueString") << probe.dump();
    EXPECT_TRUE(login.Failures.empty()) << login.Failures.front();
  }
}

// The database is really encrypted with the key: opened with another key (or none) TDLib
// refuses it, the client says so, and the right key opens it again.
TEST_F(ReleaseLogin, AWrongDatabaseKeyIsRefusedClearly) {
  TTempDir folder;
  const std::string right = "right key \xE2\x9C\x93";
  {
    TReleaseClient first(folder.Path() / "db", right);
    ASSERT_TRUE(first.ReachPhoneNumber()) << first.Log();
  }
  for (const std::string wrong : {"wrong key", ""}) {
    SCOPED_TRACE("TDLib " + Release() + ", key \"" + wrong + "\"");
    TReleaseClient reopened(folder.Path() / "db", wrong);
    EXPECT_FALSE(reopened.ReachPhoneNumber()) << reopened.Log();
    ASSERT_FALSE(reopened.Failures.empty());
    EXPECT_EQ(reopened.Failures.front().rfind("The database encryption key was refused (TDLib "
                                              "error ",
                                              0),
              0u)
        << reopened.Failures.front();
  }
  TReleaseClient again(folder.Path() / "db", right);
  EXPECT_TRUE(again.ReachPhoneNumber()) << again.Log();
}

}  // namespace
}  // namespace qvn::test
