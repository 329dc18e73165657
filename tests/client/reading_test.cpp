// The reading helpers the engine's records and the window's reader share: walking an event
// document without changing it, texts, integers written as numbers or strings, and the largest
// photo size. No TDLib is loaded.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "client/qvnTelegram_Reading.h"
#include "tests/support/DataLines.h"
#include "json/qvnJSON.h"

namespace qvn::test {
namespace {

TEST(Reading, WalksADocumentOrANodeWithoutChangingIt) {
  const std::string text =
      R"({"@type":"updateNewMessage","message":{"id":7,"sender_id":null,"content":)"
      R"({"@type":"messageText","text":{"text":"a\nb \u00e9"}}}})";
  TqvnJSON event;
  event.Read(text);
  const std::string before = event.Text();

  EXPECT_EQ(PlainText(NodeAt(event, {"message", "content", "text", "text"})), "a\nb é");
  const IqvnObjectJSON message = NodeAt(event, {"message"});
  EXPECT_EQ(Int64Of(NodeAt(message, {"id"})), 7);
  // Absent members, members past a scalar, and an empty handle read as nothing.
  EXPECT_FALSE(NodeAt(event, {"message", "reply_to", "chat_id"}));
  EXPECT_FALSE(NodeAt(event, {"message", "sender_id", "user_id"}));
  EXPECT_FALSE(NodeAt(event, {"message", "id", "value"}));
  EXPECT_FALSE(NodeAt(IqvnObjectJSON(), {"id"}));
  EXPECT_EQ(PlainText(nullptr), "");
  EXPECT_EQ(Int64Of(nullptr), 0);
  EXPECT_FALSE(BooleanOf(nullptr));
  // Walking into scalars made none of them an object: the dispatcher reads the same document.
  EXPECT_EQ(event.Text(), before);
}

TEST(Reading, IntegersReadTheSameAsNumbersAndAsStrings) {
  const struct {
    const char* Value;
    int64_t Expected;
  } cases[] = {
      {"42", 42},
      {R"("42")", 42},
      {R"("9223372036854775807")", 9223372036854775807},  // a chat order: int64 as a string
      {"-1001000000002", -1001000000002},                // a chat id: int53 as a number
      {R"("-1001000000002")", -1001000000002},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    TqvnJSON document;
    document.Read(std::string(R"({"id":)") + c.Value + "}");
    EXPECT_EQ(Int64Of(document.GetNode("id")), c.Expected);
  }
  TqvnJSON document;
  document.Read(R"({"word":"abc","wide":4294967296})");
  EXPECT_THROW(Int64Of(document.GetNode("word")), EqvnConvertError);
  EXPECT_THROW(Int32Of(document.GetNode("wide")), EqvnConvertError);
}

// The largest of a photo's sizes, by pixels. TDLib lists them by type, smallest first; a picture
// too small for a larger type repeats its dimensions in that type's entry, so of equal sizes the
// later entry is the one to show and download.
TEST(Reading, LargestPhotoSizeTakesTheLaterOfEqualSizes) {
  const auto size = [](const char* aType, int aWidth, int aHeight) {
    return std::string(R"({"@type":"photoSize","type":")") + aType + R"(","width":)" +
           std::to_string(aWidth) + R"(,"height":)" + std::to_string(aHeight) + "}";
  };
  const struct {
    std::string Sizes;
    const char* Expected;  // the type of the size taken; "" for none
  } cases[] = {
      // As TDLib 1.8.67 lists a photo (tests/data/messages-sample.jsonl).
      {size("m", 320, 240) + "," + size("x", 800, 600) + "," + size("y", 1280, 960), "y"},
      {size("y", 1280, 960) + "," + size("m", 320, 240), "y"},
      // A 600x450 picture: "x" and "y" both hold it whole; "y" is the better copy.
      {size("m", 320, 240) + "," + size("x", 600, 450) + "," + size("y", 600, 450), "y"},
      {size("x", 450, 600) + "," + size("y", 600, 450), "y"},  // same pixels, turned
      {R"({"type":"i"},)" + size("s", 90, 67), "s"},           // no dimensions: no pixels
      {R"({"type":"i"})", "i"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Sizes);
    TqvnJSON photo;
    photo.Read(R"({"sizes":[)" + c.Sizes + "]}");
    EXPECT_EQ(PlainText(NodeAt(LargestPhotoSize(photo.GetNode("sizes")), {"type"})), c.Expected);
  }
  TqvnJSON notAList;
  notAList.Read(R"({"sizes":{"width":1,"height":1}})");
  EXPECT_FALSE(LargestPhotoSize(notAList.GetNode("sizes")));
}

// What a program reads by path: typed, unescaped, int64 strings as numbers, arrays, and nulls
// and absent members as the type's empty value.
TEST(Reading, ProgramsReadTypedValuesByPath) {
  TqvnJSON document;
  document.Read(
      R"({"@type":"chat","id":-1001000000002,"title":"h\u00e9llo \"quoted\"","order":"9223372036854775807",)"
      R"("is_pinned":true,"ratio":0.5,"draft_message":null,"photo":{"small":{"id":12}},)"
      R"("positions":[{"order":"5","is_pinned":false},{"order":"6","is_pinned":true}],"empty":[]})");
  const TqvnTDLibObject chat(document);

  EXPECT_EQ(chat.Type(), "chat");
  EXPECT_EQ(chat.Get<int64_t>("id"), -1001000000002);
  EXPECT_EQ(chat.Text("title"), "h\xC3\xA9llo \"quoted\"");
  EXPECT_EQ(chat.Get<int64_t>("order"), 9223372036854775807);
  EXPECT_TRUE(chat.Get<bool>("is_pinned"));
  EXPECT_DOUBLE_EQ(chat.Get<double>("ratio"), 0.5);
  EXPECT_EQ(chat.Get<int32_t>("photo", "small", "id"), 12);
  EXPECT_EQ(chat.Object("photo").Get<int32_t>("small", "id"), 12);
  EXPECT_EQ(chat.Object("photo", "small", "id").Get<int32_t>(), 12);  // a node reads itself

  // Absent, null and past-a-scalar paths: the empty value, and Has tells them apart.
  EXPECT_EQ(chat.Get<int64_t>("missing"), 0);
  EXPECT_EQ(chat.Text("draft_message"), "");
  EXPECT_EQ(chat.Text("title", "deeper"), "");
  EXPECT_TRUE(chat.Has("draft_message"));
  EXPECT_FALSE(chat.Has("missing"));
  EXPECT_FALSE(chat.Object("missing"));
  EXPECT_THROW(chat.Get<int64_t>("title"), EqvnConvertError);

  // Arrays: elements in order; none for an empty one, an absent one or an object.
  std::vector<int64_t> orders;
  for (const TqvnTDLibObject& position : chat.Items("positions")) {
    orders.push_back(position.Get<int64_t>("order"));
  }
  EXPECT_EQ(orders, (std::vector<int64_t>{5, 6}));
  EXPECT_TRUE(chat.Items("empty").empty());
  EXPECT_TRUE(chat.Items("missing").empty());
  EXPECT_TRUE(chat.Items("photo").empty());
}

// Views from Object and Items hold their nodes: they stay readable after the document is gone.
TEST(Reading, ObjectsOutliveTheirDocument) {
  TqvnTDLibObject small;
  std::vector<TqvnTDLibObject> positions;
  {
    auto document = std::make_shared<TqvnJSON>();
    document->Read(R"({"photo":{"small":{"id":12}},"positions":[{"order":"5"}]})");
    small = TqvnTDLibObject(*document).Object("photo", "small");
    positions = TqvnTDLibObject(*document).Items("positions");
  }
  EXPECT_EQ(small.Get<int32_t>("id"), 12);
  ASSERT_EQ(positions.size(), 1U);
  EXPECT_EQ(positions[0].Get<int64_t>("order"), 5);
}

// Every value of every recorded TDLib text, read by path, equals what a reference JSON library
// reads: strings unescaped, int64 strings as numbers, arrays element by element.
class TypedReadCheck {
 public:
  void Compare(const nlohmann::json& aExpected, const TqvnTDLibObject& aObject,
               const std::string& aPath) {
    if (aExpected.is_object()) {
      for (const auto& [name, value] : aExpected.items()) {
        const std::string path = aPath + "." + name;
        EXPECT_TRUE(aObject.Has(name)) << path;
        Compare(value, aObject.Object(name), path);
      }
    } else if (aExpected.is_array()) {
      const std::vector<TqvnTDLibObject> items = aObject.Items();
      ASSERT_EQ(items.size(), aExpected.size()) << aPath;
      for (size_t i = 0; i < items.size(); ++i) {
        Compare(aExpected[i], items[i], aPath + "[" + std::to_string(i) + "]");
      }
    } else {
      CompareValue(aExpected, aObject, aPath);
      ++FValues;
    }
  }
  size_t Values() const { return FValues; }

 private:
  static void CompareValue(const nlohmann::json& aExpected, const TqvnTDLibObject& aValue,
                           const std::string& aPath) {
    if (aExpected.is_string()) {
      const std::string text = aExpected.get<std::string>();
      EXPECT_EQ(aValue.Get<std::string>(), text) << aPath;
      const bool integer = !text.empty() && text.size() < 20 &&
                           text.find_first_not_of("-0123456789") == std::string::npos &&
                           text.find('-', 1) == std::string::npos && text != "-";
      if (integer) EXPECT_EQ(aValue.Get<int64_t>(), std::stoll(text)) << aPath;
    } else if (aExpected.is_boolean()) {
      EXPECT_EQ(aValue.Get<bool>(), aExpected.get<bool>()) << aPath;
    } else if (aExpected.is_number_integer()) {
      EXPECT_EQ(aValue.Get<int64_t>(), aExpected.get<int64_t>()) << aPath;
    } else if (aExpected.is_number_float()) {
      EXPECT_DOUBLE_EQ(aValue.Get<double>(), aExpected.get<double>()) << aPath;
    } else {  // null
      EXPECT_EQ(aValue.Get<std::string>(), "") << aPath;
      EXPECT_EQ(aValue.Get<int64_t>(), 0) << aPath;
    }
  }

  size_t FValues = 0;
};

TEST(Reading, EveryRecordedValueReadsAsTheReferenceReadsIt) {
  for (const char* file : {"startup.jsonl", "messages-sample.jsonl", "account-1.8.67.jsonl",
                           "account-history-1.8.67.jsonl"}) {
    SCOPED_TRACE(file);
    TypedReadCheck check;
    for (const std::string& line : NonEmptyLines(std::string(QVN_TEST_DATA_DIR) + "/" + file)) {
      TqvnJSON document;
      document.Read(line);
      check.Compare(nlohmann::json::parse(line), TqvnTDLibObject(document), "");
    }
    EXPECT_GT(check.Values(), 100U);
  }
}

}  // namespace
}  // namespace qvn::test
