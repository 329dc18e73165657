// The settings file's pieces: where it and TDLib's database live, the INI layer and number
// conversion; and what TDLib is told about the device.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>

#include "app/qvnIniFile.h"
#include "app/qvnIntegerText.h"
#include "app/qvnSettingsPath.h"
#include "app/qvnSystemInfo.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

TEST(SettingsPath, ReplacesOrAppendsTheExtension) {
  const struct {
    const char* Program;
    const char* Settings;
  } cases[] = {
      {"/opt/velune/velune-telegram", "/opt/velune/velune-telegram.ini"},
      {"/opt/velune/velune-telegram.bin", "/opt/velune/velune-telegram.ini"},
      {"/home/u/.local/bin/velune", "/home/u/.local/bin/velune.ini"},
      {"/a.b/c.d/prog.x.y", "/a.b/c.d/prog.x.ini"},
      {"prog", "prog.ini"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Program);
    EXPECT_EQ(SettingsPathFor(c.Program), c.Settings);
  }
}

// A new installation uses the XDG folders; what an earlier version kept beside the program stays
// in use.
TEST(FilePlaces, XdgFoldersUnlessTheOldPlacesExist) {
  TTempDir dir;
  const std::string program = dir.File("bin/velune-telegram");
  std::filesystem::create_directories(dir.File("bin"));
  std::map<std::string, std::string> environment;
  const TqvnEnvironment lookup = [&environment](const char* aName) -> const char* {
    auto found = environment.find(aName);
    return found == environment.end() ? nullptr : found->second.c_str();
  };
  const struct {
    const char* Name;
    std::map<std::string, std::string> Environment;
    const char* Settings;  // relative to dir
    const char* Database;
  } cases[] = {
      {"XDG variables", {{"XDG_CONFIG_HOME", dir.File("cfg")}, {"XDG_DATA_HOME", dir.File("data")}, {"HOME", dir.File("home")}},
       "cfg/velune/velune-telegram.ini", "data/velune/tdlib"},
      {"home fallbacks", {{"HOME", dir.File("home")}},
       "home/.config/velune/velune-telegram.ini", "home/.local/share/velune/tdlib"},
      // Empty or relative XDG paths are ignored, as the XDG rules say.
      {"empty and relative", {{"XDG_CONFIG_HOME", ""}, {"XDG_DATA_HOME", "rel/data"}, {"HOME", dir.File("home")}},
       "home/.config/velune/velune-telegram.ini", "home/.local/share/velune/tdlib"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    environment = c.Environment;
    const TqvnFilePlaces places = FilePlacesFor(program, lookup);
    EXPECT_EQ(places.SettingsFile, dir.File(c.Settings));
    EXPECT_EQ(places.DatabaseDirectory, dir.File(c.Database));
  }

  // The old places, once they exist, win over the variables.
  environment = cases[0].Environment;
  WriteText(dir.File("bin/velune-telegram.ini"), "[TELEGRAM]\n");
  TqvnFilePlaces places = FilePlacesFor(program, lookup);
  EXPECT_EQ(places.SettingsFile, dir.File("bin/velune-telegram.ini"));
  EXPECT_EQ(places.DatabaseDirectory, dir.File("data/velune/tdlib"));
  std::filesystem::create_directories(dir.File("bin/tdlib"));
  places = FilePlacesFor(program, lookup);
  EXPECT_EQ(places.DatabaseDirectory, dir.File("bin/tdlib"));
  // A folder named like the settings file, or a file named tdlib, is not what was kept.
  std::filesystem::remove(dir.File("bin/velune-telegram.ini"));
  std::filesystem::create_directories(dir.File("bin/velune-telegram.ini"));
  std::filesystem::remove(dir.File("bin/tdlib"));
  WriteText(dir.File("bin/tdlib"), "");
  places = FilePlacesFor(program, lookup);
  EXPECT_EQ(places.SettingsFile, dir.File("cfg/velune/velune-telegram.ini"));
  EXPECT_EQ(places.DatabaseDirectory, dir.File("data/velune/tdlib"));
}

TEST(FilePlaces, TheSettingsFolderIsCreatedOwnerOnly) {
  TTempDir dir;
  const std::string settings = dir.File("cfg/velune/velune-telegram.ini");
  EXPECT_TRUE(MakeFolderFor(settings));
  EXPECT_EQ(ModeOf(dir.File("cfg/velune")), 0700);
  EXPECT_TRUE(MakeFolderFor(settings));  // already there
  WriteText(dir.File("file"), "");
  EXPECT_FALSE(MakeFolderFor(dir.File("file/velune/velune-telegram.ini")));
}

TEST(SystemInfo, TheDeviceIsNamedByItsMakerAndModel) {
  const struct {
    const char* Vendor;
    const char* Product;
    const char* Model;
  } cases[] = {
      {"LENOVO", "ThinkPad X1 Carbon", "LENOVO ThinkPad X1 Carbon"},
      {"Dell Inc.", "Dell Inc. XPS 13", "Dell Inc. XPS 13"},  // the maker named once
      {"", "Standard PC (Q35 + ICH9, 2009)", "Standard PC (Q35 + ICH9, 2009)"},
      {"System manufacturer", "System Product Name", "Desktop (x86_64)"},
      {" QEMU ", " ", "Desktop (x86_64)"},
  };
  for (const auto& c : cases) EXPECT_EQ(DeviceModelFrom(c.Vendor, c.Product, "x86_64"), c.Model);
  EXPECT_FALSE(SystemVersionText().empty());
  EXPECT_NE(SystemVersionText(), "Windows") << "the running system, not the engine's default";
}

TEST(IntegerText, AcceptsDecimalDollarAndHexForms) {
  const struct {
    const char* Text;
    std::optional<int32_t> Value;
  } cases[] = {
      {"0", 0},
      {"42", 42},
      {" -7", -7},
      {"   +15", 15},
      {"$1F", 31},
      {"0x1F", 31},
      {"0X1f", 31},
      {"-$10", -16},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {" ", std::nullopt},
      {"-", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"12abc", std::nullopt},
      {"12 ", std::nullopt},
      {"1.5", std::nullopt},
      {"yes", std::nullopt},
      {"true", std::nullopt},
      {"$G", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("text '") + c.Text + "'");
    EXPECT_EQ(TryStrToInt(c.Text), c.Value);
  }
}

TEST(IntegerText, RejectionNamesTheText) {
  try {
    StrToInt("12abc");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'12abc' is not a valid integer value");
  }
  EXPECT_EQ(StrToIntDef("yes", 0), 0);
  EXPECT_EQ(StrToIntDef("0x1", 0), 1);
}

TEST(IntegerText, IdsTakeTheWhole64BitRange) {
  EXPECT_EQ(StrToInt64("2223759965"), 2223759965);
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(StrToInt64("0x7FFFFFFFFFFFFFFF"), INT64_MAX);
  for (const char* text : {"9223372036854775808", "-9223372036854775809", "0x8000000000000000",
                           "99999999999999999999", "1e3"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(StrToInt64(text), EConvertError);
  }
}

TEST(IniFile, MissingFileReadsDefaultsAndIsCreatedOwnerOnly) {
  TTempDir dir;
  const std::string path = dir.File("settings.ini");
  TqvnIniFile ini(path);
  EXPECT_EQ(ini.ReadString("TELEGRAM", "ApiId", "none"), "none");
  ini.WriteString("TELEGRAM", "ApiId", "123");
  ini.WriteString("TELEGRAM", "ApiHash", "abc");
  EXPECT_EQ(ModeOf(path), -1) << "nothing is written before UpdateFile";
  ini.UpdateFile();
  EXPECT_EQ(ReadText(path), "[TELEGRAM]\nApiId=123\nApiHash=abc\n");
  EXPECT_EQ(ModeOf(path), 0600);
}

TEST(IniFile, EditsInPlaceAndKeepsEverythingElse) {
  TTempDir dir;
  const std::string path = dir.File("settings.ini");
  WriteText(path,
            "; comment\r\n"
            "[Other]\r\n"
            "ApiId=keep me\r\n"
            "[telegram]\r\n"
            "Extra = stays\r\n"
            " apiid = 1 \r\n"
            "\r\n"
            "[Last]\r\n"
            "x=y\r\n");
  TqvnIniFile ini(path);
  EXPECT_EQ(ini.ReadString("TELEGRAM", "ApiId", ""), "1");  // names ignore case, values trimmed
  EXPECT_EQ(ini.ReadString("Other", "ApiId", ""), "keep me");
  ini.WriteString("TELEGRAM", "ApiId", "2");
  ini.WriteString("TELEGRAM", "LoginBot", "0");
  ini.UpdateFile();
  EXPECT_EQ(ReadText(path),
            "; comment\r\n"
            "[Other]\r\n"
            "ApiId=keep me\r\n"
            "[telegram]\r\n"
            "Extra = stays\r\n"
            "ApiId=2\r\n"
            "LoginBot=0\r\n"
            "\r\n"
            "[Last]\r\n"
            "x=y\r\n");
  // A file reopened reads what was written.
  EXPECT_EQ(TqvnIniFile(path).ReadString("TELEGRAM", "LoginBot", "?"), "0");
}

TEST(IniFile, LineBreaksInAValueCannotAddEntries) {
  TTempDir dir;
  const std::string path = dir.File("settings.ini");
  TqvnIniFile ini(path);
  ini.WriteString("TELEGRAM", "BotToken", "t\nLoginBot=1\r\n[Other]");
  ini.UpdateFile();
  EXPECT_EQ(ReadText(path), "[TELEGRAM]\nBotToken=t LoginBot=1  [Other]\n");
  EXPECT_EQ(TqvnIniFile(path).ReadString("TELEGRAM", "LoginBot", "none"), "none");
}

TEST(IniFile, AnExistingFileKeepsItsOwnerBitsOnly) {
  const struct {
    int Before, After;
  } cases[] = {{0600, 0600}, {0644, 0600}, {0666, 0600}, {0640, 0600}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Before);
    TTempDir dir;
    const std::string path = dir.File("settings.ini");
    WriteText(path, "[TELEGRAM]\n");
    chmod(path.c_str(), c.Before);
    TqvnIniFile ini(path);
    ini.WriteString("TELEGRAM", "ApiId", "1");
    ini.UpdateFile();
    EXPECT_EQ(ModeOf(path), c.After);
  }
}

TEST(IniFile, AFailedWriteLeavesThePreviousFileWhole) {
  TTempDir dir;
  const std::string path = dir.File("settings.ini");
  const std::string before = "[TELEGRAM]\nApiId=1\n";
  WriteText(path, before);
  TqvnIniFile ini(path);
  // A file-size limit below the new text makes the write fail the way a full disk does.
  rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto savedSignal = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = before.size() + 4;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ini.WriteString("TELEGRAM", "ApiHash", std::string(200, 'h'));
  EXPECT_THROW(ini.UpdateFile(), std::runtime_error);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, savedSignal);

  EXPECT_EQ(ReadText(path), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            1)
      << "the temporary file is removed";
}

TEST(IniFile, WritesThroughALinkToTheFile) {
  TTempDir dir;
  const std::string target = dir.File("real.ini");
  const std::string link = dir.File("settings.ini");
  WriteText(target, "[TELEGRAM]\n");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  TqvnIniFile ini(link);
  ini.WriteString("TELEGRAM", "ApiId", "7");
  ini.UpdateFile();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadText(target), "[TELEGRAM]\nApiId=7\n");
}

TEST(IniFile, UnwritablePathRaisesUnableToWrite) {
  TTempDir dir;
  WriteText(dir.File("plain-file"), "not a folder");
  const std::string path = dir.File("plain-file") + "/settings.ini";
  TqvnIniFile ini(path);
  ini.WriteString("TELEGRAM", "ApiId", "1");
  try {
    ini.UpdateFile();
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
  }
}

}  // namespace
}  // namespace qvn::test
