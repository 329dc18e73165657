// Rich-text markup: doubled marker characters around a span give it a format.
//
//   **bold**  __italic__  --strikethrough--  ~~underline~~  ##code##
//
// ParseRichText removes the markers in one pass and lists the formatted spans as TDLib
// "textEntity" objects. Offsets and lengths count UTF-16 code units of the plain text (a
// character outside the Basic Multilingual Plane counts 2), before any JSON escaping.
//
// Rules, per input character c, with "previous" and "next" being the characters just before and
// after it:
//   - c is no marker, or lies inside a kept range (below): it is appended to the plain text.
//   - c is a lone marker (neither previous nor next is c): it is appended to the plain text, so
//     "e-mail", "snake_case", "C#" and "3*4" stay as typed.
//   - c is a marker equal to the previous character: with no span open a span of c opens; with
//     a span of c open it closes and one entity is appended; inside a span of another marker c
//     is dropped.
//   - c is a marker different from the previous character and equal to the next one: it is
//     dropped (the next one does what the pair means).
// Spans never nest; a span still open at the end is dropped without an entity, its text kept.
// A run of n equal markers acts n - 1 times: "***x" opens and closes an empty span.
//
// Kept ranges are byte ranges of the marked-up text that hold something TDLib recognises (a
// link, an e-mail address, a mention, a hashtag, a cashtag, a bot command: the client's
// RecognizedEntities finds them), whose characters are all plain text, markers included, so
// "https://a--b.org/x__y" and "@john_doe" are never changed. Where a range meets the markup:
//   - a run of one marker at its start that holds a pair (or whose first character pairs with
//     the character before the range) is markup, as anywhere else: "##x.org##" is code "x.org"
//     though TDLib reads the hashtag "#x" in it, "**jo@x.org**" bold though TDLib reads a link
//     "**jo@x.org";
//   - its last two characters are markup when they are the doubled marker of the span open
//     where the range begins: "**x.org/a_b**" is bold "x.org/a_b", while "x.org/a__" alone
//     keeps its "__";
//   - a character just outside a range never pairs with one inside it.
// Ranges may come in any order, overlap or reach past the text; they are clipped, widened to
// whole characters and merged.
//
// SplitRichText cuts a marked-up text too long for one message into parts that parse
// (with the kept ranges inside each) to the same plain text, part after part:
//   - each part's plain text is at most aMaxLength UTF-16 units, with two exceptions: a part
//     holds at least one character, so a character wider than aMaxLength (a surrogate pair for
//     1) is a part alone; and where every cut within the limit would change the text (limits
//     below 4, or beside a kept range that holds a doubled marker) the part runs on to the
//     first cut that does not;
//   - a cut falls, in this order of preference, at a stretch of whitespace holding a line break,
//     at any other stretch of whitespace, or between any two characters, as late as the limit
//     allows; the whitespace stretch at a cut is dropped (TDLib would trim it from either
//     message anyway), nothing else is: the parts' plain texts, joined with the dropped
//     stretches between them, are the whole plain text;
//   - never inside a UTF-8 character or a surrogate pair, never between two equal markers,
//     never inside a formatted span that fits in one part, and never inside a kept range unless
//     the range alone is longer than aMaxLength;
//   - a span longer than aMaxLength is cut, closed with its markers at the end of the one part
//     and opened again at the start of the next, so both pieces keep its format; where a lone
//     marker of the span's kind ends the part, the piece before the cut loses the format rather
//     than a character;
//   - a text whose plain text fits is one part, unchanged.
// The parts are measured with the ranges given; TDLib recognises the same entities in a part as
// in the whole text when the part holds them whole, which the cuts ensure.
//
// Pure functions without state: callable from any thread. Used by the message requests and the
// window.
#ifndef QVN_CLIENT_QVNTELEGRAM_RICHTEXT_H
#define QVN_CLIENT_QVNTELEGRAM_RICHTEXT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qvn {

// A byte range of a marked-up UTF-8 text.
struct TqvnTextRange {
  size_t Offset;
  size_t Length;
  bool operator==(const TqvnTextRange&) const = default;
};

// The TDLib entity type name for a marker character, or an empty view for any other character.
std::string_view RichTextEntityType(char aMarker);

// Parses the UTF-8 marked-up aText, keeping the characters of aKeep as they are; each byte that
// starts no well-formed UTF-8 sequence is read as U+FFFD, as the request's escaping sends it.
// aPlainText is replaced by the text without markers; the entity objects are appended to
// aEntities, joined by "," (a "," is put before each object whenever aEntities is not empty),
// without enclosing brackets. Never fails.
void ParseRichText(std::string_view aText, const std::vector<TqvnTextRange>& aKeep,
                   std::string& aPlainText, std::string& aEntities);
// The same without kept ranges.
void ParseRichText(std::string_view aText, std::string& aPlainText, std::string& aEntities);

// The parts of aText, in order, each at most aMaxLength UTF-16 units of plain text (0 counts as
// 1); see above. An empty text is one empty part.
std::vector<std::string> SplitRichText(std::string_view aText, size_t aMaxLength,
                                       const std::vector<TqvnTextRange>& aKeep = {});

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_RICHTEXT_H
