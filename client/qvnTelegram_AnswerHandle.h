// TqvnAnswerHandle: one request's answer (or one awaited update) as a value to wait for: a
// coroutine co_awaits it, other code takes a std::future, either may cancel the wait.
// qvnTelegram_Await.h says how programs get one (Ask) and where waits resume.
//
// The handle resolves exactly once: with what its handler (OnAnswer) is called with first, or
// with takCancelled when Cancel comes first. A handle is a shared value: copies refer to the
// same answer; it is safe from any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_ANSWERHANDLE_H
#define QVN_CLIENT_QVNTELEGRAM_ANSWERHANDLE_H

#include <chrono>
#include <coroutine>
#include <future>
#include <memory>

#include "client/qvnTelegram_Answer.h"

namespace qvn {

// What a handle and its copies share (qvnTelegram_AnswerHandle.cpp).
struct TqvnAnswerState;

class TqvnAnswerHandle {
 public:
  // A handle that no request resolves yet: pass OnAnswer() as a request's last argument.
  TqvnAnswerHandle();

  // The answer handler that resolves this handle, with TDLib's time limit aTimeout (0: none).
  TqvnTelegramOnAnswer OnAnswer(std::chrono::milliseconds aTimeout = {}) const;

  // True once the handle has resolved.
  bool Ready() const;
  // The answer; call only when Ready().
  TqvnTelegramAnswer Answer() const;
  // Resolves the handle with takCancelled unless it has resolved already; true when it did.
  bool Cancel();
  // The answer as a std::future; once per handle (a second call raises std::future_error).
  std::future<TqvnTelegramAnswer> Future();

  // co_await handle: the answer, once it has come.
  struct TAwaiter {
    std::shared_ptr<TqvnAnswerState> State;
    bool await_ready() const noexcept;
    bool await_suspend(std::coroutine_handle<> aWaiter);
    TqvnTelegramAnswer await_resume() const;
  };
  TAwaiter operator co_await() const { return TAwaiter{FState}; }

 private:
  std::shared_ptr<TqvnAnswerState> FState;
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_ANSWERHANDLE_H
