// Answers as values to wait for: the state a handle shares with the handler it gave out.
#include "client/qvnTelegram_AnswerHandle.h"

#include <mutex>
#include <optional>
#include <utility>

namespace qvn {

struct TqvnAnswerState {
  std::mutex Lock;
  std::optional<TqvnTelegramAnswer> Answer;  // set once
  std::coroutine_handle<> Waiter;            // a coroutine suspended on the handle
  // Made by the first Future() only: most answers are awaited, and a promise costs an allocation.
  std::optional<std::promise<TqvnTelegramAnswer>> Promise;
  bool FutureTaken = false;

  // Sets the answer unless one is set; resumes the waiting coroutine. True when it was set.
  bool Resolve(const TqvnTelegramAnswer& aAnswer) {
    std::coroutine_handle<> waiter;
    {
      std::lock_guard<std::mutex> lock(Lock);
      if (Answer) return false;
      Answer = aAnswer;
      if (Promise) Promise->set_value(*Answer);
      waiter = std::exchange(Waiter, {});
    }
    if (waiter) waiter.resume();
    return true;
  }
};

TqvnAnswerHandle::TqvnAnswerHandle() : FState(std::make_shared<TqvnAnswerState>()) {}

TqvnTelegramOnAnswer TqvnAnswerHandle::OnAnswer(std::chrono::milliseconds aTimeout) const {
  return TqvnTelegramOnAnswer(
      [state = FState](TqvnTDLib_Telegram_Client*, const TqvnTelegramAnswer& aAnswer) {
        state->Resolve(aAnswer);
      },
      aTimeout);
}

bool TqvnAnswerHandle::Ready() const {
  std::lock_guard<std::mutex> lock(FState->Lock);
  return FState->Answer.has_value();
}

TqvnTelegramAnswer TqvnAnswerHandle::Answer() const {
  std::lock_guard<std::mutex> lock(FState->Lock);
  return FState->Answer.value();
}

bool TqvnAnswerHandle::Cancel() {
  return FState->Resolve(TqvnTelegramAnswer::Failure(
      takCancelled, "The request was cancelled: its answer, if TDLib sends one, is dropped"));
}

std::future<TqvnTelegramAnswer> TqvnAnswerHandle::Future() {
  std::lock_guard<std::mutex> lock(FState->Lock);
  if (FState->FutureTaken) throw std::future_error(std::future_errc::future_already_retrieved);
  FState->FutureTaken = true;
  FState->Promise.emplace();
  if (FState->Answer) FState->Promise->set_value(*FState->Answer);
  return FState->Promise->get_future();
}

bool TqvnAnswerHandle::TAwaiter::await_ready() const noexcept {
  std::lock_guard<std::mutex> lock(State->Lock);
  return State->Answer.has_value();
}

bool TqvnAnswerHandle::TAwaiter::await_suspend(std::coroutine_handle<> aWaiter) {
  std::lock_guard<std::mutex> lock(State->Lock);
  if (State->Answer) return false;  // resolved meanwhile: go on at once
  State->Waiter = aWaiter;
  return true;
}

TqvnTelegramAnswer TqvnAnswerHandle::TAwaiter::await_resume() const {
  std::lock_guard<std::mutex> lock(State->Lock);
  return State->Answer.value();
}

}  // namespace qvn
