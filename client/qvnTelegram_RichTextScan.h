// The one reading of a marked-up text (qvnTelegram_RichText.h states its rules) that
// ParseRichText and SplitRichText share: what each character of the text becomes, and which
// span is open after it. The parser makes the plain text and entities from it; the splitter
// finds from it where a text can be cut without changing what its parts parse to.
//
// Pure, no state: any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_RICHTEXTSCAN_H
#define QVN_CLIENT_QVNTELEGRAM_RICHTEXTSCAN_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "client/qvnTelegram_RichText.h"

namespace qvn::detail {

// One character of the marked-up text: a well-formed UTF-8 sequence, or one byte that starts
// none (read as U+FFFD).
struct TqvnRichTextChar {
  size_t Offset = 0;       // its first byte in the text
  uint8_t Bytes = 0;       // its length in bytes, 1 to 4
  uint8_t Units = 0;       // UTF-16 units it adds to the plain text; 0 when it is markup
  bool Valid = true;       // false: a byte that starts no well-formed sequence
  bool InRange = false;    // inside a kept range as given
  bool Kept = false;       // inside the part of a kept range that stays text (its edges may
                           // be markup)
  char OpenAfter = '\0';   // the marker of the span open after it, '\0' for none
};

struct TqvnRichTextScan {
  std::vector<TqvnRichTextChar> Chars;
  // The kept ranges as the scan read them: clipped, widened to whole characters, sorted and
  // merged; each Length is at least 1.
  std::vector<TqvnTextRange> Ranges;
};

bool IsRichTextMarker(char aChar);

TqvnRichTextScan ScanRichText(std::string_view aText, const std::vector<TqvnTextRange>& aKeep);

}  // namespace qvn::detail

#endif  // QVN_CLIENT_QVNTELEGRAM_RICHTEXTSCAN_H
