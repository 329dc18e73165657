// Inputs that once failed under the fuzzer (fuzz/fuzz_json.cpp), run through the same checks:
// read, print, read the print again, walk every value, unescape, Base64.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "json/qvnBase_Helpers.h"
#include "json/qvnJSON.h"

namespace qvn::test {
namespace {

void Walk(TqvnJSON& aDocument) {
  for (int i = 0; i < aDocument.Count(); ++i) {
    IqvnObjectJSON node = aDocument.Item(i);
    ASSERT_TRUE(node);
    EXPECT_TRUE(aDocument.Node(node->Name()));
    if (node->JSONType() == qvnJSONObject || node->JSONType() == qvnJSONList) {
      Walk(*node->JSONObject());
      continue;
    }
    TqvnJSONValue value = node->Value();
    try {
      value.AsInt64();
      value.AsBoolean();
    } catch (const EqvnConvertError&) {
    }
    if (node->JSONType() == qvnJSONString) {
      try {
        UnescapeJSONString(node->StoredText());
      } catch (const EqvnUnescapeError&) {
      }
    }
  }
}

TEST(JSONFuzzFindings, StayFixed) {
  struct Case {
    const char* Name;
    std::string Input;
  };
  const std::vector<Case> cases = {
      // An empty name compared with memcmp on a null pointer (undefined behaviour).
      {"empty names in an array", "[1,[2,{\"a\":TRUE}],-0.5e3]"},
      // A list member named "" printed without its name: "{[1]}" is not JSON.
      {"list member with an empty name", "{\"\":\t\t\t[1\t\t"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TqvnJSON document;
    document.Read(c.Input);
    const std::string printed = document.Text();
    Walk(document);
    TqvnJSON again;
    again.Read(printed);
    EXPECT_EQ(again.Text(), printed);
    try {
      EXPECT_LE(UnescapeJSONString(c.Input).size(), c.Input.size());
    } catch (const EqvnUnescapeError&) {
    }
    EXPECT_EQ(DecodeBase64(EncodeBase64(c.Input)), c.Input);
    DecodeBase64(c.Input);
  }
}

}  // namespace
}  // namespace qvn::test
