// The window's words for TDLib's connection and login states, and for what is wrong with the
// login entries before anything is sent. Pure functions: any thread.
#ifndef QVN_APP_QVNSTATUSTEXT_H
#define QVN_APP_QVNSTATUSTEXT_H

#include <string>
#include <string_view>

namespace qvn {

// "connectionStateReady" as "Ready", "connectionStateWaitingForNetwork" as "Waiting for
// network", ...; "" for "", and an unknown state as it is.
std::string ConnectionStateText(std::string_view aState);

// What the user gave at the login step TDLib is in ("the code", "the password", "the phone
// number" or, for a bot, "the bot token", ...); "" for a state that asks for nothing.
std::string LoginStepText(std::string_view aAuthorizationState, bool aBot);

// Why the login entries cannot work, in words for the user; "" when they can. The API id must
// be a whole number from 1 to 2147483647 (blanks around it are allowed), the API hash must not
// be empty, and the phone number (or, for a bot, the token) must not be empty either.
std::string LoginEntriesProblem(std::string_view aApiId, std::string_view aApiHash,
                                std::string_view aPhoneNumber, std::string_view aBotToken,
                                bool aBot);

// aText without blanks at either end.
std::string_view Trimmed(std::string_view aText);

}  // namespace qvn

#endif  // QVN_APP_QVNSTATUSTEXT_H
