// Template filling for the request builders.
#include "client/qvnTelegram_RequestText.h"

#include <stdexcept>

namespace qvn {

std::string FillTemplate(std::string_view aTemplate,
                         std::initializer_list<std::string_view> aValues) {
  std::string result;
  size_t reserve = aTemplate.size();
  for (std::string_view value : aValues) reserve += value.size();
  result.reserve(reserve);

  const std::string_view* next = aValues.begin();
  size_t i = 0;
  while (i < aTemplate.size()) {
    const bool placeHolder = aTemplate[i] == '%' && i + 1 < aTemplate.size() &&
                             (aTemplate[i + 1] == 's' || aTemplate[i + 1] == 'd');
    if (!placeHolder) {
      result += aTemplate[i++];
      continue;
    }
    if (next == aValues.end()) throw std::logic_error("request template has too few values");
    result += *next++;
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
