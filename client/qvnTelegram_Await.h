// Waiting for a request's answer without nesting callbacks: a C++20 coroutine co_awaits it, other
// code takes a std::future, and either may cancel it.
//
//   qvn::TqvnTask Bot(qvn::TqvnTDLib_Telegram& aClient) {
//     const qvn::TqvnTelegramAnswer me = co_await qvn::Ask(aClient, R"({"@type":"getMe"})");
//     if (me.IsError()) co_return;
//     co_await qvn::Ask(aClient, &qvn::TqvnTDLib_Telegram_Client::GetUser,
//                       me.Get<int64_t>("id"));           // any request method, its arguments
//   }
//   qvn::TqvnTask task = Bot(client);
//   qvn::PumpMainThreadQueueUntil([&] { return task.Done(); });
//   task.Result();                                        // rethrows what ended the coroutine
//
// Ask sends the request with an answer handler of its own and returns a TqvnAnswerHandle at once;
// the handle resolves exactly once, with the same answer a handler would get (TDLib's answer or
// error, or the engine's reason: not sent, deactivated, destroyed, timed out), or with
// takCancelled when Cancel comes first (TDLib's answer, when it comes, is then dropped). The
// engine's refusals resolve it before Ask returns, so co_await goes on at once.
//
// Threads: a coroutine waiting for a handle resumes on the thread that resolves it, which is
// where the client's handlers run (the main thread by default, when it pumps its queue), or the
// thread that calls Cancel. A std::future must not be waited for on the thread that runs the
// handlers (with the default delivery mode, the main thread) unless that thread pumps: wait with
// PumpMainThreadQueueUntil([&] { return handle.Ready(); }) there, or block on another thread.
// A handle is a shared value: copies refer to the same answer; it is safe from any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_AWAIT_H
#define QVN_CLIENT_QVNTELEGRAM_AWAIT_H

#include <atomic>
#include <chrono>
#include <coroutine>
#include <exception>
#include <string>
#include <utility>

#include "client/qvnLib_Telegram_Client.h"
#include "client/qvnTelegram_Answer.h"
#include "client/qvnTelegram_AnswerHandle.h"

namespace qvn {

// Sends a request through aSend, which passes the TqvnTelegramOnAnswer it gets as a request
// method's last argument: Ask([&](const TqvnTelegramOnAnswer& aOnAnswer) { client.GetChatHistory(
// chat, 0, 0, 50, aOnAnswer); }, std::chrono::seconds(5)).
template <class TSend>
TqvnAnswerHandle Ask(TSend&& aSend, std::chrono::milliseconds aTimeout = {}) {
  TqvnAnswerHandle handle;
  std::forward<TSend>(aSend)(handle.OnAnswer(aTimeout));
  return handle;
}

// Any request method with its arguments but the last: Ask(client,
// &TqvnTDLib_Telegram_Client::GetUser, 42). (An overloaded method needs its overload named, or
// the form above.)
template <class... TParameters, class... TArguments>
TqvnAnswerHandle Ask(TqvnTDLib_Telegram_Client& aClient,
                     void (TqvnTDLib_Telegram_Client::*aMethod)(TParameters...),
                     TArguments&&... aArguments) {
  TqvnAnswerHandle handle;
  (aClient.*aMethod)(std::forward<TArguments>(aArguments)..., handle.OnAnswer());
  return handle;
}

// A request text or document, as Send takes it.
TqvnAnswerHandle Ask(TqvnTDLib_Telegram_Client& aClient, const std::string& aRequest,
                     std::chrono::milliseconds aTimeout = {});
TqvnAnswerHandle Ask(TqvnTDLib_Telegram_Client& aClient, const TqvnJSON& aRequest,
                     std::chrono::milliseconds aTimeout = {});

// A coroutine that starts at once and runs until its first wait; it goes on where what it awaits
// resolves. Done() says whether it has finished and Result() rethrows the exception that ended
// it. Destroying an unfinished task lets the coroutine run on to its end by itself (whatever it
// refers to must stay alive until then).
class TqvnTask {
 public:
  struct promise_type {
    TqvnTask get_return_object() {
      return TqvnTask(std::coroutine_handle<promise_type>::from_promise(*this));
    }
    std::suspend_never initial_suspend() noexcept { return {}; }
    struct TFinal {
      bool await_ready() noexcept { return false; }
      // Keeps the frame for the task's Done and Result; a task let go of frees it here.
      bool await_suspend(std::coroutine_handle<promise_type> aSelf) noexcept {
        return aSelf.promise().Owner.exchange(kFinished) != kLetGo;
      }
      void await_resume() noexcept {}
    };
    TFinal final_suspend() noexcept { return {}; }
    void return_void() noexcept {}
    void unhandled_exception() noexcept { Error = std::current_exception(); }

    std::exception_ptr Error;
    std::atomic<int> Owner{kHeld};
  };

  TqvnTask(TqvnTask&& aOther) noexcept : FCoroutine(std::exchange(aOther.FCoroutine, {})) {}
  TqvnTask& operator=(TqvnTask&& aOther) noexcept;
  TqvnTask(const TqvnTask&) = delete;
  TqvnTask& operator=(const TqvnTask&) = delete;
  ~TqvnTask() { LetGo(); }

  bool Done() const { return !FCoroutine || FCoroutine.promise().Owner.load() == kFinished; }
  // Call once Done(): rethrows the exception that ended the coroutine, if any.
  void Result() const;

 private:
  static constexpr int kHeld = 0;
  static constexpr int kFinished = 1;
  static constexpr int kLetGo = 2;
  explicit TqvnTask(std::coroutine_handle<promise_type> aCoroutine) : FCoroutine(aCoroutine) {}
  void LetGo() noexcept;

  std::coroutine_handle<promise_type> FCoroutine;
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_AWAIT_H
