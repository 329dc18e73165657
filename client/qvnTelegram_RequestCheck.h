// Reading the top level of one request text, in one pass, in two ways.
//
// RequestTextFault checks a text a program wrote (TDLibSend, Send, Execute) before TDLib sees
// it: TDLib ends the whole process when it writes an answer holding invalid UTF-8 or a lone
// surrogate, and answers a text it cannot read, or reads in a way the engine does not, with an
// error that carries no "@extra" and so reaches no answer handler. ReadObjectLayout finds the
// braces and the "@extra" member of texts the engine built or TDLib wrote, without checking them
// (qvnTelegram_RequestExtra.cpp splices "@extra" with it).
//
// Pure functions without state: callable from any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_REQUESTCHECK_H
#define QVN_CLIENT_QVNTELEGRAM_REQUESTCHECK_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qvn {

// TDLib 1.8.67 reads a value inside at most this many objects and arrays, the request object
// itself included ({"a":[[1]]}: the 1 is inside 3).
constexpr int kTDLibMaxNesting = 100;

// Where one JSON object text keeps its braces and its first top-level "@extra" member (byte
// offsets into the text).
struct TqvnObjectLayout {
  std::size_t Open = 0;   // the "{"
  std::size_t Close = 0;  // the matching "}"
  bool HasMembers = false;
  bool HasExtra = false;
  std::size_t ExtraBegin = 0;  // the opening quote of the member's name
  std::size_t ExtraValueBegin = 0;
  std::size_t ExtraValueEnd = 0;  // just after the value
};

// Why TDLib cannot take aText exactly as it is, naming what is wrong and its byte offset from 0
// ("invalid UTF-8 at byte 31"); empty when it can. It can when aText is exactly one JSON object
// (RFC 8259: strings, escapes, numbers and literals as JSON spells them; an unescaped control
// character in a string is taken, as TDLib takes it) with only blanks (space, tab, line feed, carriage return) around it,
// and besides:
// - every byte is valid UTF-8 (no overlong form, encoded surrogate or value above U+10FFFF) and
//   none is NUL (a C string would end there);
// - every \u escape of a surrogate is half of a high-low pair;
// - no value is nested deeper than kTDLibMaxNesting;
// - at most one top-level member is named "@extra", and no other top-level name decodes to it
//   (TDLib would take "@ext\u0072a" as "@extra" where the engine does not).
std::string RequestTextFault(std::string_view aText);

// The layout of aText, or nothing when it is not one JSON object. Lenient: strings and nested
// values are skipped without being checked, and text after the object is not looked at.
std::optional<TqvnObjectLayout> ReadObjectLayout(std::string_view aText);

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_REQUESTCHECK_H
