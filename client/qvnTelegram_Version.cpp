// Numeric, part-by-part comparison of TDLib version texts.
#include "client/qvnTelegram_Version.h"

namespace qvn {
namespace {

// Splits off the next dot-separated part of aText and returns its significant digits: the
// part's leading decimal digits without leading zeros ("" stands for 0).
std::string_view TakeNumericPart(std::string_view& aText) {
  const size_t dot = aText.find('.');
  std::string_view part = aText.substr(0, dot);
  aText = dot == std::string_view::npos ? std::string_view() : aText.substr(dot + 1);

  size_t digits = 0;
  while (digits < part.size() && part[digits] >= '0' && part[digits] <= '9') ++digits;
  part = part.substr(0, digits);
  while (!part.empty() && part.front() == '0') part.remove_prefix(1);
  return part;
}

// Compares two digit strings without leading zeros as numbers.
int CompareDigits(std::string_view aLeft, std::string_view aRight) {
  if (aLeft.size() != aRight.size()) return aLeft.size() < aRight.size() ? -1 : 1;
  const int order = aLeft.compare(aRight);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

}  // namespace

int CompareTDLibVersions(std::string_view aLeft, std::string_view aRight) {
  while (!aLeft.empty() || !aRight.empty()) {
    const int order = CompareDigits(TakeNumericPart(aLeft), TakeNumericPart(aRight));
    if (order != 0) return order;
  }
  return 0;
}

}  // namespace qvn
