#include "app/qvnSecretMask.h"

#include <array>

#include "json/qvnBase_Helpers.h"

namespace qvn {

namespace {

constexpr std::array<std::string_view, 8> kSecretNames = {
    "password", "secret",         "api_hash",          "token",
    "code",     "encryption_key", "new_encryption_key", "database_encryption_key"};

bool IsSecretName(std::string_view aRawName) {
  std::string unescaped;
  if (aRawName.find('\\') != std::string_view::npos) {
    try {
      unescaped = UnescapeJSONString(aRawName);
    } catch (const EqvnUnescapeError&) {
      return false;
    }
    aRawName = unescaped;
  }
  for (std::string_view name : kSecretNames) {
    if (aRawName == name) return true;
  }
  return false;
}

// The position just past the closing quote of the string whose opening quote is at aOpen, or
// npos when the text ends first.
size_t StringEnd(std::string_view aText, size_t aOpen) {
  for (size_t i = aOpen + 1; i < aText.size(); ++i) {
    if (aText[i] == '\\') {
      ++i;  // the escaped character, a quote included
    } else if (aText[i] == '"') {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

size_t SkipBlanks(std::string_view aText, size_t aAt) {
  while (aAt < aText.size() &&
         (aText[aAt] == ' ' || aText[aAt] == '\t' || aText[aAt] == '\n' || aText[aAt] == '\r')) {
    ++aAt;
  }
  return aAt;
}

}  // namespace

std::string MaskSecrets(std::string_view aText) {
  std::string result;
  result.reserve(aText.size());
  size_t copied = 0;  // aText before this is in result
  size_t at = aText.find('"');
  while (at != std::string_view::npos) {
    const size_t nameEnd = StringEnd(aText, at);
    if (nameEnd == std::string_view::npos) break;
    const size_t colon = SkipBlanks(aText, nameEnd);
    if (colon >= aText.size() || aText[colon] != ':' ||
        !IsSecretName(aText.substr(at + 1, nameEnd - at - 2))) {
      at = aText.find('"', nameEnd);
      continue;
    }
    const size_t valueOpen = SkipBlanks(aText, colon + 1);
    if (valueOpen >= aText.size() || aText[valueOpen] != '"') {
      at = aText.find('"', colon);  // not a string value: nothing to hide
      continue;
    }
    const size_t valueEnd = StringEnd(aText, valueOpen);
    if (valueEnd == std::string_view::npos) {
      // A text cut inside the secret: everything after the opening quote is hidden.
      result.append(aText.substr(copied, valueOpen + 1 - copied)).append(kMaskedSecret);
      return result;
    }
    if (valueEnd - valueOpen > 2) {
      result.append(aText.substr(copied, valueOpen + 1 - copied)).append(kMaskedSecret);
      copied = valueEnd - 1;  // the closing quote
    }
    at = aText.find('"', valueEnd);
  }
  result.append(aText.substr(copied));
  return result;
}

}  // namespace qvn
