// The rich-text parser: the plain text and the entities of one scan (qvnTelegram_RichTextScan.h).
#include "client/qvnTelegram_RichText.h"

#include <cstdint>

#include "client/qvnTelegram_RequestText.h"
#include "client/qvnTelegram_RichTextScan.h"

namespace qvn {
namespace {

// Adds one textEntity to the comma-separated entity list.
void AppendEntity(std::string& aEntities, int64_t aOffset, int64_t aLength,
                  std::string_view aType) {
  if (!aEntities.empty()) aEntities += ',';
  aEntities += FillTemplate(
      R"({"@type": "textEntity", "offset": %d, "length": %d, "type": {"@type": "%s"}})",
      {aOffset, aLength, aType});
}

}  // namespace

std::string_view RichTextEntityType(char aMarker) {
  switch (aMarker) {
    case '*':
      return "textEntityTypeBold";
    case '_':
      return "textEntityTypeItalic";
    case '-':
      return "textEntityTypeStrikethrough";
    case '~':
      return "textEntityTypeUnderline";
    case '#':
      return "textEntityTypeCode";
    default:
      return {};
  }
}

void ParseRichText(std::string_view aText, const std::vector<TqvnTextRange>& aKeep,
                   std::string& aPlainText, std::string& aEntities) {
  const detail::TqvnRichTextScan scan = detail::ScanRichText(aText, aKeep);
  aPlainText.clear();
  aPlainText.reserve(aText.size());
  int64_t plainLength = 0;  // UTF-16 units
  int64_t spanStart = 0;
  char open = '\0';
  for (const detail::TqvnRichTextChar& c : scan.Chars) {
    if (c.Units > 0) {
      // A byte that is not UTF-8 becomes U+FFFD, as the request's escaping would make it, so
      // the entities count against the text TDLib gets.
      aPlainText.append(c.Valid ? aText.substr(c.Offset, c.Bytes) : "\xEF\xBF\xBD");
      plainLength += c.Units;
    }
    if (c.OpenAfter == open) continue;
    if (open == '\0') {
      spanStart = plainLength;
    } else {
      AppendEntity(aEntities, spanStart, plainLength - spanStart, RichTextEntityType(open));
    }
    open = c.OpenAfter;
  }
}

void ParseRichText(std::string_view aText, std::string& aPlainText, std::string& aEntities) {
  ParseRichText(aText, {}, aPlainText, aEntities);
}

}  // namespace qvn
