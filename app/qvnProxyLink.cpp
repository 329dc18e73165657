#include "app/qvnProxyLink.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "json/qvnBase_Helpers.h"

namespace qvn {
namespace {

constexpr int kMaxPort = 65535;
constexpr size_t kSecretBytes = 16;
constexpr unsigned char kPaddedSecret = 0xdd;
constexpr unsigned char kFakeTLSSecret = 0xee;

bool IsHexDigit(char aChar) {
  return std::isxdigit(static_cast<unsigned char>(aChar)) != 0;
}

bool IsBase64URLChar(char aChar) {
  return std::isalnum(static_cast<unsigned char>(aChar)) != 0 || aChar == '-' || aChar == '_';
}

std::string Lower(std::string_view aText) {
  std::string lower(aText);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char aChar) { return static_cast<char>(std::tolower(aChar)); });
  return lower;
}

// The secret's bytes: from hex digits, or from base64url; nothing when it is neither.
std::optional<std::string> SecretBytes(std::string_view aSecret) {
  if (std::all_of(aSecret.begin(), aSecret.end(), IsHexDigit) && aSecret.size() % 2 == 0) {
    std::string bytes;
    for (size_t i = 0; i < aSecret.size(); i += 2) {
      bytes.push_back(static_cast<char>(std::stoi(std::string(aSecret.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
  }
  std::string_view digits = aSecret.substr(0, aSecret.find_last_not_of('=') + 1);
  if (aSecret.size() - digits.size() > 2 || digits.size() % 4 == 1 ||
      !std::all_of(digits.begin(), digits.end(), IsBase64URLChar)) {
    return std::nullopt;
  }
  std::string standard(digits);
  std::replace(standard.begin(), standard.end(), '-', '+');
  std::replace(standard.begin(), standard.end(), '_', '/');
  standard.append((4 - standard.size() % 4) % 4, '=');
  return DecodeBase64(standard);
}

// "%41" decoded; nothing when a "%" is not followed by two hex digits.
std::optional<std::string> PercentDecoded(std::string_view aText) {
  std::string decoded;
  for (size_t i = 0; i < aText.size(); ++i) {
    if (aText[i] != '%') {
      decoded.push_back(aText[i]);
      continue;
    }
    if (i + 2 >= aText.size() || !IsHexDigit(aText[i + 1]) || !IsHexDigit(aText[i + 2])) {
      return std::nullopt;
    }
    decoded.push_back(static_cast<char>(std::stoi(std::string(aText.substr(i + 1, 2)), nullptr, 16)));
    i += 2;
  }
  return decoded;
}

struct TQuery {
  std::vector<std::pair<std::string, std::string>> Values;
  std::string Problem;
  // The first value of aName, or nothing.
  std::optional<std::string> Value(std::string_view aName) const {
    for (const auto& [name, value] : Values) {
      if (name == aName) return value;
    }
    return std::nullopt;
  }
};

TQuery ReadQuery(std::string_view aQuery) {
  TQuery query;
  while (!aQuery.empty()) {
    const size_t end = std::min(aQuery.find('&'), aQuery.size());
    const std::string_view pair = aQuery.substr(0, end);
    aQuery.remove_prefix(std::min(end + 1, aQuery.size()));
    if (pair.empty()) continue;
    const size_t equals = std::min(pair.find('='), pair.size());
    const std::optional<std::string> name = PercentDecoded(pair.substr(0, equals));
    const std::optional<std::string> value =
        PercentDecoded(pair.substr(std::min(equals + 1, pair.size())));
    if (!name || !value) {
      query.Problem = "The link has a broken percent escape in \"" + std::string(pair) +
                      "\": each \"%\" must be followed by two hexadecimal digits.";
      return query;
    }
    query.Values.emplace_back(*name, *value);
  }
  return query;
}

// The link's kind ("proxy" or "socks") and its query; an empty kind when it is no proxy link.
std::pair<std::string, std::string_view> KindAndQuery(std::string_view aLink) {
  const size_t mark = aLink.find('?');
  if (mark == std::string_view::npos) return {};
  const std::string path = Lower(aLink.substr(0, mark));
  const std::string_view query = aLink.substr(mark + 1, aLink.find('#') - mark - 1);
  for (const char* kind : {"proxy", "socks"}) {
    if (path == std::string("tg://") + kind || path == std::string("tg:") + kind) {
      return {kind, query};
    }
    for (const char* scheme : {"https://", "http://", ""}) {
      for (const char* host : {"t.me/", "telegram.me/", "telegram.dog/"}) {
        const std::string prefix = std::string(scheme) + host;
        if (path == prefix + kind || path == prefix + kind + "/") return {kind, query};
      }
    }
  }
  return {};
}

std::string_view Trimmed(std::string_view aText) {
  const size_t begin = aText.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return {};
  return aText.substr(begin, aText.find_last_not_of(" \t\r\n") - begin + 1);
}

}  // namespace

std::string MTProtoSecretProblem(std::string_view aSecret) {
  const std::optional<std::string> bytes = SecretBytes(aSecret);
  const bool good =
      bytes && (bytes->size() == kSecretBytes ||
                (bytes->size() == kSecretBytes + 1 &&
                 static_cast<unsigned char>(bytes->front()) == kPaddedSecret) ||
                (bytes->size() > kSecretBytes + 1 &&
                 static_cast<unsigned char>(bytes->front()) == kFakeTLSSecret));
  if (good) return {};
  return "The secret is not one Telegram accepts. It is 32 hexadecimal digits, the same 32 after "
         "\"dd\", or after \"ee\" followed by the hexadecimal of a domain name; or those bytes in "
         "base64url, as proxy links write them.";
}

std::string ProxyProblem(const TqvnProxy& aProxy) {
  if (aProxy.Server.empty()) return "Enter the proxy's server: a host name or an IP address.";
  if (aProxy.Server.find_first_of(" \t\r\n") != std::string::npos) {
    return "The server \"" + aProxy.Server + "\" has blanks in it: a host name or an IP address "
           "has none.";
  }
  if (aProxy.Port < 1 || aProxy.Port > kMaxPort) {
    return "The port must be a number from 1 to 65535.";
  }
  if (aProxy.Kind == TqvnProxyKind::mtproto) return MTProtoSecretProblem(aProxy.Secret);
  return {};
}

TqvnParsedProxyLink ParseProxyLink(std::string_view aLink) {
  TqvnParsedProxyLink parsed;
  const auto [kind, queryText] = KindAndQuery(Trimmed(aLink));
  if (kind.empty()) {
    parsed.Problem = "This is not a proxy link. Proxy links start with tg://proxy?, tg://socks?, "
                     "https://t.me/proxy? or https://t.me/socks?.";
    return parsed;
  }
  const TQuery query = ReadQuery(queryText);
  if (!query.Problem.empty()) {
    parsed.Problem = query.Problem;
    return parsed;
  }
  TqvnProxy& proxy = parsed.Proxy;
  proxy.Kind = kind == "proxy" ? TqvnProxyKind::mtproto : TqvnProxyKind::socks5;
  proxy.Server = query.Value("server").value_or("");
  const std::string port = query.Value("port").value_or("");
  const bool portDigits = !port.empty() && port.size() <= 5 &&
                          std::all_of(port.begin(), port.end(), [](char aChar) {
                            return std::isdigit(static_cast<unsigned char>(aChar)) != 0;
                          });
  if (proxy.Server.empty()) {
    parsed.Problem = "The link has no server.";
  } else if (port.empty()) {
    parsed.Problem = "The link has no port.";
  } else if (!portDigits) {
    parsed.Problem = "The link's port \"" + port + "\" is not a number from 1 to 65535.";
  } else if (proxy.Kind == TqvnProxyKind::mtproto && !query.Value("secret")) {
    parsed.Problem = "The link has no secret: an MTProto proxy needs one.";
  }
  if (!parsed.Problem.empty()) return parsed;
  proxy.Port = std::stoi(port);
  if (proxy.Kind == TqvnProxyKind::mtproto) {
    proxy.Secret = *query.Value("secret");
  } else {
    proxy.UserName = query.Value("user").value_or("");
    proxy.Password = query.Value("pass").value_or("");
  }
  parsed.Problem = ProxyProblem(proxy);
  return parsed;
}

}  // namespace qvn
