#include "app/qvnDisplayText.h"

namespace qvn {

std::string ShortenForDisplay(std::string_view aText, std::size_t aMaxBytes,
                              std::string_view aNote) {
  if (aText.size() <= aMaxBytes) return std::string(aText);
  std::size_t cut = aMaxBytes;
  // Back to the first byte of the character the cut falls in (UTF-8 continuation bytes are
  // 10xxxxxx); a character has at most three of them.
  for (int i = 0; i < 3 && cut > 0 && (static_cast<unsigned char>(aText[cut]) & 0xC0) == 0x80;
       ++i) {
    --cut;
  }
  std::string shown(aText.substr(0, cut));
  shown += "\xE2\x80\xA6 (" + std::to_string(aText.size()) + " bytes";
  shown.append(aNote);
  shown += ")";
  return shown;
}

}  // namespace qvn
