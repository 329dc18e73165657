// What TDLib tells Telegram about this computer, which Telegram lists in the account's active
// sessions: the operating system (Qt's QSysInfo, e.g. "Debian GNU/Linux 12 (bookworm)") and the
// device (the maker and model from the firmware's DMI table when it is readable). Any thread.
#ifndef QVN_APP_QVNSYSTEMINFO_H
#define QVN_APP_QVNSYSTEMINFO_H

#include <string>
#include <string_view>

namespace qvn {

std::string SystemVersionText();
std::string DeviceModelText();

// The device model from the DMI maker and product names and the processor architecture:
// "<maker> <product>" (blanks trimmed; the firmware's placeholder texts count as empty), else
// "Desktop (<architecture>)".
std::string DeviceModelFrom(std::string_view aVendor, std::string_view aProduct,
                            std::string_view aArchitecture);

}  // namespace qvn

#endif  // QVN_APP_QVNSYSTEMINFO_H
