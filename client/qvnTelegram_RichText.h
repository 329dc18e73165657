// Rich-text markup: doubled marker characters around a span give it a format.
//
//   **bold**  __italic__  --strikethrough--  ~~underline~~  ##code##
//
// ParseRichText removes the markers in one pass and lists the formatted spans as TDLib
// "textEntity" objects. Offsets and lengths count UTF-16 code units of the plain text (a
// character outside the Basic Multilingual Plane counts 2), before any JSON escaping.
//
// Rules, per input character c, with "previous" being the character handled just before it:
//   - c is no marker: it is appended to the plain text.
//   - c is a marker equal to the previous character: with no span open a span of c opens; with
//     a span of c open it closes and one entity is appended; inside a span of another marker c
//     is dropped.
//   - c is a marker different from the previous character: it stays as ordinary text only inside
//     an open span of its own kind when the next character is not c; otherwise it is dropped.
// Spans never nest; a span still open at the end is dropped without an entity, its text kept.
//
// Pure function without state: callable from any thread. Used by the message requests.
#ifndef QVN_CLIENT_QVNTELEGRAM_RICHTEXT_H
#define QVN_CLIENT_QVNTELEGRAM_RICHTEXT_H

#include <string>
#include <string_view>

namespace qvn {

// The TDLib entity type name for a marker character, or an empty view for any other character.
std::string_view RichTextEntityType(char aMarker);

// Parses the UTF-8 marked-up aText; each byte that starts no well-formed UTF-8 sequence is read
// as U+FFFD, as the request's escaping sends it. aPlainText is replaced by the text without
// markers; the entity objects are appended to aEntities, joined by "," (a "," is put before
// each object whenever aEntities is not empty), without enclosing brackets. Never fails.
void ParseRichText(std::string_view aText, std::string& aPlainText, std::string& aEntities);

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_RICHTEXT_H
