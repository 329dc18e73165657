// The typed views of TDLib's classes (client/qvnTelegram_Views.h, generated at build time by
// cmake/QvnTDLibViews.cmake): every accessor of every listed class reads what a reference JSON
// reader reads from the recorded TDLib texts, and the generator refuses what it cannot view.
// No TDLib is loaded.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "client/qvnTelegram_Views.h"
#include "tests/support/DataLines.h"
#include "tests/support/TDLibViewMembers.h"
#include "tests/support/TempDir.h"
#include "json/qvnJSON.h"

namespace qvn::test {
namespace {

template <class T>
constexpr bool kIsVector = false;
template <class T>
constexpr bool kIsVector<std::vector<T>> = true;

// aValue, read by an accessor, against aExpected, the reference's value of the same member
// (null when the member is absent).
template <class T>
void ExpectRead(const nlohmann::json& aExpected, const T& aValue, const std::string& aPath) {
  if constexpr (kIsVector<T>) {
    const size_t count = aExpected.is_array() ? aExpected.size() : 0;
    ASSERT_EQ(aValue.size(), count) << aPath;
    for (size_t i = 0; i < count; ++i) {
      ExpectRead(aExpected[i], aValue[i], aPath + "[" + std::to_string(i) + "]");
    }
  } else if constexpr (std::is_base_of_v<TqvnTDLibObject, T>) {
    // A view or a TqvnTDLibObject: the member's own node, of the view's type.
    if (aExpected.is_null()) {
      EXPECT_EQ(aValue.Type(), "") << aPath;
      EXPECT_EQ(aValue.template Get<std::string>(), "") << aPath;
      return;
    }
    if constexpr (!std::is_same_v<T, TqvnTDLibObject>) {
      EXPECT_EQ(aExpected.value("@type", ""), T::kType) << aPath;
    }
    EXPECT_EQ(nlohmann::json::parse(aValue.template Get<std::string>()), aExpected) << aPath;
  } else if constexpr (std::is_same_v<T, int64_t>) {
    // int53 members are numbers, int64 members strings.
    const int64_t expected = aExpected.is_string()   ? std::stoll(aExpected.get<std::string>())
                             : aExpected.is_null() ? 0
                                                   : aExpected.get<int64_t>();
    EXPECT_EQ(aValue, expected) << aPath;
  } else if constexpr (std::is_same_v<T, double>) {
    EXPECT_DOUBLE_EQ(aValue, aExpected.is_null() ? 0.0 : aExpected.get<double>()) << aPath;
  } else {  // int32_t, bool, std::string: the reference's own type, strings unescaped
    EXPECT_EQ(aValue, aExpected.is_null() ? T() : aExpected.get<T>()) << aPath;
  }
}

// Walks a reference tree and the engine's view of the same text side by side; every object whose
// "@type" has a view is read through each of its accessors.
class TViewsCheck {
 public:
  void Walk(const nlohmann::json& aExpected, const TqvnTDLibObject& aObject,
            const std::string& aPath) {
    if (aExpected.is_object()) {
      const std::string type = aExpected.value("@type", "");
      TMembers members{aExpected, aPath + "<" + type + ">"};
      if (VisitViewMembers(type, aObject, members)) ++FViewed[type];
      for (const auto& [name, value] : aExpected.items()) {
        Walk(value, aObject.Object(name), aPath + "." + name);
      }
    } else if (aExpected.is_array()) {
      const std::vector<TqvnTDLibObject> items = aObject.Items();
      ASSERT_EQ(items.size(), aExpected.size()) << aPath;
      for (size_t i = 0; i < items.size(); ++i) {
        Walk(aExpected[i], items[i], aPath + "[" + std::to_string(i) + "]");
      }
    }
  }
  void WalkText(const std::string& aText, const std::string& aPath) {
    TqvnJSON document;
    document.Read(aText);
    Walk(nlohmann::json::parse(aText), TqvnTDLibObject(document), aPath);
  }
  // How many objects of each class were read through their view.
  const std::map<std::string, int, std::less<>>& Viewed() const { return FViewed; }

 private:
  struct TMembers {
    const nlohmann::json& Expected;
    std::string Path;
    template <class T>
    void operator()(const char* aName, const T& aValue) const {
      const auto member = Expected.find(aName);
      ExpectRead(member == Expected.end() ? nlohmann::json() : *member, aValue,
                 Path + "." + aName);
    }
  };
  std::map<std::string, int, std::less<>> FViewed;
};

// TDLib 1.8.67's texts of the listed classes the recordings lack, as it writes them: int64
// members as strings (one past double's precision), escapes in strings, nested views.
constexpr const char* kWrittenTexts[] = {
    R"({"@type":"chats","total_count":3,"chat_ids":[-1001000000002,777000,5123456789]})",
    R"({"@type":"updateDeleteMessages","chat_id":-1001000000002,"message_ids":[3145728,4194304],)"
    R"("is_permanent":true,"from_cache":false})",
    R"({"@type":"updateMessageContent","chat_id":777000,"message_id":5242880,"new_content":)"
    R"({"@type":"messageText","text":{"@type":"formattedText","text":"line\none \"quoted\" \u00e9\ud83d\ude00",)"
    R"("entities":[{"@type":"textEntity","offset":0,"length":4,"type":{"@type":"textEntityTypeBold"}}]},)"
    R"("link_preview":null,"link_preview_options":null}})",
    R"({"@type":"updateMessageSendSucceeded","message":{"@type":"message","id":6291456,)"
    R"("sender_id":{"@type":"messageSenderChat","chat_id":-1001000000002},"chat_id":-1001000000002,)"
    R"("is_outgoing":true,"date":1733900000,"media_album_id":"9007199254740993","self_destruct_in":0.5,)"
    R"("content":{"@type":"messageDocument","document":{"@type":"document","file_name":"r\u00e9sum\u00e9.pdf",)"
    R"("mime_type":"application/pdf","minithumbnail":null,"thumbnail":null,"document":{"@type":"file",)"
    R"("id":41,"size":0,"expected_size":0}},"caption":{"@type":"formattedText","text":"","entities":[]}}},)"
    R"("old_message_id":1})",
    R"({"@type":"updateFile","file":{"@type":"file","id":12,"size":52428800,"expected_size":52428800,)"
    R"("local":{"@type":"localFile","path":"/tmp/a \"b\"\\c.jpg","can_be_downloaded":true,)"
    R"("can_be_deleted":true,"is_downloading_active":false,"is_downloading_completed":true,)"
    R"("download_offset":0,"downloaded_prefix_size":52428800,"downloaded_size":52428800},)"
    R"("remote":{"@type":"remoteFile","id":"AgACAgIAAxkBAAIB","unique_id":"AQADzq4xG","is_uploading_active":false,)"
    R"("is_uploading_completed":true,"uploaded_size":52428800}}})",
};

TEST(Views, EveryAccessorReadsWhatTheReferenceReads) {
  TViewsCheck check;
  for (const char* file : {"startup.jsonl", "messages-sample.jsonl", "account-1.8.67.jsonl",
                           "account-history-1.8.67.jsonl"}) {
    const std::vector<std::string> lines =
        NonEmptyLines(std::string(QVN_TEST_DATA_DIR) + "/" + file);
    for (size_t i = 0; i < lines.size(); ++i) {
      check.WalkText(lines[i], std::string(file) + ":" + std::to_string(i + 1));
    }
  }
  for (const char* text : kWrittenTexts) check.WalkText(text, "written");
  // Every listed class was read through its view at least once.
  for (std::string_view type : kViewClasses) {
    EXPECT_TRUE(check.Viewed().contains(type)) << type << " met in no text";
  }
}

// An abstract member is read by its Type(), then through its concrete view; renamed accessors
// read their members; an absent object reads as empty values.
TEST(Views, AbstractMembersReadThroughTheirConcreteViews) {
  TqvnJSON event;
  event.Read(kWrittenTexts[3]);
  const td::UpdateMessageSendSucceeded update(event);
  const td::Message message = update.Message();
  ASSERT_EQ(message.SenderId().Type(), td::MessageSenderChat::kType);
  EXPECT_EQ(td::MessageSenderChat(message.SenderId()).ChatId(), -1001000000002);
  const TqvnTDLibObject content = message.Content();
  ASSERT_EQ(content.Type(), td::MessageDocument::kType);
  const td::Document document = td::MessageDocument(content).Document();
  EXPECT_EQ(document.FileName(), "r\xC3\xA9sum\xC3\xA9.pdf");
  EXPECT_EQ(document.DocumentMember().Id(), 41);
  EXPECT_EQ(message.MediaAlbumId(), 9007199254740993);

  const td::Message absent = td::UpdateNewMessage(TqvnTDLibObject()).Message();
  EXPECT_FALSE(absent);
  EXPECT_EQ(absent.Id(), 0);
  EXPECT_EQ(absent.Content().Type(), "");
  EXPECT_TRUE(absent.UnreadReactions().empty());
}

// The generator stops the build with a message, writing nothing, on a list it cannot view.
TEST(Views, GeneratorRefusesWhatItCannotView) {
  const struct {
    const char* Case;
    const char* Schema;  // nullptr: TDLib 1.8.67's
    const char* Classes;
    const char* Message;
  } cases[] = {
      {"a class the schema lacks", nullptr, "user\n# comment\nmessageSenderUsr\n",
       R"(lists "messageSenderUsr", a class)"},
      {"a member type of no kind", R"({"thing":[["id","int128"]]})", "thing\n",
       R"(member type "int128" is no TL scalar)"},
      {"classes that hold one another", R"({"a":[["b","vector<b>"]],"b":[["a","a"]]})", "a\nb\n",
       "the classes a, b hold one another"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    TTempDir folder;
    const std::string schema = c.Schema ? folder.File("schema.json") : kViewsSchema;
    if (c.Schema) WriteText(schema, c.Schema);
    WriteText(folder.File("classes.txt"), c.Classes);
    const std::string header = folder.File("views.h");
    const std::string command = std::string("'") + kViewsCMake + "' '-DQVN_SCHEMA=" + schema +
                                "' '-DQVN_CLASSES=" + folder.File("classes.txt") +
                                "' '-DQVN_VIEWS_HEADER=" + header + "' -P '" + kViewsGenerator +
                                "' 2>&1";
    FILE* run = popen(command.c_str(), "r");
    ASSERT_NE(run, nullptr);
    std::string output;
    char buffer[4096];
    for (size_t read; (read = fread(buffer, 1, sizeof buffer, run)) > 0;) output.append(buffer, read);
    const int status = pclose(run);

    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << output;
    EXPECT_NE(output.find(c.Message), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(header));
  }
}

}  // namespace
}  // namespace qvn::test
