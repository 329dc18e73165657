// The reader: TqvnJSON::Read. A lenient single-pass scanner over one shared position; it never
// raises and never reports failure. Every step returns success; a failing object or array puts
// the position back where it began, keeps what it read and makes its parents fail in turn.
//
// The text is copied once into the document's memory region; names and values are views into
// that copy (strings keep their escape sequences). Nodes of a container are collected on a
// scratch stack and moved into the container's list when it ends, whether it ended well or not.
#include <cstring>
#include <memory>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "json/qvnJSON.h"
#include "json/qvnJSON_Arena.h"
#include "json/qvnJSON_Text.h"

namespace qvn {
namespace detail {

class TqvnJSONReader {
 public:
  TqvnJSONReader(std::string_view aText, TqvnJSONArena& aArena,
                 std::vector<TqvnObjectJSON*>& aScratch)
      : fText(aText.data()), fSize(aText.size()), fArena(aArena), fScratch(aScratch) {}

  void ReadDocument(TqvnJSON& aDocument) {
    if (fSize != 0 && fText[0] == '[') {
      aDocument.fIsArray = true;
      ParseArray(aDocument);
    } else {
      ParseObject(aDocument);
    }
  }

 private:
  // The member being read: name, type and value (always text).
  struct Pending {
    std::string_view name;
    TqvnJSONtype type = qvnJSONUndefined;
    std::string_view value;
  };

  bool AtEnd() const { return fPos >= fSize; }

  static bool IsBlank(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f';
  }

  // Blanks (tab, line feed, form feed, carriage return, space) and "#" comments up to, not past,
  // the next line feed.
  void SkipWhitespace() {
    while (fPos < fSize) {
      const char c = fText[fPos];
      if (IsBlank(c)) {
        ++fPos;
      } else if (c == '#') {
        const void* lf = std::memchr(fText + fPos, '\n', fSize - fPos);
        fPos =
            lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - fText) : fSize;
      } else {
        return;
      }
    }
  }

  bool ParseObject(TqvnJSON& aDocument) { return ParseContainer(aDocument, '{', '}', true); }
  bool ParseArray(TqvnJSON& aDocument) { return ParseContainer(aDocument, '[', ']', false); }

  // An object (members: a name, a colon and a value) or an array (elements: a value). The comma
  // after a member or element is optional, and one may stand before the closing bracket.
  bool ParseContainer(TqvnJSON& aDocument, char aOpen, char aClose, bool aMembers) {
    const std::size_t start = fPos;
    SkipWhitespace();
    // Not a container: fail, leaving the position after the blanks.
    if (AtEnd() || fText[fPos] != aOpen) return false;
    ++fPos;
    const std::size_t base = fScratch.size();
    ++fDepth;
    bool closed = false;
    while (!AtEnd()) {
      SkipWhitespace();
      if (!AtEnd() && fText[fPos] == aClose) {
        ++fPos;
        closed = true;
        break;
      }
      Pending pending;
      if (aMembers) {
        if (!ParseString(pending.name)) break;
        SkipWhitespace();
        if (AtEnd() || fText[fPos] != ':') break;
        ++fPos;
        SkipWhitespace();
      }
      if (!ParseValue(pending)) break;
      AddPendingNode(pending);
      SkipWhitespace();
      if (!AtEnd() && fText[fPos] == ',') ++fPos;
    }
    --fDepth;
    MoveInto(aDocument, base);
    if (!closed) fPos = start;
    return closed;
  }

  bool ParseValue(Pending& aPending) {
    SkipWhitespace();
    if (AtEnd()) return false;
    const std::size_t start = fPos;
    switch (fText[fPos]) {
      case '"': {
        aPending.type = qvnJSONString;
        const bool ok = ParseString(aPending.value);
        if (!ok) aPending.value = {};
        return ok;
      }
      case '+':
      case '-':
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9': {
        aPending.type = qvnJSONNumber;
        const bool ok = ParseNumber();
        aPending.value = std::string_view(fText + start, fPos - start);
        return ok;
      }
      case 't':
      case 'T':
        aPending.type = qvnJSONBoolean;
        aPending.value = "true";
        return ParseWord("true");
      case 'f':
      case 'F':
        aPending.type = qvnJSONBoolean;
        aPending.value = "false";
        return ParseWord("false");
      case 'n':
      case 'N':
        aPending.type = qvnJSONNull;
        aPending.value = "null";
        return ParseWord("null");
      case '[':
        aPending.type = qvnJSONList;
        return ReadContainerNode(aPending, true);
      case '{':
        aPending.type = qvnJSONObject;
        return ReadContainerNode(aPending, false);
      default:
        return false;
    }
  }

  // The word in any letter case; the position moves on by its length whether it matched or not.
  bool ParseWord(std::string_view aLowerWord) {
    const std::size_t available = fSize - fPos;
    bool match = available >= aLowerWord.size();
    for (std::size_t i = 0; match && i < aLowerWord.size(); ++i) {
      match = AsciiLower(fText[fPos + i]) == aLowerWord[i];
    }
    fPos += aLowerWord.size() < available ? aLowerWord.size() : available;
    return match;
  }

  // The text between a pair of double quotes, escape sequences left in place. A quote after a
  // backslash ends the string only when "}", "]" or "," follows it.
  bool ParseString(std::string_view& aContent) {
    const std::size_t start = fPos;
    SkipWhitespace();
    if (AtEnd()) return false;
    if (fText[fPos] != '"') {
      fPos = start;
      return false;
    }
    const std::size_t contentStart = fPos + 1;
    std::size_t pos = contentStart;
    for (;;) {
      pos = SkipPlain(pos);
      if (pos >= fSize) break;
      if (fText[pos] == '"') {
        if (fText[pos - 1] != '\\' || ClosesAfterBackslash(pos + 1)) {
          aContent = std::string_view(fText + contentStart, pos - contentStart);
          fPos = pos + 1;
          return true;
        }
        // The quote belongs to the string; the code unit after it is skipped unseen.
        ++pos;
      }
      if (!SkipChar(pos)) break;
    }
    fPos = start;
    return false;
  }

  // Whether the code unit at aPos is one of "}", "]" and "," (none at the end of the text).
  bool ClosesAfterBackslash(std::size_t aPos) const {
    return aPos < fSize && (fText[aPos] == '}' || fText[aPos] == ']' || fText[aPos] == ',');
  }

  // The position of the first quote or backslash at or after aPos (or the end).
  std::size_t SkipPlain(std::size_t aPos) const {
#ifdef __SSE2__
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    while (aPos + 16 <= fSize) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fText + aPos));
      const int mask = _mm_movemask_epi8(
          _mm_or_si128(_mm_cmpeq_epi8(chunk, quote), _mm_cmpeq_epi8(chunk, backslash)));
      if (mask != 0) return aPos + static_cast<std::size_t>(__builtin_ctz(mask));
      aPos += 16;
    }
#endif
    while (aPos < fSize && fText[aPos] != '"' && fText[aPos] != '\\') ++aPos;
    return aPos;
  }

  // One character, or one escape sequence: a backslash and the next character, or a backslash,
  // "u" and 4 more UTF-16 code units (hexadecimal or not). Moves aPos only on success.
  bool SkipChar(std::size_t& aPos) const {
    if (aPos >= fSize) return false;
    if (fText[aPos] != '\\') {
      ++aPos;
      return true;
    }
    if (aPos + 1 >= fSize) return false;
    if (fText[aPos + 1] != 'u') {
      aPos += 2;
      return true;
    }
    std::size_t p = aPos + 2;
    int units = 0;
    while (units < 4) {
      if (p >= fSize) return false;
      if (static_cast<unsigned char>(fText[p]) < 0x80) {
        ++p;
        ++units;
      } else {
        TqvnUTF8Char ch = DecodeUTF8(std::string_view(fText + p, fSize - p));
        p += ch.length;
        units += ch.code >= 0x10000 ? 2 : 1;
      }
    }
    aPos = p;
    return true;
  }

  bool ParseDigits() {
    const std::size_t from = fPos;
    while (fPos < fSize && fText[fPos] >= '0' && fText[fPos] <= '9') ++fPos;
    return fPos > from;
  }

  // An optional sign, digits, an optional fraction and an optional exponent, each part with
  // at least one digit. Leading zeros and "+" are accepted.
  bool ParseNumber() {
    const std::size_t start = fPos;
    SkipWhitespace();
    if (AtEnd()) return false;
    if (fText[fPos] == '+' || fText[fPos] == '-') ++fPos;
    if (!ParseDigits()) return false;
    if (!AtEnd() && fText[fPos] == '.') {
      ++fPos;
      if (!ParseDigits()) {
        fPos = start;
        return false;
      }
    }
    if (!AtEnd() && (fText[fPos] == 'e' || fText[fPos] == 'E')) {
      ++fPos;
      if (!AtEnd() && (fText[fPos] == '+' || fText[fPos] == '-')) ++fPos;
      if (!ParseDigits()) {
        fPos = start;
        return false;
      }
    }
    return true;
  }

  // An object or array member: its node is created at once, its child document reads the
  // container from the same position, and the node is kept whatever the child's result.
  bool ReadContainerNode(Pending& aPending, bool aList) {
    if (fDepth >= TqvnJSON::kMaxDepth) return false;
    TqvnObjectJSON* node = fArena.NewNode();
    node->fName = aPending.name;
    node->fType = aList ? qvnJSONList : qvnJSONObject;
    TqvnJSON* child = fArena.NewDocument();
    node->fChild = child;
    const bool ok = aList ? ParseArray(*child) : ParseObject(*child);
    fScratch.push_back(node);
    aPending.name = {};
    return ok;
  }

  void AddPendingNode(Pending& aPending) {
    if (aPending.type == qvnJSONObject || aPending.type == qvnJSONList) return;
    TqvnObjectJSON* node = fArena.NewNode();
    node->fName = aPending.name;
    node->fType = aPending.type;
    node->fValue.kind = jvText;
    node->fValue.text = aPending.value.data();
    node->fValue.textSize = aPending.value.size();
    fScratch.push_back(node);
    aPending.name = {};
  }

  // Moves the nodes collected since aBase into aDocument's list.
  void MoveInto(TqvnJSON& aDocument, std::size_t aBase) {
    const std::size_t count = fScratch.size() - aBase;
    if (count == 0) return;
    TqvnObjectJSON** items = fArena.NewList(count);
    std::memcpy(items, fScratch.data() + aBase, count * sizeof(TqvnObjectJSON*));
    aDocument.fItems = items;
    aDocument.fCount = static_cast<std::uint32_t>(count);
    aDocument.fCapacity = static_cast<std::uint32_t>(count);
    fScratch.resize(aBase);
  }

  const char* fText;
  std::size_t fSize;
  std::size_t fPos = 0;
  int fDepth = 0;
  TqvnJSONArena& fArena;
  std::vector<TqvnObjectJSON*>& fScratch;
};

}  // namespace detail

void TqvnJSON::Read(std::string_view aText) {
  // Clearing a root resets its region, and with it the regions it keeps alive. When aText may
  // lie in one of them, the old region is held until the reader has copied the text, and the
  // root reads into a new one.
  std::shared_ptr<detail::TqvnJSONArena> previous;
  if (fOwnArena && (fOwnArena->Holds(aText.data()) || fOwnArena->KeepsOthers())) {
    previous = fOwnArena;
  }
  Clear();
  fIsArray = false;
  detail::TqvnJSONArena& arena = Arena();
  // One scratch stack per thread, reused by every read on it (a read never nests another).
  thread_local std::vector<TqvnObjectJSON*> scratch;
  const std::size_t base = scratch.size();
  detail::TqvnJSONReader reader(arena.CopyText(aText), arena, scratch);
  reader.ReadDocument(*this);
  scratch.resize(base);
}

}  // namespace qvn
