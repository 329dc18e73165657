// Proxy links read into the add form's proxy, and the checks every proxy passes before TDLib
// is given it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/qvnProxyLink.h"

namespace qvn::test {
namespace {

constexpr const char* kHexSecret = "0123456789abcdef0123456789ABCDEF";

TqvnProxy MTProto(std::string aServer, int32_t aPort, std::string aSecret) {
  TqvnProxy proxy;
  proxy.Kind = TqvnProxyKind::mtproto;
  proxy.Server = std::move(aServer);
  proxy.Port = aPort;
  proxy.Secret = std::move(aSecret);
  return proxy;
}

TqvnProxy Socks5(std::string aServer, int32_t aPort, std::string aUser, std::string aPassword) {
  TqvnProxy proxy;
  proxy.Server = std::move(aServer);
  proxy.Port = aPort;
  proxy.UserName = std::move(aUser);
  proxy.Password = std::move(aPassword);
  return proxy;
}

TEST(ProxyLink, GoodLinksGiveTheProxy) {
  const std::string hex = kHexSecret;
  const struct {
    std::string Link;
    TqvnProxy Proxy;
  } cases[] = {
      {"tg://proxy?server=1.2.3.4&port=443&secret=" + hex, MTProto("1.2.3.4", 443, hex)},
      {"https://t.me/proxy?server=proxy.example&port=8443&secret=dd" + hex,
       MTProto("proxy.example", 8443, "dd" + hex)},
      // Fake-TLS: "ee", the key, then the domain's hex ("example.org").
      {"tg://proxy?secret=ee" + hex + "6578616d706c652e6f7267&port=1&server=h",
       MTProto("h", 1, "ee" + hex + "6578616d706c652e6f7267")},
      // base64url as links write it, with and without "=" fill, "-" and "_" decoded as such.
      {"http://t.me/proxy?server=h&port=65535&secret=ASNFZ4mrze8BI0Vnia_N7w",
       MTProto("h", 65535, "ASNFZ4mrze8BI0Vnia_N7w")},
      {"t.me/proxy?server=h&port=2&secret=7gEjRWeJq83vASNFZ4mrze9leGFtcGxlLm9yZw==",
       MTProto("h", 2, "7gEjRWeJq83vASNFZ4mrze9leGFtcGxlLm9yZw==")},
      {"  TG://Proxy?server=h&port=3&secret=" + hex + "&extra=ignored#top \n",
       MTProto("h", 3, hex)},
      {"tg://socks?server=10.0.0.1&port=1080", Socks5("10.0.0.1", 1080, "", "")},
      {"https://t.me/socks?server=s&port=1080&user=al%20ice&pass=p%26w%3D%25+x",
       Socks5("s", 1080, "al ice", "p&w=%+x")},
      {"https://telegram.me/socks/?server=%5B::1%5D&port=9&user=%C3%A9&user=second",
       Socks5("[::1]", 9, "\xC3\xA9", "")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Link);
    const TqvnParsedProxyLink parsed = ParseProxyLink(c.Link);
    EXPECT_EQ(parsed.Problem, "");
    EXPECT_EQ(parsed.Proxy, c.Proxy);
  }
}

TEST(ProxyLink, BadLinksSayWhy) {
  const std::string hex = kHexSecret;
  const struct {
    std::string Link;
    std::string Problem;  // the beginning of the reason
  } cases[] = {
      {"", "This is not a proxy link"},
      {"https://t.me/joinchat/abc?server=h&port=1", "This is not a proxy link"},
      {"https://evil.example/t.me/proxy?server=h&port=1&secret=" + hex, "This is not a proxy link"},
      {"tg://proxy", "This is not a proxy link"},
      {"tg://proxy?port=443&secret=" + hex, "The link has no server."},
      {"tg://socks?server=h", "The link has no port."},
      {"tg://socks?server=h&port=80a", "The link's port \"80a\" is not a number"},
      {"tg://socks?server=h&port=-1", "The link's port \"-1\" is not a number"},
      {"tg://socks?server=h&port=123456", "The link's port \"123456\" is not a number"},
      {"tg://socks?server=h&port=0", "The port must be a number from 1 to 65535."},
      {"tg://socks?server=h&port=65536", "The port must be a number from 1 to 65535."},
      {"tg://socks?server=a%20b&port=1", "The server \"a b\" has blanks"},
      {"tg://socks?server=h&port=1&user=%zz", "The link has a broken percent escape in \"user=%zz\""},
      {"tg://socks?server=h&port=1&pass=%4", "The link has a broken percent escape"},
      {"tg://proxy?server=h&port=1", "The link has no secret"},
      {"tg://proxy?server=h&port=1&secret=", "The secret is not one Telegram accepts"},
      {"tg://proxy?server=h&port=1&secret=" + hex.substr(2), "The secret is not one"},
      {"tg://proxy?server=h&port=1&secret=ab" + hex, "The secret is not one"},
      {"tg://proxy?server=h&port=1&secret=ee" + hex, "The secret is not one"},
      {"tg://proxy?server=h&port=1&secret=ASNFZ4mrze8BI0Vnia+N7w", "The secret is not one"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Link);
    const std::string problem = ParseProxyLink(c.Link).Problem;
    EXPECT_EQ(problem.substr(0, c.Problem.size()), c.Problem) << problem;
  }
}

// The form's proxies pass the same checks; SOCKS5 and HTTP take any credentials.
TEST(ProxyLink, ProxyProblemsOfTheForm) {
  TqvnProxy http = Socks5("h", 8080, "", "");
  http.Kind = TqvnProxyKind::http;
  EXPECT_EQ(ProxyProblem(http), "");
  EXPECT_EQ(ProxyProblem(Socks5("", 1, "u", "p")),
            "Enter the proxy's server: a host name or an IP address.");
  EXPECT_NE(ProxyProblem(Socks5("h\t", 1, "", "")), "");
  EXPECT_NE(ProxyProblem(MTProto("h", 1, "not hex or base64!")), "");
  // The rule is explained, not only refused.
  EXPECT_NE(MTProtoSecretProblem("00").find("32 hexadecimal digits"), std::string::npos);
}

}  // namespace
}  // namespace qvn::test
