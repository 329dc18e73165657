// The parts SplitRichText (qvnTelegram_RichText.h) makes, with where each comes from, for a
// caller that needs to know which bytes of the text a part holds (the kept ranges inside it).
//
// Pure, no state: any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_RICHTEXTSPLIT_H
#define QVN_CLIENT_QVNTELEGRAM_RICHTEXTSPLIT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "client/qvnTelegram_RichText.h"

namespace qvn {

struct TqvnRichTextPart {
  // The part: PrefixBytes markers that open a span cut before it again, the text's bytes
  // [Offset, Offset + Length), and the markers that close such a span at the end, if any.
  std::string Text;
  size_t Offset = 0;
  size_t Length = 0;
  size_t PrefixBytes = 0;  // 0 or 2
};

// SplitRichText's parts, in order; between two parts the text holds only the whitespace dropped
// at their cut.
std::vector<TqvnRichTextPart> SplitRichTextParts(std::string_view aText, size_t aMaxLength,
                                                 const std::vector<TqvnTextRange>& aKeep);

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_RICHTEXTSPLIT_H
