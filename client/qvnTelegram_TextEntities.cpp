// TDLib's recognised entities as byte ranges.
#include "client/qvnTelegram_TextEntities.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>

#include "client/qvnTelegram_Reading.h"
#include "client/qvnTelegram_RequestText.h"
#include "json/qvnJSON_Text.h"

namespace qvn {
namespace {

constexpr size_t kInsideCharacter = static_cast<size_t>(-1);

constexpr std::array<std::string_view, 6> kKeptTypes = {
    "textEntityTypeUrl",     "textEntityTypeEmailAddress", "textEntityTypeMention",
    "textEntityTypeHashtag", "textEntityTypeCashtag",      "textEntityTypeBotCommand"};

// The byte offset where each UTF-16 unit of aText begins (one more at the end: the text's
// size); kInsideCharacter for the second unit of a surrogate pair.
std::vector<size_t> UnitOffsets(std::string_view aText) {
  std::vector<size_t> offsets;
  offsets.reserve(aText.size() + 1);
  for (size_t i = 0; i < aText.size();) {
    offsets.push_back(i);
    if (static_cast<unsigned char>(aText[i]) < 0x80) {
      ++i;
      continue;
    }
    const detail::TqvnUTF8Char c = detail::DecodeUTF8(aText.substr(i));
    if (c.Valid && c.Code >= 0x10000) offsets.push_back(kInsideCharacter);
    i += static_cast<size_t>(c.Length);
  }
  offsets.push_back(aText.size());
  return offsets;
}

}  // namespace

std::string GetTextEntitiesRequest(std::string_view aText) {
  return FillTemplate(R"({"@type":"getTextEntities","text":"%s"})", {aText});
}

std::vector<TqvnTextRange> RecognizedTextRanges(std::string_view aText,
                                                const TqvnTelegramAnswer& aAnswer) {
  if (aAnswer.Kind != takAnswer || aAnswer.Type != "textEntities" || !aAnswer.Document) return {};
  const IqvnObjectJSON entities = NodeAt(*aAnswer.Document, {"entities"});
  if (!entities || entities->JSONType() != qvnJSONList) return {};
  const std::vector<size_t> offsets = UnitOffsets(aText);
  const int64_t units = static_cast<int64_t>(offsets.size()) - 1;
  std::vector<TqvnTextRange> ranges;
  try {
    for (int i = 0; i < entities->Count(); ++i) {
      const IqvnObjectJSON entity = entities->GetItem(i);
      const std::string type = PlainText(NodeAt(entity, {"type", "@type"}));
      if (std::find(kKeptTypes.begin(), kKeptTypes.end(), type) == kKeptTypes.end()) continue;
      const int64_t offset = Int64Of(NodeAt(entity, {"offset"}));
      const int64_t length = Int64Of(NodeAt(entity, {"length"}));
      if (offset < 0 || length <= 0 || offset >= units) continue;
      size_t begin = static_cast<size_t>(offset);
      size_t end = static_cast<size_t>(std::min(units, offset + std::min(length, units)));
      while (offsets[begin] == kInsideCharacter) --begin;
      while (offsets[end] == kInsideCharacter) ++end;
      ranges.push_back({offsets[begin], offsets[end] - offsets[begin]});
    }
  } catch (const std::exception&) {
    return {};  // a member that is no number: not TDLib's answer
  }
  return ranges;
}

}  // namespace qvn
