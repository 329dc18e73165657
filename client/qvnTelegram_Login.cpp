// The login flow: how the client answers each authorization state TDLib reports, and the
// request texts it answers with.
#include "client/qvnTelegram_Login.h"

#include <charconv>

#include "client/qvnLib_Telegram_Client.h"
#include "client/qvnTelegram_NodeText.h"
#include "client/qvnTelegram_Version.h"
#include "json/qvnBase_Helpers.h"

namespace qvn {
namespace {

// The API id as TDLib's api_id number: a decimal integer of 32 bits, without sign or blanks.
std::string ApiIdNumber(const std::string& aApiId) {
  int32_t value = 0;
  const char* end = aApiId.data() + aApiId.size();
  const bool digitsOnly = !aApiId.empty() && aApiId.front() >= '0' && aApiId.front() <= '9';
  const auto [stop, error] = std::from_chars(aApiId.data(), end, value);
  if (!digitsOnly || error != std::errc() || stop != end) {
    throw EqvnTelegramOptionError("API id must be a decimal number");
  }
  return std::to_string(value);
}

// aText escaped for a place between double quotes.
std::string Quoted(std::string_view aText) {
  return EscapeJSONString(aText);
}

}  // namespace

std::string SetTdlibParametersRequest(const TqvnTelegram_Options& aOptions,
                                      std::string_view aDatabaseDirectory,
                                      std::string_view aTDLibVersion) {
  const TqvnTelegramParameters_Options& device = aOptions.Parameters();
  std::string members = "\"database_directory\": \"" + Quoted(aDatabaseDirectory) + "\",";
  members += "\"use_message_database\": true,";
  members += "\"use_secret_chats\": true,";
  members += "\"api_id\": " + ApiIdNumber(aOptions.API().ApiId()) + ",";
  members += "\"api_hash\": \"" + Quoted(aOptions.API().ApiHash()) + "\", ";
  members += "\"system_language_code\": \"" + Quoted(device.LanguageCode()) + "\", ";
  members += "\"device_model\": \"" + Quoted(device.DeviceModel()) + "\", ";
  members += "\"system_version\": \"" + Quoted(device.SystemVersion()) + "\", ";
  members += "\"application_version\": \"" + Quoted(device.ApplicationVersion()) + "\"";
  if (!TDLibVersionNewerThan(aTDLibVersion, kLastNestedParametersTDLib)) {
    members += ", \"enable_storage_optimizer\": true}";
    return "{\"@type\": \"setTdlibParameters\", \"parameters\": {" + members + "}";
  }
  if (!TDLibVersionAtLeast(aTDLibVersion, kTDLibWithoutStorageOptimizerParameter)) {
    members += ", \"enable_storage_optimizer\": true";
  }
  members += ", \"database_encryption_key\": \"" + EncodeBase64(aOptions.DBEncryptionKey()) + "\"";
  members += ", \"@extra\": \"setTdlibParameters\"}";
  return "{\"@type\": \"setTdlibParameters\", " + members;
}

std::string CheckDatabaseEncryptionKeyRequest(std::string_view aEncryptionKey) {
  return "{\"@type\": \"checkDatabaseEncryptionKey\", \"encryption_key\": \"" +
         EncodeBase64(aEncryptionKey) + "\", \"@extra\": \"checkDatabaseEncryptionKey\"}";
}

std::string CheckAuthenticationBotTokenRequest(std::string_view aToken) {
  return "{\"@type\": \"checkAuthenticationBotToken\", \"token\": \"" + Quoted(aToken) + "\"}";
}

std::string SetAuthenticationPhoneNumberRequest(std::string_view aPhoneNumber) {
  return "{\"@type\": \"setAuthenticationPhoneNumber\", \"phone_number\": \"" +
         Quoted(aPhoneNumber) + "\"}";
}

std::string CheckAuthenticationCodeRequest(std::string_view aCode) {
  return "{\"@type\": \"checkAuthenticationCode\", \"code\": \"" + Quoted(aCode) + "\"}";
}

std::string CheckAuthenticationPasswordRequest(std::string_view aPassword) {
  return "{\"@type\": \"checkAuthenticationPassword\", \"password\": \"" + Quoted(aPassword) +
         "\"}";
}

std::string RegisterUserRequest(std::string_view aFirstName, std::string_view aLastName) {
  return "{\"@type\": \"registerUser\", \"first_name\": \"" + Quoted(aFirstName) +
         "\", \"last_name\": \"" + Quoted(aLastName) + "\"}";
}

std::unique_ptr<EqvnTelegramLoginError> LoginRefusal(const TqvnJSON& aEvent) {
  const IqvnObjectJSON type = aEvent.GetNode("@type");
  const IqvnObjectJSON extra = aEvent.GetNode("@extra");
  if (!type || !extra || NodeText(*type) != "error") return nullptr;
  const std::string request = NodeText(*extra);
  if (request != "setTdlibParameters" && request != "checkDatabaseEncryptionKey") return nullptr;

  const IqvnObjectJSON code = aEvent.GetNode("code");
  const IqvnObjectJSON message = aEvent.GetNode("message");
  std::string text = message ? NodeText(*message) : std::string();
  try {
    text = UnescapeJSONString(text);
  } catch (const EqvnUnescapeError&) {
    // Shown as TDLib wrote it.
  }
  const std::string tdlibError =
      "TDLib error " + (code ? NodeText(*code) : std::string("?")) + ": " + text;
  // TDLib answers a wrong key with 401 in the flat parameters, and the key check can only fail
  // on the key. Other refusals of the parameters (an invalid API id) reach the program as
  // OnAuthenticationError, like every rejected login answer.
  const bool keyRefused =
      request == "checkDatabaseEncryptionKey" || (code && NodeText(*code) == "401");
  if (!keyRefused) return nullptr;
  return std::make_unique<EqvnTelegramLoginError>("The database encryption key was refused (" +
                                                  tdlibError + ")");
}

void TqvnTDLib_Telegram_Client::DoAuthorizationState(const std::string& aState,
                                                     const std::string& aText) {
  SetAuthorizationState(aState);
  DoAuthorizationStatus(aState);

  if (aState == "authorizationStateClosed") return;
  if (aState == "authorizationStateWaitTdlibParameters") {
    SendTdlibParameters();
  } else if (aState == "authorizationStateWaitEncryptionKey") {
    SendLoginAnswer(aState, CheckDatabaseEncryptionKeyRequest(Telegram().DBEncryptionKey()), {});
  } else if (aState == "authorizationStateWaitPhoneNumber") {
    // Neither set: the program answers later.
    if (!Telegram().BotToken().empty()) {
      CheckAuthenticationBotToken(Telegram().BotToken());
    } else if (!Telegram().PhoneNumber().empty()) {
      SetAuthenticationPhoneNumber(Telegram().PhoneNumber());
    }
  } else if (aState == "authorizationStateWaitCode") {
    AskAuthenticationCode();
  } else if (aState == "authorizationStateWaitRegistration") {
    AskRegistration();
  } else if (aState == "authorizationStateWaitPassword") {
    AskAuthenticationPassword();
  } else {
    DoEvent("updateAuthorizationState", aText);
  }
}

void TqvnTDLib_Telegram_Client::SendTdlibParameters(const TqvnTelegramOnAnswer& aOnAnswer) {
  // Activation has created the directory owner-only and holds its lock.
  SendLoginAnswer("authorizationStateWaitTdlibParameters",
                  SetTdlibParametersRequest(Telegram(), GetDatabaseDirectory(), TDLibVersion()),
                  aOnAnswer);
}

}  // namespace qvn
