// The rich-text scan. Every marker is an ASCII character and no byte of a multi-byte UTF-8
// sequence is ASCII, so a character is a given marker exactly when its one byte is.
#include "client/qvnTelegram_RichTextScan.h"

#include <algorithm>

#include "json/qvnJSON_Text.h"

namespace qvn::detail {
namespace {

// A kept range in characters: [Begin, End).
struct TCharRange {
  size_t Begin;
  size_t End;
};

std::vector<TqvnRichTextChar> Characters(std::string_view aText) {
  std::vector<TqvnRichTextChar> chars;
  chars.reserve(aText.size());
  for (size_t i = 0; i < aText.size();) {
    TqvnRichTextChar c;
    c.Offset = i;
    c.Bytes = 1;
    c.Units = 1;
    if (static_cast<unsigned char>(aText[i]) >= 0x80) {
      const TqvnUTF8Char decoded = DecodeUTF8(aText.substr(i));
      c.Bytes = static_cast<uint8_t>(decoded.Length);
      c.Valid = decoded.Valid;
      c.Units = decoded.Valid && decoded.Code >= 0x10000 ? 2 : 1;
    }
    i += c.Bytes;
    chars.push_back(c);
  }
  return chars;
}

// aKeep in characters: clipped to the text, widened to whole characters, sorted, and merged
// where they overlap or touch.
std::vector<TCharRange> CharRanges(const std::vector<TqvnRichTextChar>& aChars, size_t aTextSize,
                                   const std::vector<TqvnTextRange>& aKeep) {
  // The character holding byte aByte (< aTextSize).
  const auto charAt = [&](size_t aByte) {
    const auto after = std::upper_bound(
        aChars.begin(), aChars.end(), aByte,
        [](size_t aValue, const TqvnRichTextChar& aChar) { return aValue < aChar.Offset; });
    return static_cast<size_t>(after - aChars.begin()) - 1;
  };
  std::vector<TCharRange> ranges;
  for (const TqvnTextRange& range : aKeep) {
    if (range.Length == 0 || range.Offset >= aTextSize) continue;
    const size_t lastByte = range.Offset + std::min(range.Length, aTextSize - range.Offset) - 1;
    ranges.push_back({charAt(range.Offset), charAt(lastByte) + 1});
  }
  std::sort(ranges.begin(), ranges.end(),
            [](const TCharRange& a, const TCharRange& b) { return a.Begin < b.Begin; });
  std::vector<TCharRange> merged;
  for (const TCharRange& range : ranges) {
    if (!merged.empty() && range.Begin <= merged.back().End) {
      merged.back().End = std::max(merged.back().End, range.End);
    } else {
      merged.push_back(range);
    }
  }
  return merged;
}

class TScanner {
 public:
  TScanner(std::string_view aText, std::vector<TqvnRichTextChar>& aChars)
      : FText(aText), FChars(aChars) {}

  // The marker character aIndex is, or '\0'.
  char MarkerAt(size_t aIndex) const {
    const TqvnRichTextChar& c = FChars[aIndex];
    const char byte = FText[c.Offset];
    return c.Bytes == 1 && IsRichTextMarker(byte) ? byte : '\0';
  }

  // Where the kept part of aRange begins: after a run of one marker at its start that holds a
  // pair, or whose first character pairs with the character before the range (aPreviousEnd:
  // where the range before it ends).
  size_t KeptBegin(const TCharRange& aRange, size_t aPreviousEnd) const {
    const char marker = MarkerAt(aRange.Begin);
    if (marker == '\0') return aRange.Begin;
    const bool pairsBefore = aRange.Begin > aPreviousEnd && MarkerAt(aRange.Begin - 1) == marker;
    const bool pairsInside = aRange.Begin + 1 < aRange.End && MarkerAt(aRange.Begin + 1) == marker;
    if (!pairsBefore && !pairsInside) return aRange.Begin;
    size_t begin = aRange.Begin;
    while (begin < aRange.End && MarkerAt(begin) == marker) ++begin;
    return begin;
  }

  // Reads character aIndex with the span aOpen open before it; returns the span open after it.
  char Read(size_t aIndex, char aOpen) {
    TqvnRichTextChar& c = FChars[aIndex];
    const char marker = c.Kept ? '\0' : MarkerAt(aIndex);
    if (marker == '\0') return aOpen;
    const bool previousIsSame =
        aIndex > 0 && !FChars[aIndex - 1].Kept && MarkerAt(aIndex - 1) == marker;
    const bool nextIsSame =
        aIndex + 1 < FChars.size() && !FChars[aIndex + 1].Kept && MarkerAt(aIndex + 1) == marker;
    if (!previousIsSame && !nextIsSame) return aOpen;  // a lone marker: text
    c.Units = 0;
    if (!previousIsSame) return aOpen;
    if (aOpen == '\0') return marker;
    return aOpen == marker ? '\0' : aOpen;
  }

 private:
  std::string_view FText;
  std::vector<TqvnRichTextChar>& FChars;
};

}  // namespace

bool IsRichTextMarker(char aChar) {
  return aChar == '*' || aChar == '_' || aChar == '-' || aChar == '~' || aChar == '#';
}

TqvnRichTextScan ScanRichText(std::string_view aText, const std::vector<TqvnTextRange>& aKeep) {
  TqvnRichTextScan scan;
  scan.Chars = Characters(aText);
  std::vector<TqvnRichTextChar>& chars = scan.Chars;
  const std::vector<TCharRange> ranges = CharRanges(chars, aText.size(), aKeep);
  TScanner scanner(aText, chars);

  // Each range's kept part begins after its leading markup; its end waits for the span open
  // there.
  std::vector<size_t> keptBegins;
  size_t previousEnd = 0;
  for (const TCharRange& range : ranges) {
    const size_t end = range.End == chars.size() ? aText.size() : chars[range.End].Offset;
    scan.Ranges.push_back({chars[range.Begin].Offset, end - chars[range.Begin].Offset});
    for (size_t i = range.Begin; i < range.End; ++i) chars[i].InRange = true;
    keptBegins.push_back(scanner.KeptBegin(range, previousEnd));
    for (size_t i = keptBegins.back(); i < range.End; ++i) chars[i].Kept = true;
    previousEnd = range.End;
  }

  char open = '\0';
  size_t next = 0;  // the first range whose kept part has not begun
  for (size_t i = 0; i < chars.size(); ++i) {
    while (next < ranges.size() && keptBegins[next] <= i) {
      const TCharRange& range = ranges[next];
      // Its last two characters close the span open where it begins.
      if (keptBegins[next] == i && open != '\0' && range.End - i >= 2 &&
          scanner.MarkerAt(range.End - 1) == open && scanner.MarkerAt(range.End - 2) == open) {
        chars[range.End - 1].Kept = false;
        chars[range.End - 2].Kept = false;
      }
      ++next;
    }
    open = scanner.Read(i, open);
    chars[i].OpenAfter = open;
  }
  return scan;
}

}  // namespace qvn::detail
