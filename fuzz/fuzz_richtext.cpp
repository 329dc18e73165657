// One fuzz input is one marked-up text for the rich-text parser. Checked for every input:
// - the plain text is the input without some of its marker characters, in order (bytes that
//   are not UTF-8 read as U+FFFD);
// - the entity list, put between brackets, is valid JSON: objects of a known type whose offset
//   and length (UTF-16 code units) lie inside the plain text, in order, without overlapping;
// - a text without marker characters comes back unchanged and without entities.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "client/qvnTelegram_RichText.h"
#include "json/qvnBase_Helpers.h"

namespace {

void Check(bool aCondition) {
  if (!aCondition) std::abort();
}

bool IsMarker(char aChar) { return !qvn::RichTextEntityType(aChar).empty(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
  const std::string_view input(reinterpret_cast<const char*>(aData), aSize);
  std::string plain = "left over";
  std::string entities;
  qvn::ParseRichText(input, plain, entities);
  // The input as the parser reads it: bytes that are not UTF-8 as U+FFFD.
  const std::string text = qvn::UnescapeJSONString(qvn::EscapeJSONString(input));

  // The plain text is a subsequence of the input that drops only marker characters.
  std::size_t at = 0;
  for (char c : text) {
    if (at < plain.size() && plain[at] == c) {
      ++at;
    } else {
      Check(IsMarker(c));
    }
  }
  Check(at == plain.size());

  const nlohmann::json list = nlohmann::json::parse("[" + entities + "]", nullptr, false);
  Check(!list.is_discarded());
  const std::int64_t plainLength = static_cast<std::int64_t>(qvn::UTF16Length(plain));
  std::int64_t previousEnd = 0;
  for (const nlohmann::json& entity : list) {
    Check(entity.is_object());
    Check(entity.value("@type", "") == "textEntity");
    const std::int64_t offset = entity.at("offset").get<std::int64_t>();
    const std::int64_t length = entity.at("length").get<std::int64_t>();
    Check(offset >= previousEnd && length >= 0 && offset + length <= plainLength);
    previousEnd = offset + length;
    const std::string type = entity.at("type").at("@type").get<std::string>();
    bool known = false;
    for (char marker : std::string_view("*_-~#")) known = known || qvn::RichTextEntityType(marker) == type;
    Check(known);
  }

  bool hasMarker = false;
  for (char c : text) hasMarker = hasMarker || IsMarker(c);
  if (!hasMarker) Check(plain == text && entities.empty());
  return 0;
}
