// The answers to TDLib's login prompts as the program's own calls: the public login methods, the
// prompts that a handler may leave for later, and what happens when TDLib rejects an answer.
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

#include "client/qvnTelegram_ClientPrivate.h"
#include "client/qvnTelegram_Login.h"

namespace qvn {
namespace {

constexpr std::string_view kWaitPhoneNumber = "authorizationStateWaitPhoneNumber";
constexpr std::string_view kWaitCode = "authorizationStateWaitCode";
constexpr std::string_view kWaitPassword = "authorizationStateWaitPassword";
constexpr std::string_view kWaitRegistration = "authorizationStateWaitRegistration";

}  // namespace

std::string TqvnTDLib_Telegram_Client::AuthorizationState() const {
  return FPrivate->AuthorizationState();
}

std::string TqvnTDLib_Telegram_Client::TPrivate::AuthorizationState() const {
  TqvnLock lock(FAuthorizationStateLock);
  return FAuthorizationState;
}

void TqvnTDLib_Telegram_Client::TPrivate::SetAuthorizationState(std::string aState) {
  TqvnLock lock(FAuthorizationStateLock);
  FAuthorizationState = std::move(aState);
}

void TqvnTDLib_Telegram_Client::SetAuthenticationPhoneNumber(
    std::string_view aPhoneNumber, const TqvnTelegramOnAnswer& aOnAnswer) {
  FPrivate->SendLoginAnswer(kWaitPhoneNumber, SetAuthenticationPhoneNumberRequest(aPhoneNumber),
                            aOnAnswer);
}

void TqvnTDLib_Telegram_Client::CheckAuthenticationBotToken(std::string_view aToken,
                                                            const TqvnTelegramOnAnswer& aOnAnswer) {
  FPrivate->SendLoginAnswer(kWaitPhoneNumber, CheckAuthenticationBotTokenRequest(aToken),
                            aOnAnswer);
}

void TqvnTDLib_Telegram_Client::CheckAuthenticationCode(std::string_view aCode,
                                                        const TqvnTelegramOnAnswer& aOnAnswer) {
  FPrivate->SendLoginAnswer(kWaitCode, CheckAuthenticationCodeRequest(aCode), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::CheckAuthenticationPassword(std::string_view aPassword,
                                                            const TqvnTelegramOnAnswer& aOnAnswer) {
  FPrivate->SendLoginAnswer(kWaitPassword, CheckAuthenticationPasswordRequest(aPassword),
                            aOnAnswer);
}

void TqvnTDLib_Telegram_Client::RegisterUser(std::string_view aFirstName,
                                             std::string_view aLastName,
                                             const TqvnTelegramOnAnswer& aOnAnswer) {
  FPrivate->SendLoginAnswer(kWaitRegistration, RegisterUserRequest(aFirstName, aLastName),
                            aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SetTdlibParameters(const TqvnTelegramOnAnswer& aOnAnswer) {
  try {
    FPrivate->SendTdlibParameters(aOnAnswer);
  } catch (const std::exception& e) {
    DoException(e);
    FPrivate->RefuseRequest(aOnAnswer, e.what());
  }
}

void TqvnTDLib_Telegram_Client::TPrivate::SendLoginAnswer(std::string_view aState,
                                                          const std::string& aRequest,
                                                          const TqvnTelegramOnAnswer& aOnAnswer) {
  TqvnTelegramOnAnswer login(
      [this, state = std::string(aState), caller = aOnAnswer.Handler](
          TqvnTDLib_Telegram_Client*, const TqvnTelegramAnswer& aAnswer) {
        // The caller's handler first; a failure of a handler never keeps the prompt from
        // coming back.
        if (caller) DeliverAnswer(caller, aAnswer);
        if (aAnswer.Kind != takTDLibError) return;
        try {
          FClient.DoAuthenticationError(state, aAnswer.Code, aAnswer.Message);
        } catch (const std::exception& e) {
          FClient.DoException(e);
        }
        AskAgain(state);
      },
      aOnAnswer.Timeout);
  // Without the caller's handler the answer also reaches the events.
  SendRequest(aRequest, login, /*aPassOn=*/!aOnAnswer);
}

void TqvnTDLib_Telegram_Client::TPrivate::AskAuthenticationCode() {
  std::string code;
  FClient.DoAuthenticationCode(code);
  if (!code.empty()) FClient.CheckAuthenticationCode(code);
}

void TqvnTDLib_Telegram_Client::TPrivate::AskAuthenticationPassword() {
  std::string password;
  FClient.DoAuthenticationPassword(password);
  if (!password.empty()) FClient.CheckAuthenticationPassword(password);
}

void TqvnTDLib_Telegram_Client::TPrivate::AskRegistration() {
  std::string firstName;
  std::string lastName;
  FClient.DoRegisterUser(firstName, lastName);
  if (!firstName.empty()) FClient.RegisterUser(firstName, lastName);
}

void TqvnTDLib_Telegram_Client::TPrivate::AskAgain(const std::string& aState) {
  // TDLib may have moved on (too many attempts send it back to the phone number).
  if (AuthorizationState() != aState) return;
  if (aState == kWaitCode) {
    AskAuthenticationCode();
  } else if (aState == kWaitPassword) {
    AskAuthenticationPassword();
  } else if (aState == kWaitRegistration) {
    AskRegistration();
  }
  // The other states are answered from the options, which would only be rejected again.
}

void TqvnTDLib_Telegram_Client::DoAuthenticationError(const std::string& aState, int32_t aCode,
                                                      const std::string& aMessage) {
  if (OnAuthenticationError) OnAuthenticationError(this, aState, aCode, aMessage);
}

}  // namespace qvn
