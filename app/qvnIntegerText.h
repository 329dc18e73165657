// Text-to-integer conversion for numbers the window reads from the user and from its settings
// file.
//
// Accepted: optional leading spaces, an optional "+" or "-", then decimal digits, or hexadecimal
// digits after a "$" or "0x" ("0X") prefix; nothing may follow, and the signed value must fit in
// 32 bits (64 bits for StrToInt64). Pure functions, callable from any thread.
#ifndef QVN_APP_QVNINTEGERTEXT_H
#define QVN_APP_QVNINTEGERTEXT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "client/qvnTelegram_Options.h"  // EConvertError

namespace qvn {

// The value of aText, or nothing when aText is not an integer in the accepted form.
std::optional<int32_t> TryStrToInt(std::string_view aText);

// The value of aText; raises EConvertError "'<text>' is not a valid integer value" when it is
// not an integer.
int32_t StrToInt(const std::string& aText);

// The same for 64-bit values: Telegram's user and supergroup ids pass 2^31.
int64_t StrToInt64(const std::string& aText);

// The value of aText, or aDefault when it is not an integer.
int32_t StrToIntDef(std::string_view aText, int32_t aDefault);

}  // namespace qvn

#endif  // QVN_APP_QVNINTEGERTEXT_H
