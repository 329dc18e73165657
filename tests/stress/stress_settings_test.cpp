// Hostile settings files through the window's INI layer: each file reads to a clear result
// (a value, or the default when there is none), a write afterwards succeeds and reads back,
// and nothing else in the file is lost.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/qvnIniFile.h"
#include "tests/support/TempDir.h"

namespace qvn::stress {
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
    {"OneLineFiftyMegabytes", std::string(50u << 20, 'x'), "-", "-"},
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
  EXPECT_THROW(file.WriteString(kSection, "ApiId", "1"), std::runtime_error);
}

}  // namespace
}  // namespace qvn::stress
