// Hostile settings files through the window's settings layers: each file reads to a clear
// result (a value, or the default when there is none), a write afterwards succeeds and reads
// back, and nothing else in the file is lost; what is not a small regular file is neither read
// nor overwritten; a save killed at any moment leaves one whole save and no temporary file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/qvnIniFile.h"
#include "app/qvnLoginSettings.h"
#include "app/qvnPrivateFile.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

constexpr const char* kSection = "TELEGRAM";

std::string Garbage(size_t aSize) {
  std::string bytes(aSize, '\0');
  unsigned state = 12345;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 16);
  }
  return bytes;
}

const std::string kLongValue(5000, 'h');

struct SettingsCase {
  const char* Name;
  std::string Contents;
  // Expected ReadString of "ApiId" and "ApiHash" ("-" is the default given).
  std::string ApiId;
  std::string ApiHash;
};

void PrintTo(const SettingsCase& aCase, std::ostream* aOut) { *aOut << aCase.Name; }

const SettingsCase kCases[] = {
    {"BinaryGarbage", Garbage(64 * 1024), "-", "-"},
    {"GarbageAroundTheSection",
     Garbage(300) + "\n[TELEGRAM]\nApiId=7\n" + std::string("\0\xff\xfe", 3) + "\nApiHash=h\n" +
         Garbage(300),
     "7", "h"},
    {"NulInsideAValue", std::string("[TELEGRAM]\nApiId=7\nApiHash=a\0b\n", 30), "7",
     std::string("a\0b", 3)},
    {"ValueOver2047Characters", "[TELEGRAM]\nApiId=1\nApiHash=" + kLongValue + "\n", "1",
     kLongValue},
    {"LinesWithoutEquals", "[TELEGRAM]\nApiId\nApiHash =  abc \n=orphan\n\njunk line\n", "-",
     "abc"},
    {"EqualsInsideAValue", "[TELEGRAM]\r\nApiId=3\r\nApiHash=a=b==\r\n", "3", "a=b=="},
    {"SectionHeaderWithoutClose", "[TELEGRAM\nApiId=3\n", "-", "-"},
    {"KeysBeforeAnySection", "ApiId=3\nApiHash=x\n[TELEGRAM]\n", "-", "-"},
    {"SameKeyTwice", "[telegram]\nAPIID=1\napiid=2\n", "1", "-"},
    {"OneLineJustInsideTheSizeBound", std::string(TqvnIniFile::kMaxFileSize - 64 * 1024, 'x'), "-", "-"},
};

class HostileSettingsFiles : public ::testing::TestWithParam<SettingsCase> {
 protected:
  test::TTempDir FFolder;
  const std::string FPath = FFolder.File("velune-telegram.ini");
};

TEST_P(HostileSettingsFiles, ReadToAClearResultAndSurviveAWrite) {
  const SettingsCase& c = GetParam();
  test::WriteText(FPath, c.Contents);
  TqvnIniFile file(FPath);
  EXPECT_TRUE(file.ReadString(kSection, "ApiId", "-") == c.ApiId);
  EXPECT_TRUE(file.ReadString(kSection, "ApiHash", "-") == c.ApiHash);
  EXPECT_EQ(file.ReadString(kSection, "PhoneNumber", "-"), "-");

  file.WriteString(kSection, "BotToken", "123:token");
  file.WriteString(kSection, "ApiHash", kLongValue + "!");
  file.UpdateFile();
  const TqvnIniFile again(FPath);
  EXPECT_EQ(again.ReadString(kSection, "BotToken", "-"), "123:token");
  EXPECT_TRUE(again.ReadString(kSection, "ApiHash", "-") == kLongValue + "!")
      << "a long value is kept whole";
  EXPECT_TRUE(again.ReadString(kSection, "ApiId", "-") == c.ApiId) << "other keys are kept";
  // Every line that was not rewritten is still in the file, byte for byte.
  const std::string text = test::ReadText(FPath);
  std::istringstream lines(c.Contents);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("ApiHash") != std::string::npos) continue;
    EXPECT_TRUE(text.find(line) != std::string::npos) << "a line of the old file was lost";
  }
}

INSTANTIATE_TEST_SUITE_P(Files, HostileSettingsFiles, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(SettingsFile, AFolderInPlaceOfTheFileReadsEmptyAndRefusesWrites) {
  const test::TTempDir folder;
  TqvnIniFile file(folder.Path().string());
  EXPECT_EQ(file.ReadString(kSection, "ApiId", "-"), "-");
  file.WriteString(kSection, "ApiId", "1");
  EXPECT_THROW(file.UpdateFile(), std::runtime_error);
}

// ---- Only a small regular file is read ----

// The names of the entries of aFolder, sorted.
std::vector<std::string> Entries(const std::filesystem::path& aFolder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(aFolder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PrivateFile, ReadsOnlyARegularFileWithinTheBound) {
  constexpr std::size_t kBound = 1u << 20;
  const struct {
    const char* Name;
    std::function<void(const std::string&)> Make;
    bool Exists;
    const char* Refusal;  // a part of the reason, or "" when the file is read
    std::size_t Size;     // of the text read
  } cases[] = {
      {"missing", [](const std::string&) {}, false, "", 0},
      {"empty", [](const std::string& p) { test::WriteText(p, ""); }, true, "", 0},
      {"exactly at the bound", [](const std::string& p) { test::WriteText(p, std::string(kBound, 'x')); },
       true, "", kBound},
      {"one byte over the bound",
       [](const std::string& p) { test::WriteText(p, std::string(kBound + 1, 'x')); }, true,
       "is larger than 1 MiB (1048577 bytes)", 0},
      {"five GiB (sparse)",
       [](const std::string& p) {
         test::WriteText(p, "");
         ASSERT_EQ(truncate(p.c_str(), off_t{5} << 30), 0);
       },
       true, "is larger than 1 MiB (5368709120 bytes)", 0},
      {"a FIFO with no writer", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
       true, "is a named pipe, not a regular file", 0},
      {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); }, true,
       "is a folder, not a regular file", 0},
      {"a device through a link",
       [](const std::string& p) { ASSERT_EQ(symlink("/dev/zero", p.c_str()), 0); }, true,
       "is a device, not a regular file", 0},
      {"a socket",
       [](const std::string& p) {
         const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         ASSERT_LT(p.size(), sizeof address.sun_path);
         p.copy(address.sun_path, p.size());
         ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
         close(fd);
       },
       true, "cannot be opened", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const test::TTempDir folder;
    const std::string path = folder.File("velune-telegram.ini");
    c.Make(path);
    const TqvnPrivateFileRead read = ReadPrivateFile(path, kBound);
    EXPECT_EQ(read.Exists, c.Exists);
    EXPECT_EQ(read.Text.size(), c.Size);
    if (*c.Refusal == '\0') {
      EXPECT_EQ(read.Refusal, "");
    } else {
      EXPECT_EQ(read.Refusal.rfind(path + " ", 0), 0u) << read.Refusal;
      EXPECT_THAT(read.Refusal, ::testing::HasSubstr(c.Refusal));
    }
  }
}

TEST(PrivateFile, AFileOpenToOthersIsMadeOwnerOnlyAndSaysSoOnce) {
  const struct {
    mode_t Before, After;
    const char* Notice;
  } cases[] = {
      {0600, 0600, ""},
      {0400, 0400, ""},
      {0644, 0600, "was open to other users (mode 0644); it is now readable by its owner only (0600)"},
      {0666, 0600, "(mode 0666)"},
      {0604, 0600, "(mode 0604)"},
      {0444, 0400, "it is now readable by its owner only (0400)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Before);
    const test::TTempDir folder;
    const std::string path = folder.File("velune-telegram.ini");
    test::WriteText(path, "[TELEGRAM]\nApiHash=h\n");
    ASSERT_EQ(chmod(path.c_str(), c.Before), 0);
    const TqvnPrivateFileRead first = ReadPrivateFile(path, 1024);
    EXPECT_EQ(first.Text, "[TELEGRAM]\nApiHash=h\n");
    EXPECT_EQ(test::ModeOf(path), static_cast<int>(c.After));
    if (*c.Notice == '\0') {
      EXPECT_EQ(first.Notice, "");
    } else {
      EXPECT_THAT(first.Notice, ::testing::HasSubstr(c.Notice));
    }
    EXPECT_EQ(ReadPrivateFile(path, 1024).Notice, "") << "told once";
  }
}

TEST(PrivateFile, RemovesOnlyItsOwnStrayTemporaries) {
  const test::TTempDir folder;
  const std::string path = folder.File("velune-telegram.ini");
  test::WriteText(path, "[TELEGRAM]\n");
  const std::vector<std::string> ours = {"velune-telegram.ini.saving-a1B2c3",
                                         "velune-telegram.ini.saving-ZZZZZZ"};
  const std::vector<std::string> others = {
      "velune-telegram.ini.backup",          // a user's copy
      "velune-telegram.ini.saving-abc",      // not mkstemp's six characters
      "velune-telegram.ini.saving-abc1234",  // seven
      "velune-telegram.ini.saving-ab.def",   // not alphanumeric
      "other.ini.saving-a1B2c3",             // another file's temporary
  };
  for (const std::string& name : ours) test::WriteText(folder.File(name), "ApiHash=secret\n");
  for (const std::string& name : others) test::WriteText(folder.File(name), "keep\n");
  std::filesystem::create_directory(folder.File("velune-telegram.ini.saving-FOLDER"));
  ASSERT_EQ(symlink(path.c_str(), folder.File("velune-telegram.ini.saving-L1NK00").c_str()), 0);

  EXPECT_EQ(RemoveStrayTemporaries(path), 2u);
  std::vector<std::string> expected = others;
  expected.push_back("velune-telegram.ini");
  expected.push_back("velune-telegram.ini.saving-FOLDER");
  expected.push_back("velune-telegram.ini.saving-L1NK00");  // a link is no temporary of ours
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Entries(folder.Path()), expected);
}

// ---- The window's settings ----

TqvnLoginSettings SaveNumber(long aNumber) {
  const std::string n = std::to_string(aNumber);
  return {n, "hash-" + n + std::string(200, 'h'), "+1555" + n, n + ":token", aNumber % 2 == 1};
}

// The number of the save the settings come from, or -1 when they mix saves.
long SaveOf(const TqvnLoginSettings& aSettings) {
  const long number = std::atol(aSettings.ApiId.c_str());
  const TqvnLoginSettings expected = SaveNumber(number);
  const bool whole = aSettings.ApiId == expected.ApiId && aSettings.ApiHash == expected.ApiHash &&
                     aSettings.PhoneNumber == expected.PhoneNumber &&
                     aSettings.BotToken == expected.BotToken &&
                     aSettings.LoginBot == expected.LoginBot;
  return whole ? number : -1;
}

TEST(LoginSettings, ASaveKilledAtAnyMomentLeavesOneWholeSaveAndNoTemporaryFile) {
  const test::TTempDir folder;
  const std::string path = folder.File("velune-telegram.ini");
  SaveLoginSettings(path, SaveNumber(0));
  std::mt19937 random(20250101);
  long last = 0;
  int killedMidSave = 0;
  // A save takes a few milliseconds (two syncs); the kills land before, inside and after them.
  for (int round = 0; round < 100; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        for (long n = last + 1;; ++n) SaveLoginSettings(path, SaveNumber(n));
      } catch (...) {
      }
      _exit(3);  // only a failed save ends the loop
    }
    usleep(std::uniform_int_distribution<useconds_t>(0, 40000)(random));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the saves failed";
    if (Entries(folder.Path()).size() > 1) ++killedMidSave;

    const TqvnLoadedLoginSettings loaded = LoadLoginSettings(path);
    EXPECT_TRUE(loaded.Saveable);
    EXPECT_THAT(loaded.Notices, ::testing::IsEmpty());
    const long save = SaveOf(loaded.Settings);
    ASSERT_GE(save, last) << "the keys mix saves, or an older save came back: ApiId="
                          << loaded.Settings.ApiId;
    last = save;
    ASSERT_EQ(Entries(folder.Path()), std::vector<std::string>{"velune-telegram.ini"})
        << "a temporary file is left";
  }
  EXPECT_GT(last, 0) << "no save completed; the test proved nothing";
  EXPECT_GT(killedMidSave, 0) << "no kill landed inside a save; the test proved nothing";
}

TEST(LoginSettings, WhatIsNotReadIsNeitherLoadedNorOverwritten) {
  const struct {
    const char* Name;
    std::function<void(const std::string&)> Make;
    const char* Reason;
  } cases[] = {
      {"a FIFO", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
       "is a named pipe"},
      {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); },
       "is a folder"},
      {"a file of several GiB",
       [](const std::string& p) {
         test::WriteText(p, "[TELEGRAM]\nApiId=1\n");
         ASSERT_EQ(truncate(p.c_str(), off_t{6} << 30), 0);
       },
       "is larger than 1 MiB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const test::TTempDir folder;
    const std::string path = folder.File("velune-telegram.ini");
    c.Make(path);
    struct stat before {};
    ASSERT_EQ(lstat(path.c_str(), &before), 0);

    const TqvnLoadedLoginSettings loaded = LoadLoginSettings(path);
    EXPECT_FALSE(loaded.Saveable);
    EXPECT_EQ(loaded.Settings.ApiId, "");
    ASSERT_EQ(loaded.Notices.size(), 1u);
    EXPECT_THAT(loaded.Notices[0], ::testing::HasSubstr(path + " " + c.Reason));
    EXPECT_THROW(SaveLoginSettings(path, SaveNumber(1)), std::runtime_error);

    struct stat after {};
    ASSERT_EQ(lstat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(Entries(folder.Path()).size(), 1u);
  }
}

}  // namespace
}  // namespace qvn::test
