#include "client/qvnTelegram_RequestExtra.h"

#include <optional>

#include "client/qvnTelegram_RequestCheck.h"

namespace qvn {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

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

}  // namespace

TqvnTaggedRequest TagRequest(std::string_view aRequest, std::string_view aTag) {
  const std::optional<TqvnObjectLayout> layout = ReadObjectLayout(aRequest);
  if (!layout) throw EqvnRequestTextError("The request is not a JSON object");
  TqvnTaggedRequest tagged;
  if (layout->HasExtra) {
    tagged.CallerExtra = Compact(
        aRequest.substr(layout->ExtraValueBegin, layout->ExtraValueEnd - layout->ExtraValueBegin));
    tagged.Text = std::string(aRequest.substr(0, layout->ExtraValueBegin)) + std::string(aTag) +
                  std::string(aRequest.substr(layout->ExtraValueEnd));
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
  const std::optional<TqvnObjectLayout> layout = ReadObjectLayout(aText);
  if (!layout || !layout->HasExtra) return {};
  return aText.substr(layout->ExtraValueBegin, layout->ExtraValueEnd - layout->ExtraValueBegin);
}

std::string ReplaceExtra(std::string_view aText, std::string_view aValue) {
  const std::optional<TqvnObjectLayout> layout = ReadObjectLayout(aText);
  if (!layout || !layout->HasExtra) return std::string(aText);
  if (!aValue.empty()) {
    return std::string(aText.substr(0, layout->ExtraValueBegin)) + std::string(aValue) +
           std::string(aText.substr(layout->ExtraValueEnd));
  }
  // Removed with the comma before it, or, for the first member, with the comma after it.
  size_t begin = layout->ExtraBegin;
  size_t end = layout->ExtraValueEnd;
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
