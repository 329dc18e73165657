#include "app/qvnErrorText.h"

#include <cctype>

namespace qvn {
namespace {

struct TKnownError {
  std::string_view Name;
  std::string_view Words;
};

// Telegram's error names (exact), as TDLib passes them on.
constexpr TKnownError kKnownErrors[] = {
    {"PHONE_NUMBER_INVALID",
     "The phone number is not valid. Type it in international format, with the country code."},
    {"PHONE_NUMBER_BANNED", "This phone number is banned from Telegram."},
    {"PHONE_NUMBER_FLOOD", "This phone number asked for too many codes. Try again later."},
    {"PHONE_NUMBER_UNOCCUPIED", "No account uses this phone number yet."},
    {"PHONE_CODE_INVALID", "The code is not correct. Check it and type it again."},
    {"PHONE_CODE_EMPTY", "The code is empty. Type the code Telegram sent you."},
    {"PHONE_CODE_EXPIRED", "The code has expired. Ask for a new code and type that one."},
    {"CODE_INVALID", "The code is not correct. Check it and type it again."},
    {"EMAIL_INVALID", "The e-mail address is not valid."},
    {"EMAIL_CODE_INVALID", "The e-mail code is not correct. Check it and type it again."},
    {"EMAIL_NOT_ALLOWED", "This e-mail address cannot be used for logging in."},
    {"PASSWORD_HASH_INVALID", "The password is not correct."},
    {"PHONE_PASSWORD_FLOOD", "Too many wrong passwords. Try again later."},
    {"FIRSTNAME_INVALID", "The first name is not valid."},
    {"LASTNAME_INVALID", "The last name is not valid."},
    {"ACCESS_TOKEN_INVALID", "The bot token is not valid. Copy it again from @BotFather."},
    {"ACCESS_TOKEN_EXPIRED", "The bot token was revoked. Get a new one from @BotFather."},
    {"API_ID_INVALID", "The API id and hash do not match. Copy both again from my.telegram.org."},
    {"API_ID_PUBLISHED_FLOOD",
     "This API id was published and is limited. Use an API id of your own from my.telegram.org."},
    {"AUTH_KEY_UNREGISTERED", "This session is no longer logged in. Log in again."},
    {"SESSION_REVOKED", "This session was ended from another device. Log in again."},
    {"USER_DEACTIVATED", "This account was deleted."},
    {"USER_DEACTIVATED_BAN", "This account was banned."},
    {"USERNAME_NOT_OCCUPIED", "No one uses this username."},
    {"USERNAME_INVALID", "This username is not valid."},
    {"CHAT_WRITE_FORBIDDEN", "You cannot write in this chat."},
    {"MESSAGE_TOO_LONG", "The message is too long."},
};

// "a minute", "5 minutes", "2 hours", "30 seconds".
std::string Wait(int64_t aSeconds) {
  const auto count = [](int64_t aValue, const char* aUnit) {
    return (aValue == 1 ? std::string("a ") + aUnit : std::to_string(aValue) + " " + aUnit + "s");
  };
  if (aSeconds >= 2 * 3600) return count((aSeconds + 1799) / 3600, "hour");
  if (aSeconds >= 60) return count((aSeconds + 59) / 60, "minute");
  return count(aSeconds, "second");
}

// The seconds of "FLOOD_WAIT_300" (or "Too Many Requests: retry after 300", TDLib's own form);
// -1 for any other message.
int64_t FloodSeconds(std::string_view aMessage) {
  for (std::string_view prefix : {"FLOOD_WAIT_", "Too Many Requests: retry after "}) {
    if (aMessage.substr(0, prefix.size()) != prefix) continue;
    std::string_view digits = aMessage.substr(prefix.size());
    if (digits.empty() || digits.size() > 9) return -1;
    int64_t seconds = 0;
    for (char c : digits) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
      seconds = seconds * 10 + (c - '0');
    }
    return seconds;
  }
  return -1;
}

}  // namespace

std::string TDLibErrorText(int32_t aCode, std::string_view aMessage) {
  const std::string tdlib =
      std::string(aMessage) + (aMessage.empty() ? "error " : ", error ") + std::to_string(aCode);
  const int64_t flood = FloodSeconds(aMessage);
  if (flood >= 0) return "Too many attempts. Try again in " + Wait(flood) + ". (" + tdlib + ")";
  for (const TKnownError& known : kKnownErrors) {
    if (aMessage == known.Name) return std::string(known.Words) + " (" + tdlib + ")";
  }
  return std::string(aMessage) + " (error " + std::to_string(aCode) + ")";
}

}  // namespace qvn
