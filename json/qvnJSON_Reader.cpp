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
      : FText(aText.data()), FSize(aText.size()), FArena(aArena), FScratch(aScratch) {}

  void ReadDocument(TqvnJSON& aDocument) {
    if (FSize != 0 && FText[0] == '[') {
      aDocument.FIsArray = true;
      ParseArray(aDocument);
    } else {
      ParseObject(aDocument);
    }
  }

 private:
  // The member being read: name, type and value (always text).
  struct Pending {
    std::string_view Name;
    TqvnJSONtype Type = qvnJSONUndefined;
    std::string_view Value;
  };

  bool AtEnd() const { return FPos >= FSize; }

  static bool IsBlank(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f';
  }

  // Blanks (tab, line feed, form feed, carriage return, space) and "#" comments up to, not past,
  // the next line feed.
  void SkipWhitespace() {
    while (FPos < FSize) {
      const char c = FText[FPos];
      if (IsBlank(c)) {
        ++FPos;
      } else if (c == '#') {
        const void* lf = std::memchr(FText + FPos, '\n', FSize - FPos);
        FPos =
            lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - FText) : FSize;
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
    const std::size_t start = FPos;
    SkipWhitespace();
    // Not a container: fail, leaving the position after the blanks.
    if (AtEnd() || FText[FPos] != aOpen) return false;
    ++FPos;
    const std::size_t base = FScratch.size();
    ++FDepth;
    bool closed = false;
    while (!AtEnd()) {
      SkipWhitespace();
      if (!AtEnd() && FText[FPos] == aClose) {
        ++FPos;
        closed = true;
        break;
      }
      Pending pending;
      if (aMembers) {
        if (!ParseString(pending.Name)) break;
        SkipWhitespace();
        if (AtEnd() || FText[FPos] != ':') break;
        ++FPos;
        SkipWhitespace();
      }
      if (!ParseValue(pending)) break;
      AddPendingNode(pending);
      SkipWhitespace();
      if (!AtEnd() && FText[FPos] == ',') ++FPos;
    }
    --FDepth;
    MoveInto(aDocument, base);
    if (!closed) FPos = start;
    return closed;
  }

  bool ParseValue(Pending& aPending) {
    SkipWhitespace();
    if (AtEnd()) return false;
    const std::size_t start = FPos;
    switch (FText[FPos]) {
      case '"': {
        aPending.Type = qvnJSONString;
        const bool ok = ParseString(aPending.Value);
        if (!ok) aPending.Value = {};
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
        aPending.Type = qvnJSONNumber;
        const bool ok = ParseNumber();
        aPending.Value = std::string_view(FText + start, FPos - start);
        return ok;
      }
      case 't':
      case 'T':
        aPending.Type = qvnJSONBoolean;
        aPending.Value = "true";
        return ParseWord("true");
      case 'f':
      case 'F':
        aPending.Type = qvnJSONBoolean;
        aPending.Value = "false";
        return ParseWord("false");
      case 'n':
      case 'N':
        aPending.Type = qvnJSONNull;
        aPending.Value = "null";
        return ParseWord("null");
      case '[':
        aPending.Type = qvnJSONList;
        return ReadContainerNode(aPending, true);
      case '{':
        aPending.Type = qvnJSONObject;
        return ReadContainerNode(aPending, false);
      default:
        return false;
    }
  }

  // The word in any letter case; the position moves on by its length whether it matched or not.
  bool ParseWord(std::string_view aLowerWord) {
    const std::size_t available = FSize - FPos;
    bool match = available >= aLowerWord.size();
    for (std::size_t i = 0; match && i < aLowerWord.size(); ++i) {
      match = AsciiLower(FText[FPos + i]) == aLowerWord[i];
    }
    FPos += aLowerWord.size() < available ? aLowerWord.size() : available;
    return match;
  }

  // The text between a pair of double quotes, escape sequences left in place. A quote after a
  // backslash ends the string only when "}", "]" or "," follows it.
  bool ParseString(std::string_view& aContent) {
    const std::size_t start = FPos;
    SkipWhitespace();
    if (AtEnd()) return false;
    if (FText[FPos] != '"') {
      FPos = start;
      return false;
    }
    const std::size_t contentStart = FPos + 1;
    std::size_t pos = contentStart;
    for (;;) {
      pos = SkipPlain(pos);
      if (pos >= FSize) break;
      if (FText[pos] == '"') {
        if (FText[pos - 1] != '\\' || ClosesAfterBackslash(pos + 1)) {
          aContent = std::string_view(FText + contentStart, pos - contentStart);
          FPos = pos + 1;
          return true;
        }
        // The quote belongs to the string; the code unit after it is skipped unseen.
        ++pos;
      }
      if (!SkipChar(pos)) break;
    }
    FPos = start;
    return false;
  }

  // Whether the code unit at aPos is one of "}", "]" and "," (none at the end of the text).
  bool ClosesAfterBackslash(std::size_t aPos) const {
    return aPos < FSize && (FText[aPos] == '}' || FText[aPos] == ']' || FText[aPos] == ',');
  }

  // The position of the first quote or backslash at or after aPos (or the end).
  std::size_t SkipPlain(std::size_t aPos) const {
#ifdef __SSE2__
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    while (aPos + 16 <= FSize) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(FText + aPos));
      const int mask = _mm_movemask_epi8(
          _mm_or_si128(_mm_cmpeq_epi8(chunk, quote), _mm_cmpeq_epi8(chunk, backslash)));
      if (mask != 0) return aPos + static_cast<std::size_t>(__builtin_ctz(mask));
      aPos += 16;
    }
#endif
    while (aPos < FSize && FText[aPos] != '"' && FText[aPos] != '\\') ++aPos;
    return aPos;
  }

  // One character, or one escape sequence: a backslash and the next character, or a backslash,
  // "u" and 4 more UTF-16 code units (hexadecimal or not). Moves aPos only on success.
  bool SkipChar(std::size_t& aPos) const {
    if (aPos >= FSize) return false;
    if (FText[aPos] != '\\') {
      ++aPos;
      return true;
    }
    if (aPos + 1 >= FSize) return false;
    if (FText[aPos + 1] != 'u') {
      aPos += 2;
      return true;
    }
    std::size_t p = aPos + 2;
    int units = 0;
    while (units < 4) {
      if (p >= FSize) return false;
      if (static_cast<unsigned char>(FText[p]) < 0x80) {
        ++p;
        ++units;
      } else {
        TqvnUTF8Char ch = DecodeUTF8(std::string_view(FText + p, FSize - p));
        p += ch.Length;
        units += ch.Code >= 0x10000 ? 2 : 1;
      }
    }
    aPos = p;
    return true;
  }

  bool ParseDigits() {
    const std::size_t from = FPos;
    while (FPos < FSize && FText[FPos] >= '0' && FText[FPos] <= '9') ++FPos;
    return FPos > from;
  }

  // An optional sign, digits, an optional fraction and an optional exponent, each part with
  // at least one digit. Leading zeros and "+" are accepted.
  bool ParseNumber() {
    const std::size_t start = FPos;
    SkipWhitespace();
    if (AtEnd()) return false;
    if (FText[FPos] == '+' || FText[FPos] == '-') ++FPos;
    if (!ParseDigits()) return false;
    if (!AtEnd() && FText[FPos] == '.') {
      ++FPos;
      if (!ParseDigits()) {
        FPos = start;
        return false;
      }
    }
    if (!AtEnd() && (FText[FPos] == 'e' || FText[FPos] == 'E')) {
      ++FPos;
      if (!AtEnd() && (FText[FPos] == '+' || FText[FPos] == '-')) ++FPos;
      if (!ParseDigits()) {
        FPos = start;
        return false;
      }
    }
    return true;
  }

  // An object or array member: its node is created at once, its child document reads the
  // container from the same position, and the node is kept whatever the child's result.
  bool ReadContainerNode(Pending& aPending, bool aList) {
    if (FDepth >= TqvnJSON::kMaxDepth) return false;
    TqvnObjectJSON* node = FArena.NewNode();
    node->FName = aPending.Name;
    node->FType = aList ? qvnJSONList : qvnJSONObject;
    TqvnJSON* child = FArena.NewDocument();
    node->FChild = child;
    const bool ok = aList ? ParseArray(*child) : ParseObject(*child);
    FScratch.push_back(node);
    aPending.Name = {};
    return ok;
  }

  void AddPendingNode(Pending& aPending) {
    if (aPending.Type == qvnJSONObject || aPending.Type == qvnJSONList) return;
    TqvnObjectJSON* node = FArena.NewNode();
    node->FName = aPending.Name;
    node->FType = aPending.Type;
    node->FValue.Kind = jvText;
    node->FValue.Text = aPending.Value.data();
    node->FValue.TextSize = aPending.Value.size();
    FScratch.push_back(node);
    aPending.Name = {};
  }

  // Moves the nodes collected since aBase into aDocument's list.
  void MoveInto(TqvnJSON& aDocument, std::size_t aBase) {
    const std::size_t count = FScratch.size() - aBase;
    if (count == 0) return;
    TqvnObjectJSON** items = FArena.NewList(count);
    std::memcpy(items, FScratch.data() + aBase, count * sizeof(TqvnObjectJSON*));
    aDocument.FItems = items;
    aDocument.FCount = static_cast<std::uint32_t>(count);
    aDocument.FCapacity = static_cast<std::uint32_t>(count);
    FScratch.resize(aBase);
  }

  const char* FText;
  std::size_t FSize;
  std::size_t FPos = 0;
  int FDepth = 0;
  TqvnJSONArena& FArena;
  std::vector<TqvnObjectJSON*>& FScratch;
};

}  // namespace detail

void TqvnJSON::Read(std::string_view aText) {
  // Clearing a root resets its region, and with it the regions it keeps alive. When aText may
  // lie in one of them, the old region is held until the reader has copied the text, and the
  // root reads into a new one.
  std::shared_ptr<detail::TqvnJSONArena> previous;
  if (FOwnArena && (FOwnArena->Holds(aText.data()) || FOwnArena->KeepsOthers())) {
    previous = FOwnArena;
  }
  Clear();
  FIsArray = false;
  detail::TqvnJSONArena& arena = Arena();
  // One scratch stack per thread, reused by every read on it (a read never nests another).
  thread_local std::vector<TqvnObjectJSON*> gScratch;
  const std::size_t base = gScratch.size();
  detail::TqvnJSONReader reader(arena.CopyText(aText), arena, gScratch);
  reader.ReadDocument(*this);
  gScratch.resize(base);
}

}  // namespace qvn
