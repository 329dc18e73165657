// Hides secrets in texts the window shows: the string value of every JSON member whose name is
// one the program knows to hold a secret becomes "***".
//
// The names: "password" (SOCKS5 and HTTP proxies, TDLib's answers addedProxy and proxies),
// "secret" (MTProto proxies), "api_hash", "token" (bot token), "code" (login code), and the
// database keys "database_encryption_key", "encryption_key", "new_encryption_key". Only string
// values are hidden (an error's numeric "code" stays); an empty string stays empty. A name
// written with escapes ("pass\u0077ord") is read as JSON reads it.
//
// The text need not be JSON: any text is scanned once for quoted names followed by ":"; what is
// not such a member is copied unchanged. Linear in the text's length. Pure function, any thread.
#ifndef QVN_APP_QVNSECRETMASK_H
#define QVN_APP_QVNSECRETMASK_H

#include <string>
#include <string_view>

namespace qvn {

inline constexpr std::string_view kMaskedSecret = "***";

std::string MaskSecrets(std::string_view aText);

}  // namespace qvn

#endif  // QVN_APP_QVNSECRETMASK_H
