// The reader's leniency and its exact stopping points, shown through what the document holds
// (printed back with Text, which escapes nothing and prints values as stored).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "json/qvnJSON.h"

namespace qvn::test {
namespace {

struct ReadCase {
  const char* Name;
  std::string Text;
  std::string Printed;  // Text after Read
};

TEST(JSONReader, LeniencyAndStoppingPoints) {
  const std::vector<ReadCase> cases = {
      {"empty text", "", "{}"},
      {"bare number", "5", "{}"},
      {"bare string", "\"x\"", "{}"},
      {"array at the first character", "[1,2]", "[1,2]"},
      {"array after a blank is not read", " [1,2]", "{}"},
      {"blanks everywhere", " {\t\"a\" :\r\n 1 , \"b\"\f:2 } ", "{\"a\":1,\"b\":2}"},
      {"vertical tab is not a blank", "{\v\"a\":1}", "{}"},
      {"missing comma between members", "{\"a\":1 \"b\":2}", "{\"a\":1,\"b\":2}"},
      {"comma before the closing brace", "{\"a\":1,}", "{\"a\":1}"},
      {"missing comma and trailing comma in an array", "[1 2,]", "[1,2]"},
      {"comment between members", "{\"a\":1, # note, \"c\":3\n \"b\":2}", "{\"a\":1,\"b\":2}"},
      {"comment up to the end of the text", "{\"a\":1 # }", "{\"a\":1}"},
      {"words in any letter case", "{\"a\":TRUE,\"b\":False,\"c\":NULL,\"d\":nUlL}",
       "{\"a\":true,\"b\":false,\"c\":null,\"d\":null}"},
      {"cut-off word", "{\"a\":1,\"b\":tru", "{\"a\":1}"},
      {"misspelt word", "{\"a\":1,\"b\":trux,\"c\":2}", "{\"a\":1}"},
      {"numbers as written", "{\"a\":+1,\"b\":007,\"c\":-0.50,\"d\":1E+5,\"e\":2e-3}",
       "{\"a\":+1,\"b\":007,\"c\":-0.50,\"d\":1E+5,\"e\":2e-3}"},
      {"number ending in a point", "{\"a\":1,\"b\":1.,\"c\":2}", "{\"a\":1}"},
      {"number beginning with a point", "{\"a\":1,\"b\":.5}", "{\"a\":1}"},
      {"exponent without digits", "{\"a\":1,\"b\":1e}", "{\"a\":1}"},
      {"sign without digits", "{\"a\":1,\"b\":-}", "{\"a\":1}"},
      {"second point", "{\"a\":1.5.3}", "{\"a\":1.5}"},
      {"escaped quote inside a string", "{\"a\":\"say \\\"hi\\\" now\"}",
       "{\"a\":\"say \\\"hi\\\" now\"}"},
      {"escapes stay as written", "{\"a\":\"\\u00e9\\n\\/\"}", "{\"a\":\"\\u00e9\\n\\/\"}"},
      {"escaped backslash before a closing quote and a comma", "{\"a\":\"x\\\\\",\"b\":1}",
       "{\"a\":\"x\\\\\",\"b\":1}"},
      {"escaped backslash before a closing quote and a colon swallows the rest", "{\"a\\\\\":1}",
       "{}"},
      {"short unicode escape runs on", "{\"a\":1,\"b\":\"\\u12\"}", "{\"a\":1}"},
      {"unterminated string", "{\"a\":1,\"b\":\"abc", "{\"a\":1}"},
      {"name without colon", "{\"a\":1,\"b\" 2}", "{\"a\":1}"},
      {"value missing", "{\"a\":1,\"b\":}", "{\"a\":1}"},
      {"unquoted name", "{\"a\":1,b:2}", "{\"a\":1}"},
      {"cut off after the second member", "{\"a\":1,\"b\":\"x\",\"c\"", "{\"a\":1,\"b\":\"x\"}"},
      {"cut-off nested object stays with what it holds", "{\"a\":1,\"o\":{\"x\":1,\"y\":{\"z\":2",
       "{\"a\":1,\"o\":{\"x\":1,\"y\":{\"z\":2}}}"},
      {"members after a failed nested array are dropped", "{\"a\":[1,?],\"b\":2}", "{\"a\":[1]}"},
      {"second text is ignored", "{\"a\":1}{\"b\":2}", "{\"a\":1}"},
      {"garbage after the value is ignored", "[1]]]", "[1]"},
      {"array elements have no names", "{\"l\":[{\"a\":1},[2],\"s\",null]}",
       "{\"l\":[{\"a\":1},[2],\"s\",null]}"},
      {"duplicate names are kept", "{\"a\":1,\"a\":2}", "{\"a\":1,\"a\":2}"},
      {"empty containers", "{\"o\":{},\"l\":[]}", "{\"o\":{},\"l\":[]}"},
      {"multibyte text kept", "{\"t\":\"h\xC3\xA9llo \xF0\x9F\x98\x80\"}",
       "{\"t\":\"h\xC3\xA9llo \xF0\x9F\x98\x80\"}"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TqvnJSON document;
    document.Read(c.Text);
    EXPECT_EQ(document.Text(), c.Printed);
  }
}

TEST(JSONReader, TypesAndValuesAsStored) {
  TqvnJSON document;
  document.Read(R"({"s":"a\"b","n":-12.5e3,"t":True,"f":FALSE,"z":Null,"o":{"k":1},"l":[1]})");
  struct Expect {
    const char* Name;
    TqvnJSONtype Type;
    std::string Stored;
  };
  const std::vector<Expect> expected = {
      {"s", qvnJSONString, "a\\\"b"}, {"n", qvnJSONNumber, "-12.5e3"},
      {"t", qvnJSONBoolean, "true"},  {"f", qvnJSONBoolean, "false"},
      {"z", qvnJSONNull, "null"},     {"o", qvnJSONObject, ""},
      {"l", qvnJSONList, ""},
  };
  ASSERT_EQ(document.Count(), static_cast<int>(expected.size()));
  for (int i = 0; i < document.Count(); ++i) {
    SCOPED_TRACE(expected[i].Name);
    IqvnObjectJSON node = document.Item(i);
    EXPECT_EQ(node->Name(), expected[i].Name);
    EXPECT_EQ(node->JSONType(), expected[i].Type);
    EXPECT_EQ(node->StoredText(), expected[i].Stored);
  }
  EXPECT_FALSE(document.IsArray());
  // A list read from text has a child that is not marked as an array until Value is read.
  IqvnObjectJSON list = document.Node("l");
  EXPECT_FALSE(list->JSONObject()->IsArray());
  EXPECT_EQ(list->Value().AsString(), "[1]");
  EXPECT_TRUE(list->JSONObject()->IsArray());
}

TEST(JSONReader, ReadReplacesTheContent) {
  TqvnJSON document;
  document.Read("[1,2,3]");
  EXPECT_TRUE(document.IsArray());
  document.Read(R"({"a":1})");
  EXPECT_FALSE(document.IsArray());
  EXPECT_EQ(document.Count(), 1);
  EXPECT_EQ(document.Text(), R"({"a":1})");
}

// Read may be given a view of the document's own memory, or of memory only the document keeps
// alive: the text is read before clearing lets that memory go.
TEST(JSONReader, ReadOfAViewIntoTheSameDocument) {
  {
    SCOPED_TRACE("a value of the document itself");
    TqvnJSON document;
    document.AddPair("inner", std::string(R"({"a":[1,2],"b":"x"})") + std::string(5000, ' '));
    document.Read(document.Node("inner")->StoredText());
    EXPECT_EQ(document.Text(), R"({"a":[1,2],"b":"x"})");
  }
  {
    SCOPED_TRACE("a value the document keeps alive for another document");
    TqvnJSON document;
    document.AddPair("slot", "");
    {
      TqvnJSON other;
      other.AddPair("slot", R"({"c":true})");
      document.SetNode("slot", other.Node("slot"));
    }
    const std::string_view text = document.Node("slot")->StoredText();
    document.Read(text);
    EXPECT_EQ(document.Text(), R"({"c":true})");
  }
}

int Depth(TqvnJSON& aDocument) {
  int depth = 1;
  IqvnObjectJSON node = aDocument.Item(0);
  while (node && node->JSONType() == qvnJSONList) {
    ++depth;
    node = node->JSONObject()->Item(0);
  }
  return depth;
}

TEST(JSONReader, NestingDepthIsBounded) {
  const int limit = TqvnJSON::kMaxDepth;
  {
    SCOPED_TRACE("exactly at the bound");
    std::string text = std::string(limit, '[') + std::string(limit, ']');
    TqvnJSON document;
    document.Read(text);
    EXPECT_EQ(document.Text(), text);
  }
  {
    SCOPED_TRACE("one level deeper stops like malformed text");
    std::string text =
        "{\"a\":1,\"deep\":" + std::string(limit, '[') + std::string(limit, ']') + ",\"b\":2}";
    TqvnJSON document;
    document.Read(text);
    EXPECT_EQ(document.Count(), 2);
    EXPECT_EQ(document.Item(0)->Name(), "a");
    EXPECT_EQ(document.Item(1)->Name(), "deep");
    EXPECT_FALSE(document.Node("b"));
  }
  {
    SCOPED_TRACE("a million brackets");
    TqvnJSON document;
    document.Read(std::string(1000000, '['));
    EXPECT_TRUE(document.IsArray());
    EXPECT_EQ(Depth(document), limit);
    EXPECT_FALSE(document.Text().empty());
  }
  {
    SCOPED_TRACE("a million braces");
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "{\"a\":";
    TqvnJSON document;
    document.Read(text);
    EXPECT_EQ(document.Count(), 1);
  }
}

TEST(JSONReader, AddObjectAndAddArrayReadTheirText) {
  TqvnJSON document;
  IqvnObjectJSON object = document.AddObject("o", R"({"x":1,"y":[true]})");
  IqvnObjectJSON list = document.AddArray("l", "[1,2]");
  IqvnObjectJSON brokenList = document.AddArray("e", "1,2");
  EXPECT_EQ(object->JSONType(), qvnJSONObject);
  EXPECT_EQ(object->Count(), 2);
  EXPECT_EQ(list->JSONType(), qvnJSONList);
  EXPECT_TRUE(list->JSONObject()->IsArray());
  EXPECT_EQ(brokenList->Count(), 0);
  EXPECT_EQ(document.Text(), R"({"o":{"x":1,"y":[true]},"l":[1,2],"e":[]})");
}

}  // namespace
}  // namespace qvn::test
