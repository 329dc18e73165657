// The login flow: how the client answers each authorization state TDLib reports, and the
// request texts it answers with.
#include "client/qvnTelegram_Login.h"

#include <charconv>

#include "client/qvnTelegram_ClientPrivate.h"
#include "client/qvnTelegram_NodeText.h"
#include "client/qvnTelegram_RequestText.h"
#include "client/qvnTelegram_Version.h"
#include "json/qvnBase_Helpers.h"

namespace qvn {
namespace {

// The API id as TDLib's api_id number: a decimal integer of 32 bits, without sign or blanks.
int32_t ApiIdNumber(const std::string& aApiId) {
  int32_t value = 0;
  const char* end = aApiId.data() + aApiId.size();
  const bool digitsOnly = !aApiId.empty() && aApiId.front() >= '0' && aApiId.front() <= '9';
  const auto [stop, error] = std::from_chars(aApiId.data(), end, value);
  if (!digitsOnly || error != std::errc() || stop != end) {
    throw EqvnTelegramOptionError("API id must be a decimal number");
  }
  return value;
}

// The members every layout of setTdlibParameters carries, as a member list.
std::string TdlibParametersMembers(const TqvnTelegram_Options& aOptions,
                                   std::string_view aDatabaseDirectory) {
  const TqvnTelegramParameters_Options& device = aOptions.Parameters();
  return FillTemplate(
      R"("database_directory": "%s","use_message_database": true,"use_secret_chats": true,)"
      R"("api_id": %d,"api_hash": "%s", "system_language_code": "%s", "device_model": "%s", )"
      R"("system_version": "%s", "application_version": "%s")",
      {aDatabaseDirectory, ApiIdNumber(aOptions.API().ApiId()), aOptions.API().ApiHash(),
       device.LanguageCode(), device.DeviceModel(), device.SystemVersion(),
       device.ApplicationVersion()});
}

}  // namespace

std::string SetTdlibParametersRequest(const TqvnTelegram_Options& aOptions,
                                      std::string_view aDatabaseDirectory,
                                      std::string_view aTDLibVersion) {
  const std::string members = TdlibParametersMembers(aOptions, aDatabaseDirectory);
  if (!TDLibVersionNewerThan(aTDLibVersion, kLastNestedParametersTDLib)) {
    return FillTemplate(
        R"({"@type": "setTdlibParameters", "parameters": {%j, "enable_storage_optimizer": true}})",
        {JSONPiece(members)});
  }
  const std::string key = EncodeBase64(aOptions.DBEncryptionKey());
  if (!TDLibVersionAtLeast(aTDLibVersion, kTDLibWithoutStorageOptimizerParameter)) {
    return FillTemplate(R"({"@type": "setTdlibParameters", %j, "enable_storage_optimizer": true, )"
                        R"("database_encryption_key": "%e", "@extra": "setTdlibParameters"})",
                        {JSONPiece(members), EscapedText(key)});
  }
  return FillTemplate(R"({"@type": "setTdlibParameters", %j, )"
                      R"("database_encryption_key": "%e", "@extra": "setTdlibParameters"})",
                      {JSONPiece(members), EscapedText(key)});
}

std::string CheckDatabaseEncryptionKeyRequest(std::string_view aEncryptionKey) {
  return FillTemplate(R"({"@type": "checkDatabaseEncryptionKey", "encryption_key": "%e", )"
                      R"("@extra": "checkDatabaseEncryptionKey"})",
                      {EscapedText(EncodeBase64(aEncryptionKey))});
}

std::string CheckAuthenticationBotTokenRequest(std::string_view aToken) {
  return FillTemplate(R"({"@type": "checkAuthenticationBotToken", "token": "%s"})", {aToken});
}

std::string SetAuthenticationPhoneNumberRequest(std::string_view aPhoneNumber) {
  return FillTemplate(R"({"@type": "setAuthenticationPhoneNumber", "phone_number": "%s"})",
                      {aPhoneNumber});
}

std::string CheckAuthenticationCodeRequest(std::string_view aCode) {
  return FillTemplate(R"({"@type": "checkAuthenticationCode", "code": "%s"})", {aCode});
}

std::string CheckAuthenticationPasswordRequest(std::string_view aPassword) {
  return FillTemplate(R"({"@type": "checkAuthenticationPassword", "password": "%s"})", {aPassword});
}

std::string RegisterUserRequest(std::string_view aFirstName, std::string_view aLastName) {
  return FillTemplate(R"({"@type": "registerUser", "first_name": "%s", "last_name": "%s"})",
                      {aFirstName, aLastName});
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

void TqvnTDLib_Telegram_Client::TPrivate::DoAuthorizationState(const std::string& aState,
                                                               const std::string& aText) {
  SetAuthorizationState(aState);
  FClient.DoAuthorizationStatus(aState);

  if (aState == "authorizationStateClosed") return;
  if (aState == "authorizationStateWaitTdlibParameters") {
    SendTdlibParameters();
  } else if (aState == "authorizationStateWaitEncryptionKey") {
    SendLoginAnswer(aState, CheckDatabaseEncryptionKeyRequest(FTelegram.DBEncryptionKey()), {});
  } else if (aState == "authorizationStateWaitPhoneNumber") {
    // Neither set: the program answers later.
    if (!FTelegram.BotToken().empty()) {
      FClient.CheckAuthenticationBotToken(FTelegram.BotToken());
    } else if (!FTelegram.PhoneNumber().empty()) {
      FClient.SetAuthenticationPhoneNumber(FTelegram.PhoneNumber());
    }
  } else if (aState == "authorizationStateWaitCode") {
    AskAuthenticationCode();
  } else if (aState == "authorizationStateWaitRegistration") {
    AskRegistration();
  } else if (aState == "authorizationStateWaitPassword") {
    AskAuthenticationPassword();
  } else {
    FClient.DoEvent("updateAuthorizationState", aText);
  }
}

void TqvnTDLib_Telegram_Client::TPrivate::SendTdlibParameters(
    const TqvnTelegramOnAnswer& aOnAnswer) {
  // Activation has created the directory owner-only and holds its lock.
  SendLoginAnswer("authorizationStateWaitTdlibParameters",
                  SetTdlibParametersRequest(FTelegram, GetDatabaseDirectory(), TDLibVersion()),
                  aOnAnswer);
}

}  // namespace qvn
