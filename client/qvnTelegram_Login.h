// The request texts with which the client answers TDLib's authorization states.
//
// The client's dispatcher sends them when TDLib reports the matching
// "updateAuthorizationState" (qvnTelegram_Login.cpp); they are free functions so the texts can
// be checked on their own. Every value placed between quotes is JSON-escaped, so a password,
// name or database path holding a quote, a backslash or a line break arrives as typed and never
// breaks the request or adds members to it.
//
// Pure functions without state: callable from any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_LOGIN_H
#define QVN_CLIENT_QVNTELEGRAM_LOGIN_H

#include <stdexcept>
#include <string>
#include <string_view>

#include "client/qvnTelegram_Options.h"

namespace qvn {

// An option holds a value that cannot be sent to TDLib.
class EqvnTelegramOptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// TDLib releases after this one take the parameters of setTdlibParameters as members of the
// request itself; this one and older ones expect them inside a "parameters" object.
inline constexpr std::string_view kLastNestedParametersTDLib = "1.8.1";

// setTdlibParameters from the options, naming aDatabaseDirectory. With aTDLibVersion newer than
// kLastNestedParametersTDLib (compared numerically, part by part) the members are the request's
// own (flat layout); otherwise they sit in a "parameters" object (nested layout). Throws
// EqvnTelegramOptionError "API id must be a decimal number" when Options.API().ApiId() is not
// a decimal integer that fits TDLib's 32-bit api_id (it is written without quotes).
std::string SetTdlibParametersRequest(const TqvnTelegram_Options& aOptions,
                                      std::string_view aDatabaseDirectory,
                                      std::string_view aTDLibVersion);

std::string CheckDatabaseEncryptionKeyRequest(std::string_view aEncryptionKey);
std::string CheckAuthenticationBotTokenRequest(std::string_view aToken);
std::string SetAuthenticationPhoneNumberRequest(std::string_view aPhoneNumber);
std::string CheckAuthenticationCodeRequest(std::string_view aCode);
std::string CheckAuthenticationPasswordRequest(std::string_view aPassword);
std::string RegisterUserRequest(std::string_view aFirstName, std::string_view aLastName);

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_LOGIN_H
