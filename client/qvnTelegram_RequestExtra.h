// The "@extra" member of request and answer texts, which TDLib copies from a request into its
// answer unchanged.
//
// The client marks a request that waits for an answer by putting its own tag there, and reads
// the tag back from the answer (qvnTelegram_Answers.cpp). These functions work on the text
// itself: they find the member on the top level of one JSON object (ReadObjectLayout,
// qvnTelegram_RequestCheck.h), skipping strings and nested values, and splice the text around
// it, so everything else in the request or the answer stays byte for byte as it was. They do not
// validate JSON beyond that structure: a program's own request text is checked before it gets
// here (RequestTextFault).
//
// Pure functions without state: callable from any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_REQUESTEXTRA_H
#define QVN_CLIENT_QVNTELEGRAM_REQUESTEXTRA_H

#include <stdexcept>
#include <string>
#include <string_view>

namespace qvn {

// A request text that is refused: one that cannot carry a tag (not one JSON object), or a
// program's text that TDLib cannot take as it is (RequestTextFault gives the reason).
class EqvnRequestTextError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

struct TqvnTaggedRequest {
  std::string Text;  // the request with aTag as its "@extra"
  // The value of the "@extra" it had before, as TDLib echoes a value: without the blanks
  // between its tokens (TDLib may also write the escapes in its strings differently). Empty
  // when it had none.
  std::string CallerExtra;
};

// aRequest with aTag (a JSON value text) as its top-level "@extra": in place of the value it has
// there, or appended as the last member (", \"@extra\": " + aTag) when it has none. Throws
// EqvnRequestTextError when aRequest is not one JSON object.
TqvnTaggedRequest TagRequest(std::string_view aRequest, std::string_view aTag);

// The raw text of aText's top-level "@extra" value (for example "\"qvn#7\"" or "1004"); empty
// when it has none or is not a JSON object.
std::string_view ExtraValueOf(std::string_view aText);

// aText with its top-level "@extra" value replaced by aValue, or the member removed (with its
// comma) when aValue is empty. A text without "@extra" is returned unchanged.
std::string ReplaceExtra(std::string_view aText, std::string_view aValue);

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_REQUESTEXTRA_H
