// One fuzz input is one marked-up text for the rich-text parser and splitter, read twice: as it
// is, and with kept ranges over its words that hold "@", ".", "/", "$" or "#" (as TDLib's links,
// mentions and tags would be). Checked for every input:
// - the plain text is the input without some of its marker characters, in order (bytes that
//   are not UTF-8 read as U+FFFD), and with kept ranges each range's text between its first
//   and last character that is no marker is in it as it was;
// - the entity list, put between brackets, is valid JSON: objects of a known type whose offset
//   and length (UTF-16 code units) lie inside the plain text, in order, without overlapping;
// - a text without two equal markers side by side comes back unchanged and without entities;
// - split at limits from 1 to 64 units, each part is the text's next stretch (with two equal
//   markers before it and after it at most), parses (with the kept ranges inside it) to at most
//   the limit (or to one character wider than it, or to more only below 4 units or when a kept
//   range holds two equal markers side by side), and the parts' plain texts, joined with the whitespace dropped
//   between them, are the whole plain text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "client/qvnTelegram_RichText.h"
#include "client/qvnTelegram_RichTextSplit.h"
#include "json/qvnBase_Helpers.h"

namespace {

constexpr std::string_view kWhitespace = " \t\n\r\v\f";

void Check(bool aCondition) {
  if (!aCondition) std::abort();
}

bool IsMarker(char aChar) { return !qvn::RichTextEntityType(aChar).empty(); }

std::string PlainOf(std::string_view aText, const std::vector<qvn::TqvnTextRange>& aKeep,
                    std::string* aEntities = nullptr) {
  std::string plain = "left over";
  std::string entities;
  qvn::ParseRichText(aText, aKeep, plain, entities);
  if (aEntities != nullptr) *aEntities = entities;
  return plain;
}

// The words (between ASCII whitespace) that hold a character TDLib's entities begin or hold.
std::vector<qvn::TqvnTextRange> WordRanges(std::string_view aText) {
  std::vector<qvn::TqvnTextRange> ranges;
  size_t begin = 0;
  while (begin < aText.size()) {
    const size_t end = std::min(aText.find_first_of(kWhitespace, begin), aText.size());
    if (aText.substr(begin, end - begin).find_first_of("@./$#") != std::string_view::npos) {
      ranges.push_back({begin, end - begin});
    }
    begin = end + 1;
  }
  return ranges;
}

// True when a range of aKeep holds two equal markers side by side.
bool RangesHoldPairs(std::string_view aInput, const std::vector<qvn::TqvnTextRange>& aKeep) {
  for (const qvn::TqvnTextRange& range : aKeep) {
    const std::string_view text = aInput.substr(range.Offset, range.Length);
    for (size_t i = 1; i < text.size(); ++i) {
      if (IsMarker(text[i]) && text[i - 1] == text[i]) return true;
    }
  }
  return false;
}

void CheckEntities(const std::string& aEntities, const std::string& aPlain) {
  const nlohmann::json list = nlohmann::json::parse("[" + aEntities + "]", nullptr, false);
  Check(!list.is_discarded());
  const std::int64_t plainLength = static_cast<std::int64_t>(qvn::UTF16Length(aPlain));
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
    for (char marker : std::string_view("*_-~#")) {
      known = known || qvn::RichTextEntityType(marker) == type;
    }
    Check(known);
  }
}

// aPlain is aText (bytes that are not UTF-8 as U+FFFD) without some of its markers.
void CheckDropsOnlyMarkers(const std::string& aText, const std::string& aPlain) {
  std::size_t at = 0;
  for (char c : aText) {
    if (at < aPlain.size() && aPlain[at] == c) {
      ++at;
    } else {
      Check(IsMarker(c));
    }
  }
  Check(at == aPlain.size());
}

void CheckParts(std::string_view aInput, size_t aMaxLength,
                const std::vector<qvn::TqvnTextRange>& aKeep, const std::string& aWholePlain) {
  const std::vector<qvn::TqvnRichTextPart> parts = qvn::SplitRichTextParts(aInput, aMaxLength, aKeep);
  const std::vector<std::string> texts = qvn::SplitRichText(aInput, aMaxLength, aKeep);
  Check(!parts.empty() && parts.size() == texts.size());
  std::string joined;
  size_t at = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    const qvn::TqvnRichTextPart& part = parts[i];
    Check(texts[i] == part.Text);
    Check(part.Offset >= at && part.Offset + part.Length <= aInput.size());
    const std::string_view gap = aInput.substr(at, part.Offset - at);
    Check(gap.find_first_not_of(kWhitespace) == std::string_view::npos);
    // Two equal markers at most around the text's stretch.
    const std::string_view text = part.Text;
    Check(part.PrefixBytes == 0 || (part.PrefixBytes == 2 && IsMarker(text[0]) && text[1] == text[0]));
    Check(text.substr(part.PrefixBytes, part.Length) == aInput.substr(part.Offset, part.Length));
    const size_t suffix = text.size() - part.PrefixBytes - part.Length;
    Check(suffix == 0 || (suffix == 2 && IsMarker(text.back()) && text[text.size() - 2] == text.back()));

    std::vector<qvn::TqvnTextRange> inside;
    for (const qvn::TqvnTextRange& range : aKeep) {
      const size_t begin = std::max(range.Offset, part.Offset);
      const size_t end = std::min(range.Offset + range.Length, part.Offset + part.Length);
      if (begin < end) inside.push_back({begin - part.Offset + part.PrefixBytes, end - begin});
    }
    const std::string plain = PlainOf(text, inside);
    const size_t length = qvn::UTF16Length(plain);
    Check(length <= aMaxLength || (plain.size() == 4 && length == 2) || aMaxLength < 4 ||
          RangesHoldPairs(aInput, aKeep));
    joined.append(gap);
    joined += plain;
    at = part.Offset + part.Length;
  }
  const std::string_view tail = aInput.substr(at);
  Check(tail.find_first_not_of(kWhitespace) == std::string_view::npos);
  joined.append(tail);
  Check(joined == aWholePlain);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
  const std::string_view input(reinterpret_cast<const char*>(aData), aSize);
  // The input as the parser reads it: bytes that are not UTF-8 as U+FFFD.
  const std::string text = qvn::ReplaceInvalidUTF8(input);
  const std::vector<qvn::TqvnTextRange> words = WordRanges(input);

  std::string entities;
  const std::string plain = PlainOf(input, {}, &entities);
  CheckDropsOnlyMarkers(text, plain);
  CheckEntities(entities, plain);
  bool hasPair = false;
  for (size_t i = 1; i < text.size(); ++i) hasPair = hasPair || (IsMarker(text[i]) && text[i - 1] == text[i]);
  if (!hasPair) Check(plain == text && entities.empty());

  const std::string kept = PlainOf(input, words, &entities);
  CheckDropsOnlyMarkers(text, kept);
  CheckEntities(entities, kept);
  for (const qvn::TqvnTextRange& word : words) {
    const std::string wordText = qvn::ReplaceInvalidUTF8(input.substr(word.Offset, word.Length));
    const size_t first = std::find_if(wordText.begin(), wordText.end(),
                                      [](char c) { return !IsMarker(c); }) - wordText.begin();
    const size_t last = wordText.find_last_not_of("*_-~#");
    if (first <= last && last != std::string::npos) {
      Check(kept.find(wordText.substr(first, last + 1 - first)) != std::string::npos);
    }
  }

  for (size_t maxLength : {1, 2, 3, 5, 8, 64}) {
    CheckParts(input, maxLength, {}, plain);
    CheckParts(input, maxLength, words, kept);
  }
  return 0;
}
