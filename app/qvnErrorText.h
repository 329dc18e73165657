// TDLib's errors in words: the error names Telegram's servers send ("PHONE_CODE_INVALID",
// "FLOOD_WAIT_300", ...) and TDLib's own sentences become what a person can act on, followed by
// TDLib's message and code so nothing is hidden: "The code is not correct. Check it and type it
// again. (PHONE_CODE_INVALID, error 400)". An error the window does not know keeps TDLib's
// message: "<message> (error <code>)". Pure function: any thread.
#ifndef QVN_APP_QVNERRORTEXT_H
#define QVN_APP_QVNERRORTEXT_H

#include <cstdint>
#include <string>
#include <string_view>

namespace qvn {

std::string TDLibErrorText(int32_t aCode, std::string_view aMessage);

}  // namespace qvn

#endif  // QVN_APP_QVNERRORTEXT_H
