// Which TDLib file the process loads, with no TDLib beside this program or on its search path:
// the file the program names, the environment's over the program's, a file that cannot be loaded
// reported by the activation that tried it, and no switch to another file once one is loaded.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "spine_test_support.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

constexpr const char* kMissingFile = "/nonexistent/folder/libtdjson.so";

bool AnyContains(const std::vector<std::string>& aTexts, const std::string& aPiece) {
  for (const std::string& text : aTexts) {
    if (text.find(aPiece) != std::string::npos) return true;
  }
  return false;
}

// Activates a client on a fresh database folder; true once TDLib's first prompt arrived.
bool ReachesTDLib(TestClient& aClient, EventRecorder& aRecorder, const TTempDir& aFolder) {
  aClient.Telegram().SetErrorsLevel(tvbFatalErrors);
  aClient.Telegram().SetDatabaseDirectory((aFolder.Path() / "db").string());
  aClient.SetActive(true);
  const bool reached = aClient.Active() && PumpUntil([&] {
    return AnyContains(aRecorder.Texts(), "authorizationStateWaitTdlibParameters");
  });
  aClient.SetActive(false);
  return reached;
}

// First in this program, in a child process of its own: the library is loaded once per process.
TEST(LibraryFile, TheEnvironmentNamesTheFileOverTheProgram) {
  const TTempDir folder;
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv(kTDJsonLibraryVariable, QVN_REAL_TDJSON, 1);
    SetTDJsonLibrary(kMissingFile);
    if (TDJsonLibrary() != QVN_REAL_TDJSON) _exit(1);
    TestClient client;
    EventRecorder recorder(client);
    _exit(ReachesTDLib(client, recorder, folder) ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the environment's file was not chosen; 2: no TDLib";
}

TEST(LibraryFile, TheNamedFileIsLoadedAndStaysTheProcesssTDLib) {
  unsetenv(kTDJsonLibraryVariable);
  EXPECT_EQ(TDJsonLibrary(), "libtdjson.so");
  const TTempDir folder;
  {
    SetTDJsonLibrary(kMissingFile);
    TestClient client;
    EventRecorder recorder(client);
    client.SetActive(true);
    EXPECT_FALSE(client.Active());
    ASSERT_EQ(recorder.Exceptions().size(), 1U);
    EXPECT_THAT(recorder.Exceptions()[0], ::testing::HasSubstr(kMissingFile));
  }

  SetTDJsonLibrary(QVN_REAL_TDJSON);  // a failed load left nothing behind: another file is taken
  TestClient client;
  EventRecorder recorder(client);
  EXPECT_TRUE(ReachesTDLib(client, recorder, folder))
      << ::testing::PrintToString(recorder.Exceptions());
  EXPECT_EQ(TDJsonLibrary(), QVN_REAL_TDJSON);
  EXPECT_NO_THROW(SetTDJsonLibrary(QVN_REAL_TDJSON));
  EXPECT_THROW(SetTDJsonLibrary(kMissingFile), std::logic_error);
  EXPECT_EQ(TDJsonLibrary(), QVN_REAL_TDJSON);
}

}  // namespace
}  // namespace qvn::test
