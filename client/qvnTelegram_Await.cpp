// Asking for answers to await, and the coroutine type that awaits them.
#include "client/qvnTelegram_Await.h"

namespace qvn {

TqvnAnswerHandle Ask(TqvnTDLib_Telegram_Client& aClient, const std::string& aRequest,
                     std::chrono::milliseconds aTimeout) {
  TqvnAnswerHandle handle;
  aClient.Send(aRequest, handle.OnAnswer(aTimeout));
  return handle;
}

TqvnAnswerHandle Ask(TqvnTDLib_Telegram_Client& aClient, const TqvnJSON& aRequest,
                     std::chrono::milliseconds aTimeout) {
  TqvnAnswerHandle handle;
  aClient.Send(aRequest, handle.OnAnswer(aTimeout));
  return handle;
}

TqvnTask& TqvnTask::operator=(TqvnTask&& aOther) noexcept {
  if (this != &aOther) {
    LetGo();
    FCoroutine = std::exchange(aOther.FCoroutine, {});
  }
  return *this;
}

void TqvnTask::Result() const {
  if (FCoroutine && FCoroutine.promise().Error) std::rethrow_exception(FCoroutine.promise().Error);
}

void TqvnTask::LetGo() noexcept {
  if (!FCoroutine) return;
  // A finished coroutine waits for its task to free it; an unfinished one frees itself at its end.
  if (FCoroutine.promise().Owner.exchange(kLetGo) == kFinished) FCoroutine.destroy();
  FCoroutine = {};
}

}  // namespace qvn
