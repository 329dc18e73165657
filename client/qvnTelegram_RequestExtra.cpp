#include "client/qvnTelegram_RequestExtra.h"

#include <optional>

namespace qvn {
namespace {

constexpr std::string_view kExtra = "@extra";

// Where one JSON object text keeps its braces and one of its top-level members.
struct TObjectLayout {
  size_t Open = 0;   // the "{"
  size_t Close = 0;  // the matching "}"
  bool HasMembers = false;
  bool Found = false;
  size_t MemberBegin = 0;  // the opening quote of the member's name
  size_t ValueBegin = 0;
  size_t ValueEnd = 0;  // just after the value
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

class TObjectScanner {
 public:
  explicit TObjectScanner(std::string_view aText) : FText(aText) {}

  // The layout of the object with aName's first top-level member, or nothing when the text is
  // not one object.
  std::optional<TObjectLayout> Scan(std::string_view aName) {
    TObjectLayout layout;
    SkipBlanks();
    if (!Take('{')) return std::nullopt;
    layout.Open = FAt - 1;
    SkipBlanks();
    if (Take('}')) {
      layout.Close = FAt - 1;
      return layout;
    }
    for (;;) {
      const size_t memberBegin = FAt;
      if (!SkipString()) return std::nullopt;
      const std::string_view name = FText.substr(memberBegin + 1, FAt - memberBegin - 2);
      SkipBlanks();
      if (!Take(':')) return std::nullopt;
      SkipBlanks();
      const size_t valueBegin = FAt;
      if (!SkipValue()) return std::nullopt;
      layout.HasMembers = true;
      if (!layout.Found && name == aName) {
        layout.Found = true;
        layout.MemberBegin = memberBegin;
        layout.ValueBegin = valueBegin;
        layout.ValueEnd = FAt;
      }
      SkipBlanks();
      if (Take('}')) {
        layout.Close = FAt - 1;
        return layout;
      }
      if (!Take(',')) return std::nullopt;
      SkipBlanks();
    }
  }

 private:
  bool Take(char c) {
    if (FAt >= FText.size() || FText[FAt] != c) return false;
    ++FAt;
    return true;
  }

  void SkipBlanks() {
    while (FAt < FText.size() && IsBlank(FText[FAt])) ++FAt;
  }

  // A string from its opening quote to just after its closing one.
  bool SkipString() {
    if (!Take('"')) return false;
    while (FAt < FText.size()) {
      const char c = FText[FAt++];
      if (c == '"') return true;
      if (c == '\\') ++FAt;
    }
    return false;
  }

  // A string, an object or array (to its matching end), or a bare word or number.
  bool SkipValue() {
    if (FAt >= FText.size()) return false;
    const char first = FText[FAt];
    if (first == '"') return SkipString();
    if (first == '{' || first == '[') {
      int depth = 0;
      while (FAt < FText.size()) {
        const char c = FText[FAt];
        if (c == '"') {
          if (!SkipString()) return false;
          continue;
        }
        ++FAt;
        if (c == '{' || c == '[') ++depth;
        if ((c == '}' || c == ']') && --depth == 0) return true;
      }
      return false;
    }
    const size_t begin = FAt;
    while (FAt < FText.size()) {
      const char c = FText[FAt];
      if (c == ',' || c == '}' || c == ']' || IsBlank(c)) break;
      ++FAt;
    }
    return FAt > begin;
  }

  std::string_view FText;
  size_t FAt = 0;
};

// aValue without the blanks between its tokens, as TDLib writes a value it read.
std::string Compact(std::string_view aValue) {
  std::string compact;
  compact.reserve(aValue.size());
  bool inString = false;
  for (size_t i = 0; i < aValue.size(); ++i) {
    const char c = aValue[i];
    if (!inString && IsBlank(c)) continue;
    compact += c;
    if (c == '"') {
      inString = !inString;
    } else if (c == '\\' && inString && i + 1 < aValue.size()) {
      compact += aValue[++i];
    }
  }
  return compact;
}

std::optional<TObjectLayout> LayoutOf(std::string_view aText) {
  return TObjectScanner(aText).Scan(kExtra);
}

}  // namespace

TqvnTaggedRequest TagRequest(std::string_view aRequest, std::string_view aTag) {
  const std::optional<TObjectLayout> layout = LayoutOf(aRequest);
  if (!layout) throw EqvnRequestTextError("The request is not a JSON object");
  TqvnTaggedRequest tagged;
  if (layout->Found) {
    tagged.CallerExtra =
        Compact(aRequest.substr(layout->ValueBegin, layout->ValueEnd - layout->ValueBegin));
    tagged.Text = std::string(aRequest.substr(0, layout->ValueBegin)) + std::string(aTag) +
                  std::string(aRequest.substr(layout->ValueEnd));
    return tagged;
  }
  // Appended just before the closing brace, after the last member.
  tagged.Text = std::string(aRequest.substr(0, layout->Close));
  while (!tagged.Text.empty() && IsBlank(tagged.Text.back())) tagged.Text.pop_back();
  tagged.Text += layout->HasMembers ? ", \"@extra\": " : "\"@extra\": ";
  tagged.Text += aTag;
  tagged.Text += aRequest.substr(layout->Close);
  return tagged;
}

std::string_view ExtraValueOf(std::string_view aText) {
  const std::optional<TObjectLayout> layout = LayoutOf(aText);
  if (!layout || !layout->Found) return {};
  return aText.substr(layout->ValueBegin, layout->ValueEnd - layout->ValueBegin);
}

std::string ReplaceExtra(std::string_view aText, std::string_view aValue) {
  const std::optional<TObjectLayout> layout = LayoutOf(aText);
  if (!layout || !layout->Found) return std::string(aText);
  if (!aValue.empty()) {
    return std::string(aText.substr(0, layout->ValueBegin)) + std::string(aValue) +
           std::string(aText.substr(layout->ValueEnd));
  }
  // Removed with the comma before it, or, for the first member, with the comma after it.
  size_t begin = layout->MemberBegin;
  size_t end = layout->ValueEnd;
  size_t before = begin;
  while (before > layout->Open + 1 && IsBlank(aText[before - 1])) --before;
  if (aText[before - 1] == ',') {
    begin = before - 1;
  } else {
    while (end < layout->Close && IsBlank(aText[end])) ++end;
    if (aText[end] == ',') ++end;
    while (end < layout->Close && IsBlank(aText[end])) ++end;
  }
  return std::string(aText.substr(0, begin)) + std::string(aText.substr(end));
}

}  // namespace qvn
