// What a request sent with an answer handler gets back: TDLib's answer, TDLib's error, or the
// engine's own reason why no answer will come.
//
// A program passes a TqvnTelegramOnAnswer (a handler and an optional timeout) as the last
// argument of a request method or of Send; the client calls the handler exactly once with a
// TqvnTelegramAnswer (qvnLib_Telegram_Client.h says where and when). An answer is a plain value:
// the handler may keep it, and Document stays readable as long as a handle to it is held.
//
// Read an answer's members by path, typed and with their JSON escapes decoded
// (qvnTelegram_Reading.h): answer.Get<int64_t>("id"), answer.Get<std::string>("first_name"),
// answer.Items("chat_ids"), answer.Object().Text("first_name"). The members Text and Document
// keep TDLib's whole text as it came, escapes included.
#ifndef QVN_CLIENT_QVNTELEGRAM_ANSWER_H
#define QVN_CLIENT_QVNTELEGRAM_ANSWER_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "client/qvnTelegram_Reading.h"
#include "json/qvnJSON.h"

namespace qvn {

class TqvnTDLib_Telegram_Client;

// How a request ended.
enum TqvnTelegramAnswerKind : std::uint8_t {
  takAnswer = 0,   // TDLib answered with anything but "error"
  takTDLibError,   // TDLib answered with an "error": Code and Message are TDLib's
  takNotSent,      // refused before sending: inactive client, not a JSON object, a bad argument,
                   // or TDLib could not take it; Message says which
  takDeactivated,  // the client was deactivated before TDLib answered
  takDestroyed,    // the client was destroyed before TDLib answered
  takTimedOut,     // TDLib did not answer within the request's timeout
  takCancelled,    // the program cancelled the wait (qvnTelegram_Await.h); the answer is dropped
};

struct TqvnTelegramAnswer {
  TqvnTelegramAnswerKind Kind = takAnswer;
  // TDLib's answer: its "@type" ("error" for takTDLibError), its whole text as TDLib sent it (a
  // caller's own "@extra" in place) and that text read. Empty (Document null) for the engine's
  // own errors.
  std::string Type;
  std::string Text;
  IqvnJSON Document;
  // TDLib's error code for takTDLibError, else 0.
  std::int32_t Code = 0;
  // TDLib's error message (unescaped) for takTDLibError, the engine's explanation for the other
  // errors, empty for takAnswer.
  std::string Message;

  bool IsError() const { return Kind != takAnswer; }

  // TDLib's answer as an object to read by path; empty for the engine's own errors.
  TqvnTDLibObject Object() const { return Document ? TqvnTDLibObject(*Document) : TqvnTDLibObject(); }
  // Members by path, as TqvnTDLibObject reads them: absent (or an engine error) gives T().
  template <class T, class... TNames>
  T Get(const TNames&... aPath) const {
    return Object().Get<T>(aPath...);
  }
  template <class... TNames>
  bool Has(const TNames&... aPath) const {
    return Object().Has(aPath...);
  }
  template <class... TNames>
  std::vector<TqvnTDLibObject> Items(const TNames&... aPath) const {
    return Object().Items(aPath...);
  }

  // The answer TDLib's text aText stands for: takTDLibError with its "code" and "message" when
  // its "@type" is "error", takAnswer otherwise. Never throws for any text.
  static TqvnTelegramAnswer Read(std::string aText);
  // One of the engine's own errors.
  static TqvnTelegramAnswer Failure(TqvnTelegramAnswerKind aKind, std::string aMessage);
};

using TqvnTelegramAnswerHandler =
    std::function<void(TqvnTDLib_Telegram_Client* aSender, const TqvnTelegramAnswer& aAnswer)>;

// The optional last argument of every request method: who gets the answer, and how long TDLib
// may take (0: no limit). A handler converts implicitly, so a lambda can be passed as it is;
// {handler, std::chrono::seconds(5)} adds a timeout. Empty: the request is sent without a tag and
// its answer goes to the events.
struct TqvnTelegramOnAnswer {
  TqvnTelegramAnswerHandler Handler;
  std::chrono::milliseconds Timeout{0};

  TqvnTelegramOnAnswer() = default;
  template <class THandler, class = std::enable_if_t<
                                std::is_constructible_v<TqvnTelegramAnswerHandler, THandler&&>>>
  TqvnTelegramOnAnswer(THandler&& aHandler, std::chrono::milliseconds aTimeout = {})
      : Handler(std::forward<THandler>(aHandler)), Timeout(aTimeout) {}

  explicit operator bool() const { return static_cast<bool>(Handler); }
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_ANSWER_H
