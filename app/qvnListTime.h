// The time a chat row shows for its last message, as Telegram's chat lists do: the time of day
// ("14:02") on aNow's day, the weekday ("Mon") within the six days before it, the date
// ("2025-03-12") before that or after aNow's day. Local time; a pure function, any thread.
#ifndef QVN_APP_QVNLISTTIME_H
#define QVN_APP_QVNLISTTIME_H

#include <cstdint>
#include <string>

namespace qvn {

// aDate and aNow are Unix times; "" for a date of 0 (no message).
std::string ListTimeText(int64_t aDate, int64_t aNow);

}  // namespace qvn

#endif  // QVN_APP_QVNLISTTIME_H
