// The writer: compact output, brackets, the string form and raw JSON values.
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "json/qvnJSON.h"

namespace qvn::test {
namespace {

TEST(JSONWriter, EmptyDocuments) {
  TqvnJSON object;
  EXPECT_EQ(object.Text(), "{}");
  TqvnJSON array;
  array.SetIsArray(true);
  EXPECT_EQ(array.Text(), "[]");
}

TEST(JSONWriter, MembersInOrderWithoutBlanks) {
  TqvnJSON document;
  document.AddPair("server", "1.2.3.4");
  document.AddPair("enable", true);
  document.AddPair("port", 443);
  document.AddObject("type")->JSONObject()->AddPair("secret", "ab");
  EXPECT_EQ(document.Text(),
            R"({"server":"1.2.3.4","enable":true,"port":443,"type":{"secret":"ab"}})");
}

TEST(JSONWriter, StringForms) {
  struct Case {
    const char* Name;
    std::string Value;
    std::string Printed;
  };
  const std::vector<Case> cases = {
      {"plain", "abc", R"({"k":"abc"})"},
      {"empty", "", R"({"k":""})"},
      {"begins with a quote", R"("already")", R"({"k":"already"})"},
      {"raw object", R"({"a":1})", R"({"k":{"a":1}})"},
      {"raw array", "[1,2]", R"({"k":[1,2]})"},
      {"brace later on", "a}", R"({"k":"a}"})"},
      {"not escaped by the writer", "a\"b", R"({"k":"a"b"})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TqvnJSON document;
    document.AddPair("k", c.Value);
    EXPECT_EQ(document.Text(), c.Printed);
  }
}

TEST(JSONWriter, NumbersAndNulls) {
  TqvnJSON document;
  document.AddPair("d", 1.5);
  document.AddPair("big", std::int64_t{-9007199254740993});
  document.AddPair("z");
  EXPECT_EQ(document.Text(), R"({"d":1.5,"big":-9007199254740993,"z":null})");
  // A number value holding a comma (a double printed under a comma locale) gets a point.
  document.Node("d")->SetValue(TqvnJSONValue("2,25"));
  EXPECT_EQ(document.Text(), R"({"d":2.25,"big":-9007199254740993,"z":null})");

  TqvnJSON array;
  array.SetIsArray(true);
  array.AddPair("");
  array.AddPair("x", 1);  // elements print without names
  EXPECT_EQ(array.Text(), "[null,1]");
}

// JSON cannot spell NaN or an infinity: such doubles print as null, members and elements alike.
TEST(JSONWriter, NonFiniteDoublesPrintNull) {
  TqvnJSON document;
  document.AddPair("nan", std::numeric_limits<double>::quiet_NaN());
  document.AddPair("inf", std::numeric_limits<double>::infinity());
  document.AddPair("-inf", -std::numeric_limits<double>::infinity());
  document.AddArray("list")->JSONObject()->AddPair("", std::numeric_limits<double>::quiet_NaN());
  document.AddPair("max", std::numeric_limits<double>::max());
  EXPECT_EQ(document.Text(),
            R"({"nan":null,"inf":null,"-inf":null,"list":[null],"max":1.7976931348623157e+308})");
}

TEST(JSONWriter, ListsPrintSquareBracketsAndNamelessElements) {
  TqvnJSON document;
  document.Read(R"({"a":{"l":[{"x":1},[true,null],"s"]}})");
  EXPECT_EQ(document.Text(), R"({"a":{"l":[{"x":1},[true,null],"s"]}})");
  // A list node prints its name even inside an array.
  TqvnJSON array;
  array.Read("[0]");
  array.AddArray("named", "[1]");
  EXPECT_EQ(array.Text(), R"([0,"named":[1]])");
  // A list member with an empty name keeps it.
  TqvnJSON object;
  object.Read(R"({"":[1],"o":{"":[]}})");
  EXPECT_EQ(object.Text(), R"({"":[1],"o":{"":[]}})");
}

TEST(JSONWriter, UndefinedNodesPrintNothingAndNoSecondComma) {
  TqvnJSON document;
  document.AddPair("a", 1);
  document.AddNode("u", TqvnJSONValue("x"), qvnJSONUndefined);
  document.AddPair("b", 2);
  EXPECT_EQ(document.Text(), R"({"a":1,"b":2})");
}

TEST(JSONWriter, ReadThenPrintDropsBlanksAndKeepsSpelling) {
  TqvnJSON document;
  document.Read(
      "{ \"@type\" : \"message\", \"text\" : \"a\\u00e9\\\"\" ,\n"
      "  \"id\" : +0012 , \"ok\" : TRUE, \"none\" : Null, \"list\" : [ 1 , 2 ] }");
  EXPECT_EQ(
      document.Text(),
      R"({"@type":"message","text":"a\u00e9\"","id":+0012,"ok":true,"none":null,"list":[1,2]})");
}

}  // namespace
}  // namespace qvn::test
