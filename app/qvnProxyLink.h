// Proxy links and the checks a proxy passes before it is sent to TDLib.
//
// ParseProxyLink reads the links Telegram hands out for proxies:
//   tg://proxy?server=…&port=…&secret=…         (MTProto)
//   tg://socks?server=…&port=…[&user=…&pass=…]  (SOCKS5)
// and the same queries under https://t.me/proxy and https://t.me/socks (also http://, no
// scheme, telegram.me and telegram.dog). Parameter values are percent-decoded ("+" stays a plus
// sign: secrets in base64 use it); unknown parameters are ignored, the first of repeated ones
// counts. The result is the proxy for the add form, or the reason the link is refused.
//
// ProxyProblem checks a proxy as the form and the links do: a server without blanks, a port in
// 1..65535 and, for MTProto, a secret TDLib accepts (MTProtoSecretProblem). Pure functions
// without state: any thread, no Qt.
#ifndef QVN_APP_QVNPROXYLINK_H
#define QVN_APP_QVNPROXYLINK_H

#include <string>
#include <string_view>

#include "client/qvnTelegram_ChatRequests.h"

namespace qvn {

struct TqvnParsedProxyLink {
  TqvnProxy Proxy;
  std::string Problem;  // empty when the link is good
};

TqvnParsedProxyLink ParseProxyLink(std::string_view aLink);

// What is wrong with aProxy in words, or "" when TDLib may be given it.
std::string ProxyProblem(const TqvnProxy& aProxy);

// What is wrong with an MTProto secret, or "": 32 hexadecimal digits (16 bytes), the same after
// "dd" (random padding), or after "ee" followed by the hex of a domain name (fake TLS); or those
// bytes in base64url, as Telegram's links write them ("=" fill optional).
std::string MTProtoSecretProblem(std::string_view aSecret);

}  // namespace qvn

#endif  // QVN_APP_QVNPROXYLINK_H
