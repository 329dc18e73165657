// One-pass rich-text parser. Every marker is an ASCII character, and no byte of a multi-byte
// UTF-8 sequence is ASCII, so the text is walked byte by byte: "previous" and "next" characters
// compare equal to a marker exactly when the bytes do.
#include "client/qvnTelegram_RichText.h"

#include <cstdint>

#include "client/qvnTelegram_RequestText.h"
#include "json/qvnBase_Helpers.h"

namespace qvn {
namespace {

// The UTF-16 length of a growing text, counting only what was appended since the last call.
class TUtf16Counter {
 public:
  int64_t LengthOf(const std::string& aText) {
    FUnits += static_cast<int64_t>(UTF16Length(std::string_view(aText).substr(FBytes)));
    FBytes = aText.size();
    return FUnits;
  }

 private:
  size_t FBytes = 0;
  int64_t FUnits = 0;
};

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

void ParseRichText(std::string_view aText, std::string& aPlainText, std::string& aEntities) {
  // Bytes that are not UTF-8 become U+FFFD first, as the request's escaping would make them.
  // Otherwise dropping a marker between two such bytes could join them into a character that
  // was never typed, and the entities would be counted against a different text than TDLib gets.
  const std::string text = ReplaceInvalidUTF8(aText);
  aPlainText.clear();
  aPlainText.reserve(text.size());

  char previous = '\0';
  char openMarker = '\0';  // '\0': no span open
  TUtf16Counter plainLength;
  int64_t spanStart = 0;

  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const std::string_view type = RichTextEntityType(c);
    if (type.empty()) {
      aPlainText += c;
    } else if (c == previous) {
      if (openMarker == '\0') {
        spanStart = plainLength.LengthOf(aPlainText);
        openMarker = c;
      } else if (openMarker == c) {
        AppendEntity(aEntities, spanStart, plainLength.LengthOf(aPlainText) - spanStart, type);
        openMarker = '\0';
      }
    } else {
      const bool nextIsSame = i + 1 < text.size() && text[i + 1] == c;
      if (c == openMarker && !nextIsSame) {
        aPlainText += c;
      }
    }
    previous = c;
  }
}

}  // namespace qvn
