// The document tree: lookups, AddNode's paths, child documents, handles that outlive their
// document, and value conversions.
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "json/qvnJSON.h"

namespace qvn::test {
namespace {

TEST(JSONTree, LookupIsExactAndFindsTheFirst) {
  TqvnJSON document;
  document.Read(R"({"chat_id":5,"x":1,"x":2})");
  IqvnObjectJSON chat = document.Node("chat_id");
  ASSERT_TRUE(chat);
  EXPECT_EQ(chat->Value().AsString(), "5");
  EXPECT_EQ(chat->Value().AsInt64(), 5);
  EXPECT_FALSE(document.Node("Chat_id"));
  EXPECT_FALSE(document.Node("chat_i"));
  EXPECT_EQ(document.Count(), 3);
  EXPECT_EQ(document.Node("x")->Value().AsString(), "1");
}

TEST(JSONTree, PositionLookup) {
  TqvnJSON document;
  document.Read("[10,20]");
  EXPECT_EQ(document.Item(1)->Value().AsString(), "20");
  EXPECT_FALSE(document.Item(2));
  EXPECT_EQ(document.Node("")->Value().AsString(), "10");  // elements have empty names
  try {
    document.Item(-1);
    FAIL() << "no exception";
  } catch (const EqvnListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (-1)");
  }
  EXPECT_THROW(document.SetItem(-3, document.Item(0)), EqvnListError);
  TqvnJSON empty;
  EXPECT_FALSE(empty.Item(0));
  EXPECT_FALSE(empty.Node("a"));
}

TEST(JSONTree, AddNodeOnAnExistingNameOnlySetsTheValue) {
  TqvnJSON document;
  document.AddPair("a", 1);
  IqvnObjectJSON again = document.AddPair("a", "text");
  EXPECT_EQ(document.Count(), 1);
  EXPECT_EQ(again->JSONType(), qvnJSONNumber);
  EXPECT_EQ(again->Value().AsString(), "text");
  EXPECT_EQ(document.Text(), R"({"a":text})");
}

TEST(JSONTree, AddPairKinds) {
  TqvnJSON document;
  EXPECT_EQ(document.AddPair("is_enabled", true)->StoredText(), "true");
  EXPECT_EQ(document.AddPair("off", false)->StoredText(), "false");
  EXPECT_EQ(document.AddPair("i", 7)->Value().Kind(), jvInteger);
  EXPECT_EQ(document.AddPair("l", std::int64_t{5000000000})->Value().AsInt64(), 5000000000);
  EXPECT_EQ(document.AddPair("s", "v")->JSONType(), qvnJSONString);  // not a boolean
  EXPECT_EQ(document.AddPair("z")->JSONType(), qvnJSONNull);
  EXPECT_EQ(document.Text(),
            R"({"is_enabled":true,"off":false,"i":7,"l":5000000000,"s":"v","z":null})");
}

TEST(JSONTree, QuotedFlag) {
  TqvnJSON document;
  EXPECT_FALSE(document.AddPair("o", R"({"a":1})")->Quoted());
  EXPECT_FALSE(document.AddPair("l", "[1]")->Quoted());
  EXPECT_TRUE(document.AddPair("t", "a{b}")->Quoted());
  EXPECT_EQ(document.Text(), R"({"o":{"a":1},"l":[1],"t":"a{b}"})");
}

TEST(JSONTree, AddObjectWithEmptyTextIsFilledThroughItsChild) {
  TqvnJSON document;
  document.AddPair("@type", "addProxy");
  IqvnObjectJSON type = document.AddObject("type", "");
  EXPECT_EQ(type->JSONType(), qvnJSONObject);
  EXPECT_EQ(type->Count(), 0);
  EXPECT_EQ(document.Text(), R"({"@type":"addProxy","type":{}})");
  type->JSONObject()->AddPair("@type", "proxyTypeSocks5");
  type->JSONObject()->AddPair("port", 1080);
  EXPECT_EQ(type->Count(), 2);
  EXPECT_EQ(document.Text(),
            R"({"@type":"addProxy","type":{"@type":"proxyTypeSocks5","port":1080}})");
}

TEST(JSONTree, MemberAccessTurnsAScalarIntoAnObject) {
  TqvnJSON document;
  document.Read(R"({"n":5})");
  IqvnObjectJSON number = document.Node("n");
  EXPECT_EQ(number->Count(), 0);
  EXPECT_EQ(number->JSONType(), qvnJSONNumber);
  EXPECT_FALSE(number->Node("anything"));
  EXPECT_EQ(number->JSONType(), qvnJSONObject);
  EXPECT_EQ(number->Value().AsString(), "{}");
}

TEST(JSONTree, HandlesOutliveTheirDocument) {
  IqvnObjectJSON kept;
  IqvnJSON keptChild;
  {
    TqvnJSON document;
    document.Read(R"({"a":"first","o":{"b":[1,2]}})");
    kept = document.Node("a");
    keptChild = document.Node("o")->JSONObject();
    document.Clear();
    EXPECT_EQ(document.Count(), 0);
    EXPECT_EQ(kept->Value().AsString(), "first");
    // Reading again must not reuse the memory the held handles still read.
    document.Read(R"({"a":"second-and-longer-than-the-first","x":[1,2,3,4,5,6,7,8]})");
    EXPECT_EQ(kept->Value().AsString(), "first");
    EXPECT_EQ(document.Node("a")->Value().AsString(), "second-and-longer-than-the-first");
  }
  EXPECT_EQ(kept->Value().AsString(), "first");
  EXPECT_EQ(keptChild->Text(), R"({"b":[1,2]})");
  keptChild->AddPair("c", 3);  // still usable, not only readable
  EXPECT_EQ(keptChild->Text(), R"({"b":[1,2],"c":3})");
}

TEST(JSONTree, RepeatedReadsOnOneDocument) {
  TqvnJSON document;
  for (int i = 0; i < 1000; ++i) {
    std::string text =
        R"({"i":)" + std::to_string(i) + R"(,"pad":")" + std::string(i % 50, 'x') + R"("})";
    document.Read(text);
    ASSERT_EQ(document.Node("i")->Value().AsInt64(), i);
  }
}

TEST(JSONTree, LargeTextsAndRepeatedReads) {
  std::string large = "{";
  for (int i = 0; i < 20000; ++i) {
    large += "\"k" + std::to_string(i) + "\":\"" + std::string(i % 40, 'v') + "\",";
  }
  large += "\"last\":[1,2,3]}";
  TqvnJSON document;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    document.Read(large);
    ASSERT_EQ(document.Count(), 20001);
    EXPECT_EQ(document.Node("k19999")->StoredText(), std::string(19999 % 40, 'v'));
    EXPECT_EQ(document.Node("last")->Value().AsString(), "[1,2,3]");
    EXPECT_TRUE(document.Text() == large);
    document.Read(R"({"small":1})");
    EXPECT_EQ(document.Text(), R"({"small":1})");
  }
}

TEST(JSONTree, NodesMovedBetweenDocuments) {
  TqvnJSON target;
  target.Read(R"({"a":1,"b":2})");
  {
    auto source = std::make_shared<TqvnJSON>();
    source->Read(R"({"x":"moved"})");
    target.SetNode("b", source->Node("x"));
    target.SetNode("missing", source->Node("x"));  // no such name: nothing happens
    target.SetItem(5, source->Node("x"));          // past the end: nothing happens
  }
  EXPECT_EQ(target.Count(), 2);
  EXPECT_EQ(target.Text(), R"({"a":1,"x":"moved"})");
  target.SetItem(0, target.Item(1));
  EXPECT_EQ(target.Text(), R"({"x":"moved","x":"moved"})");
  EXPECT_THROW(target.SetNode("a", nullptr), EqvnJSONError);

  TqvnJSON holder;
  IqvnObjectJSON node = holder.AddObject("child");
  {
    auto child = std::make_shared<TqvnJSON>();
    child->AddPair("k", "v");
    node->SetJSONObject(child);
  }
  EXPECT_EQ(holder.Text(), R"({"child":{"k":"v"}})");
  node->Clear();
  EXPECT_EQ(node->Count(), 0);
  EXPECT_EQ(node->JSONType(), qvnJSONObject);
}

TEST(JSONTree, EscapeStringsEscapesNamesAndStrings) {
  TqvnJSON document;
  document.SetEscapeStrings(true);
  document.AddPair("a\"b", "x/y\x7F\xC3\xA9\n");
  document.AddPair("n", 5);
  EXPECT_EQ(document.Text(), "{\"a\\\"b\":\"x\\/y\x7F\\u00E9\\n\",\"n\":5}");
}

struct ConvertCase {
  const char* Name;
  TqvnJSONValue Value;
  std::string Text;
  const char* Int64;  // nullptr: raises
  const char* Boolean;
};

TEST(JSONTree, ValueConversions) {
  const std::vector<ConvertCase> cases = {
      {"decimal text", TqvnJSONValue("5"), "5", "5", "true"},
      {"negative text", TqvnJSONValue("-42"), "-42", "-42", "true"},
      {"plus sign", TqvnJSONValue("+7"), "+7", "7", "true"},
      {"zero", TqvnJSONValue("0"), "0", "0", "false"},
      {"large id", TqvnJSONValue("-1001234567890"), "-1001234567890", "-1001234567890", "true"},
      {"overflow", TqvnJSONValue("9223372036854775808"), "9223372036854775808", nullptr, "true"},
      {"fraction", TqvnJSONValue("1.5"), "1.5", nullptr, "true"},
      {"word true", TqvnJSONValue("TRUE"), "TRUE", nullptr, "true"},
      {"word false", TqvnJSONValue("false"), "false", nullptr, "false"},
      {"empty text", TqvnJSONValue(""), "", nullptr, nullptr},
      {"other word", TqvnJSONValue("abc"), "abc", nullptr, nullptr},
      {"empty", TqvnJSONValue(), "", nullptr, nullptr},
      {"integer", TqvnJSONValue(-3), "-3", "-3", "true"},
      {"int64", TqvnJSONValue(std::int64_t{1} << 40), "1099511627776", "1099511627776", "true"},
      {"boolean", TqvnJSONValue(true), "True", "1", "true"},
      {"double", TqvnJSONValue(2.5), "2.5", nullptr, "true"},
      // Beyond the double range a number is still not 0, however large or small.
      {"huge exponent", TqvnJSONValue("1e400"), "1e400", nullptr, "true"},
      {"tiny exponent", TqvnJSONValue("-1e-400"), "-1e-400", nullptr, "true"},
      {"zero with exponent", TqvnJSONValue("0.000e999"), "0.000e999", nullptr, "false"},
  };
  for (const ConvertCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.Value.AsString(), c.Text);
    if (c.Int64 != nullptr) {
      EXPECT_EQ(std::to_string(c.Value.AsInt64()), c.Int64);
    } else {
      EXPECT_THROW(c.Value.AsInt64(), EqvnConvertError);
    }
    if (c.Boolean != nullptr) {
      EXPECT_EQ(c.Value.AsBoolean() ? "true" : "false", std::string(c.Boolean));
    } else {
      EXPECT_THROW(c.Value.AsBoolean(), EqvnConvertError);
    }
  }
  EXPECT_THROW(TqvnJSONValue("5000000000").AsInteger(), EqvnConvertError);
  EXPECT_EQ(TqvnJSONValue("-12").AsInteger(), -12);
  EXPECT_THROW(TqvnJSONValue("inf").AsDouble(), EqvnConvertError);
}

// Number texts beyond the double range give an infinity (too large) or a zero (too small) with
// their sign, never a value of another size.
TEST(JSONTree, DoublesAcrossTheWholeRange) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::pair<const char*, double>> cases = {
      {"-1.5e2", -150.0},
      {"1.7976931348623157e308", 1.7976931348623157e308},
      {"4.9e-324", 4.9e-324},  // the smallest subnormal
      {"1e400", inf},
      {"+1e400", inf},
      {"-1e400", -inf},
      {"123456789e301", inf},
      {"0.0001e309", 1e305},
      {"1e99999999999999999999", inf},
      {"1e-400", 0.0},
      {"-1e-400", -0.0},
      {"1000e-99999999999999999999", 0.0},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    const double value = TqvnJSONValue(text).AsDouble();
    EXPECT_EQ(value, expected);
    EXPECT_EQ(std::signbit(value), std::signbit(expected));
  }
}

}  // namespace
}  // namespace qvn::test
