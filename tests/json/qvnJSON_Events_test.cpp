// Real TDLib event texts: every line reads into a document with its "@type" and prints back
// exactly (TDLib writes compact JSON, so reading and printing loses nothing).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "json/qvnBase_Helpers.h"
#include "json/qvnJSON.h"
#include "tests/support/DataLines.h"

namespace qvn::test {
namespace {

std::vector<std::string> Lines(const std::string& aFile) {
  return NonEmptyLines(std::string(QVN_TEST_DATA_DIR) + "/" + aFile);
}

TEST(JSONEvents, ReadAndPrintBack) {
  for (const char* file : {"startup.jsonl", "messages-sample.jsonl"}) {
    const std::vector<std::string> lines = Lines(file);
    ASSERT_GT(lines.size(), 100u) << file;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      SCOPED_TRACE(std::string(file) + ":" + std::to_string(i + 1));
      TqvnJSON document;
      document.Read(lines[i]);
      IqvnObjectJSON type = document.Node("@type");
      ASSERT_TRUE(type);
      EXPECT_EQ(type->JSONType(), qvnJSONString);
      EXPECT_FALSE(type->Value().AsString().empty());
      EXPECT_EQ(document.Text(), lines[i]);
    }
  }
}

// Walks every string value of a document and decodes it, as the records do.
int UnescapeAll(TqvnJSON& aDocument) {
  int strings = 0;
  for (int i = 0; i < aDocument.Count(); ++i) {
    IqvnObjectJSON node = aDocument.Item(i);
    if (node->JSONType() == qvnJSONString) {
      UnescapeJSONString(node->StoredText());
      ++strings;
    } else if (node->JSONType() == qvnJSONObject || node->JSONType() == qvnJSONList) {
      strings += UnescapeAll(*node->JSONObject());
    }
  }
  return strings;
}

TEST(JSONEvents, EveryStringValueDecodes) {
  for (const char* file : {"startup.jsonl", "messages-sample.jsonl"}) {
    for (const std::string& line : Lines(file)) {
      SCOPED_TRACE(line.substr(0, 120));
      TqvnJSON document;
      document.Read(line);
      EXPECT_GT(UnescapeAll(document), 0);
    }
  }
}

TEST(JSONEvents, MessageFieldsReachable) {
  for (const std::string& line : Lines("messages-sample.jsonl")) {
    TqvnJSON document;
    document.Read(line);
    if (document.Node("@type")->Value().AsString() != "updateNewMessage") continue;
    SCOPED_TRACE(line.substr(0, 120));
    IqvnObjectJSON message = document.Node("message");
    ASSERT_TRUE(message);
    EXPECT_NE(message->Node("chat_id")->Value().AsInt64(), 0);
    EXPECT_TRUE(message->Node("content"));
  }
}

}  // namespace
}  // namespace qvn::test
