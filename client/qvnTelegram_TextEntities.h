// What TDLib recognises in a text by itself (links, e-mail addresses, mentions, hashtags,
// cashtags, bot commands), as the byte ranges the rich-text parser keeps as they are
// (qvnTelegram_RichText.h). The client's RecognizedEntities runs the request through TDLib's
// synchronous path and reads the answer with these.
//
// Pure, no state: any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_TEXTENTITIES_H
#define QVN_CLIENT_QVNTELEGRAM_TEXTENTITIES_H

#include <string>
#include <string_view>
#include <vector>

#include "client/qvnTelegram_Answer.h"
#include "client/qvnTelegram_RichText.h"

namespace qvn {

// getTextEntities of aText (bytes that are not UTF-8 are sent as U+FFFD, one UTF-16 unit each).
std::string GetTextEntitiesRequest(std::string_view aText);

// The byte ranges of aText that TDLib's answer aAnswer to GetTextEntitiesRequest(aText) names as
// a link (textEntityTypeUrl), an e-mail address, a mention, a hashtag, a cashtag or a bot
// command, in TDLib's order. TDLib counts UTF-16 units of the text it got, where each byte of
// aText that starts no UTF-8 sequence was one U+FFFD; a range that begins or ends inside a
// surrogate pair takes the whole character, and one reaching past the text is clipped. Empty for
// any other answer (an error, the engine's own failure) and for an answer it cannot read.
std::vector<TqvnTextRange> RecognizedTextRanges(std::string_view aText,
                                                const TqvnTelegramAnswer& aAnswer);

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_TEXTENTITIES_H
