// Splitting a marked-up text into parts of bounded plain length (qvnTelegram_RichText.h states
// what the parts keep).
//
// A cut ends one part at character a and starts the next at character b (b > a when the
// whitespace between them is dropped). Each part parses as its stretch of the whole text does
// when no character beside the cut sees another neighbour than in the whole text:
//   - the two characters beside a cut are never a pair of equal markers (each would be lone);
//   - a span open at the cut is opened again by its doubled marker at the start of the next
//     part, which therefore must not begin with that marker (the three would be a longer run);
//     it is closed at the end of the one part, unless it never closes in the whole text, with
//     the same care; a part that ends with that marker leaves it open there instead, losing its
//     format in that part;
//   - inside a kept range neither piece may get a doubled marker at its new edge, which would
//     be read as markup there.
// Of the cuts within the limit the best is taken: the least given up (the tiers below), then
// the best place (a line break, other whitespace, anywhere), then the latest.
#include "client/qvnTelegram_RichTextSplit.h"

#include <algorithm>

#include "client/qvnTelegram_RichTextScan.h"

namespace qvn {
namespace {

using detail::TqvnRichTextChar;

constexpr size_t kNone = static_cast<size_t>(-1);
constexpr std::string_view kWhitespace = " \t\n\r\v\f";

enum ECutPlace { cpLineBreak, cpWhitespace, cpAnywhere };

// What a cut gives up, least first.
enum ECutTier {
  ctClean,
  ctSpanThatFits,  // cuts a span that would fit in one part
  ctFormatLost,    // the part before the cut loses its last span's format
  ctInsideRange,   // cuts a kept range longer than a part
  ctNone,          // not a cut that keeps the parts' plain texts
};

struct TCut {
  size_t End = 0;   // the character the part ends before
  size_t Next = 0;  // the character the next part starts with
  ECutTier Tier = ctNone;
  ECutPlace Place = cpAnywhere;
};

class TSplitter {
 public:
  TSplitter(std::string_view aText, size_t aMaxLength, const std::vector<TqvnTextRange>& aKeep)
      : FText(aText),
        FMaxLength(std::max<size_t>(aMaxLength, 1)),
        FChars(detail::ScanRichText(aText, aKeep).Chars) {
    Measure();
  }

  std::vector<TqvnRichTextPart> Parts() {
    std::vector<TqvnRichTextPart> parts;
    const size_t count = FChars.size();
    size_t start = 0;
    char carried = '\0';  // the span opened again at the start of the part
    while (!FitsFrom(start)) {
      const TCut cut = BestCut(start);
      const char open = OpenAt(cut.End);
      const bool closeHere = open != '\0' && FNextClosePlain[cut.End] != kNone &&
                             ByteAt(cut.End - 1) != open;
      parts.push_back(Part(start, cut.End, carried, closeHere ? open : '\0'));
      if (cut.End == count) return parts;
      carried = open;
      start = cut.Next;
      if (start == count) return parts;
    }
    parts.push_back(Part(start, count, carried, '\0'));
    return parts;
  }

 private:
  std::string_view FText;
  size_t FMaxLength;
  std::vector<TqvnRichTextChar> FChars;
  std::vector<size_t> FPlainAt;         // plain units before each character (and at the end)
  std::vector<size_t> FSpanOpenPlain;   // where the span open before each character began
  std::vector<size_t> FNextClosePlain;  // where the next span closes from there on, or kNone
  std::vector<size_t> FWhitespaceEnd;   // for a whitespace character, where its stretch ends
  std::vector<bool> FLineBreakAhead;    // ... and whether a line break is in it from there on

  void Measure() {
    const size_t count = FChars.size();
    FPlainAt.assign(count + 1, 0);
    FSpanOpenPlain.assign(count + 1, 0);
    for (size_t i = 0; i < count; ++i) {
      FPlainAt[i + 1] = FPlainAt[i] + FChars[i].Units;
      const bool opens = OpenAt(i) == '\0' && FChars[i].OpenAfter != '\0';
      FSpanOpenPlain[i + 1] = opens ? FPlainAt[i] : FSpanOpenPlain[i];
    }
    FNextClosePlain.assign(count + 1, kNone);
    FWhitespaceEnd.assign(count + 1, count);
    FLineBreakAhead.assign(count + 1, false);
    for (size_t i = count; i-- > 0;) {
      const bool closes = OpenAt(i) != '\0' && FChars[i].OpenAfter == '\0';
      FNextClosePlain[i] = closes ? FPlainAt[i] : FNextClosePlain[i + 1];
      if (IsWhitespace(i)) {
        FWhitespaceEnd[i] = IsWhitespace(i + 1) ? FWhitespaceEnd[i + 1] : i + 1;
        FLineBreakAhead[i] = ByteAt(i) == '\n' || (IsWhitespace(i + 1) && FLineBreakAhead[i + 1]);
      }
    }
  }

  // The character's one byte, or '\0' for a character of several bytes.
  char ByteAt(size_t aIndex) const {
    return FChars[aIndex].Bytes == 1 ? FText[FChars[aIndex].Offset] : '\0';
  }
  char MarkerAt(size_t aIndex) const {
    const char byte = ByteAt(aIndex);
    return detail::IsRichTextMarker(byte) ? byte : '\0';
  }
  // Whitespace outside the kept ranges, which a cut may drop.
  bool IsWhitespace(size_t aIndex) const {
    return aIndex < FChars.size() && !FChars[aIndex].InRange && ByteAt(aIndex) != '\0' &&
           kWhitespace.find(ByteAt(aIndex)) != std::string_view::npos;
  }
  char OpenAt(size_t aIndex) const { return aIndex == 0 ? '\0' : FChars[aIndex - 1].OpenAfter; }
  size_t ByteOffset(size_t aIndex) const {
    return aIndex == FChars.size() ? FText.size() : FChars[aIndex].Offset;
  }

  // True when the text from aStart on is the last part: its plain text fits, or it holds only
  // one character of plain text (wider than the limit).
  bool FitsFrom(size_t aStart) const {
    const size_t rest = FPlainAt.back() - FPlainAt[aStart];
    if (rest <= FMaxLength) return true;
    const size_t firstEnd = static_cast<size_t>(
        std::upper_bound(FPlainAt.begin() + aStart, FPlainAt.end(), FPlainAt[aStart]) -
        FPlainAt.begin());
    return FPlainAt[firstEnd] == FPlainAt.back();
  }

  TqvnRichTextPart Part(size_t aStart, size_t aEnd, char aReopen, char aClose) const {
    TqvnRichTextPart part;
    part.Offset = ByteOffset(aStart);
    part.Length = ByteOffset(aEnd) - part.Offset;
    part.PrefixBytes = aReopen == '\0' ? 0 : 2;
    part.Text.assign(part.PrefixBytes, aReopen);
    part.Text.append(FText.substr(part.Offset, part.Length));
    if (aClose != '\0') part.Text.append(2, aClose);
    return part;
  }

  ECutTier TierOf(size_t aEnd, size_t aNext) const {
    const size_t count = FChars.size();
    // Nothing but markup after the cut would make a part of no text.
    if (aNext < count && FPlainAt[aNext] == FPlainAt.back()) return ctNone;
    const TqvnRichTextChar& before = FChars[aEnd - 1];
    const bool atEnd = aEnd == count;
    if (aEnd == aNext && !atEnd) {
      const TqvnRichTextChar& after = FChars[aEnd];
      const char marker = MarkerAt(aEnd - 1);
      if (marker != '\0' && marker == MarkerAt(aEnd) && !before.Kept && !after.Kept) return ctNone;
    }
    ECutTier tier = ctClean;
    const char open = OpenAt(aEnd);
    const bool closes = open != '\0' && FNextClosePlain[aEnd] != kNone;
    if (closes && FNextClosePlain[aEnd] - FSpanOpenPlain[aEnd] <= FMaxLength) {
      tier = ctSpanThatFits;
    }
    if (closes && ByteAt(aEnd - 1) == open) tier = ctFormatLost;
    if (aEnd == aNext && !atEnd && before.InRange && FChars[aEnd].InRange) {
      if (!before.Kept || !FChars[aEnd].Kept) return ctNone;
      // The piece after the cut would begin with a pair, the one before it end with the
      // open span's pair: markup at a range's edge, not inside it.
      const char first = MarkerAt(aEnd);
      if (first != '\0' && aEnd + 1 < count && FChars[aEnd + 1].InRange &&
          MarkerAt(aEnd + 1) == first) {
        return ctNone;
      }
      if (open != '\0' && aEnd >= 2 && FChars[aEnd - 2].InRange && MarkerAt(aEnd - 1) == open &&
          MarkerAt(aEnd - 2) == open) {
        return ctNone;
      }
      tier = ctInsideRange;
    }
    if (open != '\0' && aNext < count && ByteAt(aNext) == open) return ctNone;
    return tier;
  }

  // The best cut of the part that starts at aStart (whose rest does not fit).
  TCut BestCut(size_t aStart) const {
    const size_t count = FChars.size();
    const size_t startPlain = FPlainAt[aStart];
    // The last character boundary within the limit; past the first character when that alone
    // is wider.
    size_t limit = static_cast<size_t>(
        std::upper_bound(FPlainAt.begin() + aStart, FPlainAt.end(), startPlain + FMaxLength) -
        FPlainAt.begin() - 1);
    if (FPlainAt[limit] == startPlain) {
      limit = static_cast<size_t>(std::upper_bound(FPlainAt.begin() + aStart, FPlainAt.end(),
                                                   FPlainAt[limit + 1]) -
                                  FPlainAt.begin() - 1);
    }
    TCut best;
    const auto consider = [&](size_t aEnd, size_t aNext, ECutPlace aPlace) {
      const ECutTier tier = TierOf(aEnd, aNext);
      if (tier < best.Tier || (tier == best.Tier && tier != ctNone && aPlace < best.Place)) {
        best = {aEnd, aNext, tier, aPlace};
      }
    };
    for (size_t end = limit; end > aStart && FPlainAt[end] > startPlain; --end) {
      if (IsWhitespace(end) && !IsWhitespace(end - 1)) {
        consider(end, FWhitespaceEnd[end], FLineBreakAhead[end] ? cpLineBreak : cpWhitespace);
      }
      consider(end, end, cpAnywhere);
      if (best.Tier == ctClean && best.Place == cpLineBreak) break;
    }
    if (best.Tier != ctNone) return best;
    // Every cut within the limit would change what the parts hold (limits of a few units, or
    // beside kept ranges with doubled markers): the first cut past it that keeps them, or none.
    for (size_t end = limit + 1; end < count; ++end) {
      const ECutTier tier = TierOf(end, end);
      if (tier != ctNone) return {end, end, tier, cpAnywhere};
    }
    return {count, count, ctClean, cpAnywhere};
  }
};

}  // namespace

std::vector<TqvnRichTextPart> SplitRichTextParts(std::string_view aText, size_t aMaxLength,
                                                 const std::vector<TqvnTextRange>& aKeep) {
  return TSplitter(aText, aMaxLength, aKeep).Parts();
}

std::vector<std::string> SplitRichText(std::string_view aText, size_t aMaxLength,
                                       const std::vector<TqvnTextRange>& aKeep) {
  std::vector<std::string> texts;
  for (TqvnRichTextPart& part : SplitRichTextParts(aText, aMaxLength, aKeep)) {
    texts.push_back(std::move(part.Text));
  }
  return texts;
}

}  // namespace qvn
