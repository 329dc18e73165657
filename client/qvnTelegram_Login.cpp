// The login flow: how the client answers each authorization state TDLib reports, and the
// request texts it answers with.
#include "client/qvnTelegram_Login.h"

#include <charconv>

#include "client/qvnLib_Telegram_Client.h"
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
  members += "\"application_version\": \"" + Quoted(device.ApplicationVersion()) + "\", ";
  members += "\"enable_storage_optimizer\": true}";
  if (TDLibVersionNewerThan(aTDLibVersion, kLastNestedParametersTDLib)) {
    return "{\"@type\": \"setTdlibParameters\", " + members;
  }
  return "{\"@type\": \"setTdlibParameters\", \"parameters\": {" + members + "}";
}

std::string CheckDatabaseEncryptionKeyRequest(std::string_view aEncryptionKey) {
  return "{\"@type\": \"checkDatabaseEncryptionKey\", \"encryption_key\": \"" +
         Quoted(aEncryptionKey) + "\"}";
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

void TqvnTDLib_Telegram_Client::DoAuthorizationState(const std::string& aState,
                                                     const std::string& aText) {
  DoAuthorizationStatus(aState);

  if (aState == "authorizationStateClosed") return;
  if (aState == "authorizationStateWaitTdlibParameters") {
    SendTdlibParameters();
  } else if (aState == "authorizationStateWaitEncryptionKey") {
    DoTDLibSend(CheckDatabaseEncryptionKeyRequest(Telegram().DBEncryptionKey()));
  } else if (aState == "authorizationStateWaitPhoneNumber") {
    const std::string& botToken = Telegram().BotToken();
    DoTDLibSend(botToken.empty() ? SetAuthenticationPhoneNumberRequest(Telegram().PhoneNumber())
                                 : CheckAuthenticationBotTokenRequest(botToken));
  } else if (aState == "authorizationStateWaitCode") {
    std::string code;
    DoAuthenticationCode(code);
    CheckAuthenticationCode(code);
  } else if (aState == "authorizationStateWaitRegistration") {
    std::string firstName;
    std::string lastName;
    DoRegisterUser(firstName, lastName);
    RegisterUser(firstName, lastName);
  } else if (aState == "authorizationStateWaitPassword") {
    std::string password;
    DoAuthenticationPassword(password);
    CheckAuthenticationPassword(password);
  } else {
    DoEvent("updateAuthorizationState", aText);
  }
}

void TqvnTDLib_Telegram_Client::SendTdlibParameters() {
  // Activation has created the directory owner-only and holds its lock.
  DoTDLibSend(SetTdlibParametersRequest(Telegram(), GetDatabaseDirectory(), TDLibVersion()));
}

void TqvnTDLib_Telegram_Client::CheckAuthenticationCode(const std::string& aCode) {
  DoTDLibSend(CheckAuthenticationCodeRequest(aCode));
}

void TqvnTDLib_Telegram_Client::CheckAuthenticationPassword(const std::string& aPassword) {
  DoTDLibSend(CheckAuthenticationPasswordRequest(aPassword));
}

void TqvnTDLib_Telegram_Client::RegisterUser(const std::string& aFirstName,
                                             const std::string& aLastName) {
  DoTDLibSend(RegisterUserRequest(aFirstName, aLastName));
}

}  // namespace qvn
