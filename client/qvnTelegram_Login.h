// The request texts with which the client answers TDLib's authorization states.
//
// The client's dispatcher sends them when TDLib reports the matching
// "updateAuthorizationState" (qvnTelegram_Login.cpp); they are free functions so the texts can
// be checked on their own. Every value placed between quotes is JSON-escaped, so a password,
// name or database path holding a quote, a backslash or a line break arrives as typed and never
// breaks the request or adds members to it. The database encryption key is bytes to TDLib and
// travels Base64-encoded, so any key arrives as typed.
//
// The database key. TDLib up to 1.8.5 asks for it in a state of its own
// (authorizationStateWaitEncryptionKey, answered with checkDatabaseEncryptionKey); from 1.8.6 it
// is a member of the flat setTdlibParameters, sent in every flat request (an empty key when none
// is set, which is what TDLib assumes without one). Both requests carry their own name as
// "@extra", so TDLib's error answering one of them is known for a refused key (LoginRefusal).
//
// Pure functions without state: callable from any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_LOGIN_H
#define QVN_CLIENT_QVNTELEGRAM_LOGIN_H

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "client/qvnTelegram_Options.h"
#include "json/qvnJSON.h"

namespace qvn {

// An option holds a value that cannot be sent to TDLib.
class EqvnTelegramOptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// TDLib's error answering a login request that carries the database key: the key was refused.
// The message gives TDLib's code and message.
class EqvnTelegramLoginError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// TDLib releases after this one take the parameters of setTdlibParameters as members of the
// request itself; this one and older ones expect them inside a "parameters" object.
inline constexpr std::string_view kLastNestedParametersTDLib = "1.8.5";
// From this release on TDLib no longer reads "enable_storage_optimizer" (it became an option).
inline constexpr std::string_view kTDLibWithoutStorageOptimizerParameter = "1.8.24";

// setTdlibParameters from the options, naming aDatabaseDirectory. With aTDLibVersion newer than
// kLastNestedParametersTDLib (compared numerically, part by part) the members are the request's
// own (flat layout) and the database key (Options.DBEncryptionKey(), Base64) is one of them,
// with "@extra": "setTdlibParameters"; otherwise they sit in a "parameters" object (nested
// layout, the key follows in checkDatabaseEncryptionKey). "enable_storage_optimizer" is sent
// to the releases that read it. Throws EqvnTelegramOptionError "API id must be a decimal
// number" when Options.API().ApiId() is not a decimal integer that fits TDLib's 32-bit api_id
// (it is written without quotes).
std::string SetTdlibParametersRequest(const TqvnTelegram_Options& aOptions,
                                      std::string_view aDatabaseDirectory,
                                      std::string_view aTDLibVersion);

// The key Base64-encoded, with "@extra": "checkDatabaseEncryptionKey".
std::string CheckDatabaseEncryptionKeyRequest(std::string_view aEncryptionKey);
std::string CheckAuthenticationBotTokenRequest(std::string_view aToken);
std::string SetAuthenticationPhoneNumberRequest(std::string_view aPhoneNumber);
std::string CheckAuthenticationCodeRequest(std::string_view aCode);
std::string CheckAuthenticationPasswordRequest(std::string_view aPassword);
std::string RegisterUserRequest(std::string_view aFirstName, std::string_view aLastName);

// For an "error" event of TDLib (read into aEvent) that answers a request carrying the database
// key: the error to report. It says that the key was refused ("The database encryption key was
// refused (TDLib error 401: Wrong database encryption key)") for any error of the key check and
// for TDLib's 401 to the flat parameters. Null for any other event: the parameters' other errors
// (an invalid API id) reach the program as OnAuthenticationError.
std::unique_ptr<EqvnTelegramLoginError> LoginRefusal(const TqvnJSON& aEvent);

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_LOGIN_H
