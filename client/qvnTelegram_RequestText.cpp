// Template filling for the request builders.
#include "client/qvnTelegram_RequestText.h"

#include <stdexcept>

#include "json/qvnBase_Helpers.h"

namespace qvn {
namespace {

EqvnRequestValueKind PlaceHolderKind(char aLetter) {
  switch (aLetter) {
    case 's':
      return EqvnRequestValueKind::text;
    case 'e':
      return EqvnRequestValueKind::escapedText;
    case 'd':
      return EqvnRequestValueKind::integer;
    case 'b':
      return EqvnRequestValueKind::boolean;
    case 'j':
      return EqvnRequestValueKind::jsonPiece;
    default:
      throw std::logic_error(std::string("request template has an unknown place holder %") +
                             aLetter);
  }
}

void AppendValue(std::string& aResult, const TqvnRequestValue& aValue) {
  switch (aValue.Kind()) {
    case EqvnRequestValueKind::text:
      aResult += EscapeJSONString(aValue.Text());
      return;
    case EqvnRequestValueKind::escapedText:
    case EqvnRequestValueKind::jsonPiece:
      aResult += aValue.Text();
      return;
    case EqvnRequestValueKind::integer:
      aResult += std::to_string(aValue.Integer());
      return;
    case EqvnRequestValueKind::boolean:
      aResult += aValue.Boolean() ? "true" : "false";
      return;
  }
}

}  // namespace

std::string FillTemplate(std::string_view aTemplate,
                         std::initializer_list<TqvnRequestValue> aValues) {
  std::string result;
  size_t reserve = aTemplate.size();
  for (const TqvnRequestValue& value : aValues) reserve += value.Text().size() + 20;
  result.reserve(reserve);

  const TqvnRequestValue* next = aValues.begin();
  size_t i = 0;
  while (i < aTemplate.size()) {
    if (aTemplate[i] != '%') {
      result += aTemplate[i++];
      continue;
    }
    if (i + 1 == aTemplate.size()) throw std::logic_error("request template ends in a lone %");
    const EqvnRequestValueKind kind = PlaceHolderKind(aTemplate[i + 1]);
    if (next == aValues.end()) throw std::logic_error("request template has too few values");
    if (next->Kind() != kind) {
      throw std::logic_error(
          "request template value " + std::to_string(next - aValues.begin() + 1) +
          " is not of the kind its place holder %" + aTemplate[i + 1] + " takes");
    }
    AppendValue(result, *next++);
    i += 2;
  }
  if (next != aValues.end()) throw std::logic_error("request template has too many values");
  return result;
}

std::string IdListText(const std::vector<int64_t>& aIds) {
  std::string result = "[";
  for (size_t i = 0; i < aIds.size(); ++i) {
    if (i > 0) result += ',';
    result += std::to_string(aIds[i]);
  }
  result += ']';
  return result;
}

}  // namespace qvn
