#include "app/qvnStatusText.h"

#include <cstdint>

namespace qvn {

std::string ConnectionStateText(std::string_view aState) {
  const struct {
    std::string_view State;
    const char* Text;
  } kStates[] = {
      {"connectionStateWaitingForNetwork", "Waiting for network"},
      {"connectionStateConnectingToProxy", "Connecting to proxy…"},
      {"connectionStateConnecting", "Connecting…"},
      {"connectionStateUpdating", "Updating…"},
      {"connectionStateReady", "Ready"},
  };
  for (const auto& known : kStates) {
    if (known.State == aState) return known.Text;
  }
  return std::string(aState);
}

std::string LoginStepText(std::string_view aAuthorizationState, bool aBot) {
  const struct {
    std::string_view State;
    const char* Text;
  } kSteps[] = {
      {"authorizationStateWaitTdlibParameters", "the start-up settings (API id, API hash, database folder)"},
      {"authorizationStateWaitCode", "the code"},
      {"authorizationStateWaitPassword", "the password"},
      {"authorizationStateWaitRegistration", "the name for the new account"},
      {"authorizationStateWaitEmailAddress", "the e-mail address"},
      {"authorizationStateWaitEmailCode", "the e-mail code"},
  };
  if (aAuthorizationState == "authorizationStateWaitPhoneNumber") {
    return aBot ? "the bot token" : "the phone number";
  }
  for (const auto& step : kSteps) {
    if (step.State == aAuthorizationState) return step.Text;
  }
  return {};
}

std::string_view Trimmed(std::string_view aText) {
  const size_t first = aText.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return aText.substr(first, aText.find_last_not_of(" \t\r\n") - first + 1);
}

std::string LoginEntriesProblem(std::string_view aApiId, std::string_view aApiHash,
                                std::string_view aPhoneNumber, std::string_view aBotToken,
                                bool aBot) {
  const std::string_view apiId = Trimmed(aApiId);
  int64_t value = 0;
  bool number = !apiId.empty() && apiId.size() <= 10;
  for (char c : apiId) {
    if (c < '0' || c > '9') number = false;
    if (number) value = value * 10 + (c - '0');
  }
  if (!number || value < 1 || value > INT32_MAX) {
    return "The API id must be the number shown for your application at "
           "https://my.telegram.org (API development tools), not \"" +
           std::string(aApiId) + "\".";
  }
  if (Trimmed(aApiHash).empty()) {
    return "The API hash is empty: copy it from https://my.telegram.org (API development "
           "tools).";
  }
  if (aBot && Trimmed(aBotToken).empty()) {
    return "The bot token is empty: enter the token @BotFather gave you for the bot.";
  }
  if (!aBot && Trimmed(aPhoneNumber).empty()) {
    return "The phone number is empty: enter the account's number with its country code, "
           "for example +44 7700 900123.";
  }
  return {};
}

}  // namespace qvn
