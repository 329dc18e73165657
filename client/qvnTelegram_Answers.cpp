// Requests that wait for their own answer: the general TDLibSend, Send and Execute (a program's
// own texts, checked before TDLib sees them), filing a request with its answer handler, taking
// TDLib's answer back by its "@extra" tag, and failing the requests that will get no answer.
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

#include "client/qvnTelegram_ClientPrivate.h"
#include "client/qvnTelegram_RequestCheck.h"
#include "client/qvnTelegram_RequestExtra.h"

namespace qvn {

namespace {

// Why a program's own request text is not sent, or empty when TDLib can take it as it is.
std::string RefusalOf(std::string_view aRequest) {
  const std::string fault = RequestTextFault(aRequest);
  return fault.empty() ? fault : "The request text is refused: " + fault;
}

}  // namespace

void TqvnTDLib_Telegram_Client::TDLibSend(const std::string& aRequest) {
  Send(aRequest, TqvnTelegramOnAnswer());
}

void TqvnTDLib_Telegram_Client::Send(const std::string& aRequest,
                                     const TqvnTelegramOnAnswer& aOnAnswer) {
  const std::string refusal = RefusalOf(aRequest);
  if (refusal.empty()) {
    FPrivate->SendRequest(aRequest, aOnAnswer);
  } else if (aOnAnswer) {
    FPrivate->RefuseRequest(aOnAnswer, refusal);
  } else {
    DoException(EqvnRequestTextError(refusal));
  }
}

void TqvnTDLib_Telegram_Client::Send(const TqvnJSON& aRequest,
                                     const TqvnTelegramOnAnswer& aOnAnswer) {
  Send(aRequest.Text(), aOnAnswer);
}

TqvnTelegramAnswer TqvnTDLib_Telegram_Client::Execute(const std::string& aRequest) {
  const std::string refusal = RefusalOf(aRequest);
  if (!refusal.empty()) {
    DoException(EqvnRequestTextError(refusal));
    return TqvnTelegramAnswer::Failure(takNotSent, refusal);
  }
  if (!Active()) {
    return TqvnTelegramAnswer::Failure(takNotSent, "The client is not active: nothing was run");
  }
  std::string answer;
  std::string failure = "TDLib gave no answer";
  if (!FPrivate->DoTDLibExecute(aRequest, answer, &failure)) {
    return TqvnTelegramAnswer::Failure(takNotSent, failure);
  }
  return TqvnTelegramAnswer::Read(std::move(answer));
}

TqvnTelegramAnswer TqvnTDLib_Telegram_Client::Execute(const TqvnJSON& aRequest) {
  return Execute(aRequest.Text());
}

void TqvnTDLib_Telegram_Client::SendRequest(const std::string& aText,
                                            const TqvnTelegramOnAnswer& aOnAnswer) {
  FPrivate->SendRequest(aText, aOnAnswer);
}

void TqvnTDLib_Telegram_Client::RefuseRequest(const TqvnTelegramOnAnswer& aOnAnswer,
                                              const std::string& aReason) {
  FPrivate->RefuseRequest(aOnAnswer, aReason);
}

void TqvnTDLib_Telegram_Client::TPrivate::SendRequest(const std::string& aText,
                                                      const TqvnTelegramOnAnswer& aOnAnswer,
                                                      bool aPassOn) {
  if (!aOnAnswer) {
    DoTDLibSend(aText);
    return;
  }
  TqvnTelegramPendingRequests::TRequest request;
  request.Handler = aOnAnswer.Handler;
  request.PassOn = aPassOn;
  if (aOnAnswer.Timeout.count() > 0) {
    request.Timeout = aOnAnswer.Timeout;
    request.Deadline = TqvnTelegramPendingRequests::TClock::now() + aOnAnswer.Timeout;
  }
  const std::string tag = TqvnTelegramPendingRequests::NewTag();
  TqvnTaggedRequest tagged;
  try {
    tagged = TagRequest(aText, tag);
  } catch (const EqvnRequestTextError& e) {
    RefuseRequest(aOnAnswer, e.what());
    return;
  }
  request.CallerExtra = std::move(tagged.CallerExtra);
  // Filed before it is sent: in neNoSync mode the answer may be taken before the send returns.
  FPendingRequests.Add(tag, std::move(request));
  std::string failure = "The client is not active: nothing was sent";
  if (DoTDLibSend(tagged.Text, &failure)) return;
  // Not sent. Unless deactivation has failed it meanwhile, it is still filed: take it back.
  if (FPendingRequests.Take(tag)) RefuseRequest(aOnAnswer, failure);
}

void TqvnTDLib_Telegram_Client::TPrivate::RefuseRequest(const TqvnTelegramOnAnswer& aOnAnswer,
                                                        const std::string& aReason) {
  if (aOnAnswer) DeliverAnswer(aOnAnswer.Handler, TqvnTelegramAnswer::Failure(takNotSent, aReason));
}

void TqvnTDLib_Telegram_Client::TPrivate::DeliverAnswer(const TqvnTelegramAnswerHandler& aHandler,
                                                        const TqvnTelegramAnswer& aAnswer) {
  try {
    aHandler(&FClient, aAnswer);
  } catch (const std::exception& e) {
    FClient.DoException(e);
  } catch (...) {
    FClient.DoException(std::runtime_error("Unknown exception in an answer handler"));
  }
}

bool TqvnTDLib_Telegram_Client::TPrivate::ReadAnswer(const std::string& aText) {
  const std::string_view extra = ExtraValueOf(aText);
  if (extra.empty()) return false;
  // The answer to the client's own wake-up: nobody waits for it.
  if (FPendingRequests.TakeWake(extra)) return true;
  std::optional<TqvnTelegramPendingRequests::TRequest> request = FPendingRequests.Take(extra);
  if (!request) {
    // Its request timed out and has been told so; the late answer has nobody left to go to.
    if (const std::optional<std::string> callerExtra = FPendingRequests.TakeLate(extra)) {
      DoBeforeReadEvent(ReplaceExtra(aText, *callerExtra));
      return true;
    }
    // No request of this client waits under that "@extra": the caller's own.
    return false;
  }
  // What TDLib would have sent for the request as the caller wrote it.
  std::string text = ReplaceExtra(aText, request->CallerExtra);
  // The handler is called whatever the other handlers do, so a failure of theirs waits for it.
  std::exception_ptr failure;
  try {
    const bool handled = DoBeforeReadEvent(text);
    if (request->PassOn && !handled) DispatchEvent(text);
  } catch (...) {
    failure = std::current_exception();
  }
  DeliverAnswer(request->Handler, TqvnTelegramAnswer::Read(std::move(text)));
  if (failure) std::rethrow_exception(failure);
  return true;
}

void TqvnTDLib_Telegram_Client::TPrivate::ExpirePendingRequests(
    std::chrono::steady_clock::time_point aTakenUpTo) {
  if (FPendingRequests.NextDeadline() > aTakenUpTo) return;
  for (const auto& request : FPendingRequests.TakeExpired(aTakenUpTo)) {
    DeliverAnswer(request.Handler,
                  TqvnTelegramAnswer::Failure(
                      takTimedOut, !request.TimeoutReason.empty()
                                       ? request.TimeoutReason
                                       : "TDLib did not answer within " +
                                             std::to_string(request.Timeout.count()) + " ms"));
  }
}

void TqvnTDLib_Telegram_Client::TPrivate::DoDeactivated() {
  SetAuthorizationState("");
  const bool destroying = FClient.IsDestroying();
  const TqvnTelegramAnswer failure =
      destroying ? TqvnTelegramAnswer::Failure(takDestroyed,
                                               "The client was destroyed before TDLib answered")
                 : TqvnTelegramAnswer::Failure(takDeactivated,
                                               "The client was deactivated before TDLib answered");
  for (const auto& request : FPendingRequests.TakeAll()) DeliverAnswer(request.Handler, failure);
}

}  // namespace qvn
