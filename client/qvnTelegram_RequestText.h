// Small text pieces shared by the request builders (message, chat, member, user and proxy
// requests, reply markups and invoices).
//
// Requests are composed from fixed templates. FillTemplate replaces the template's "%s" and
// "%d" place holders, in order, by ready-rendered values; only the template is scanned, so a "%"
// inside a value is copied like any other character. Values that go between quotes are to be
// escaped by the caller (EscapeJSONString) before they are passed in.
//
// Pure functions without state: callable from any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_REQUESTTEXT_H
#define QVN_CLIENT_QVNTELEGRAM_REQUESTTEXT_H

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qvn {

// Request arguments TDLib cannot take as they are: a number beyond the range TDLib reads, or a
// combination it would not read whole. A builder throws it before any text is made; the client
// reports it through OnException and sends nothing.
class EqvnTelegramRequestError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// aTemplate with each "%s" or "%d" replaced by the next of aValues. Throws std::logic_error when
// the number of place holders and of values differ (a fault of the calling builder).
std::string FillTemplate(std::string_view aTemplate,
                         std::initializer_list<std::string_view> aValues);

// "true" or "false".
inline std::string_view BoolText(bool aValue) {
  return aValue ? "true" : "false";
}

// "[" + the ids in signed decimal joined by "," + "]"; "[]" for none.
std::string IdListText(const std::vector<int64_t>& aIds);

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_REQUESTTEXT_H
