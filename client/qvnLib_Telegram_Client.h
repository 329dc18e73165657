// TqvnTDLib_Telegram_Client: one Telegram account driven through TDLib's JSON interface.
//
// The client owns one TDLib client instance while it is active, the worker (a TqvnTimer) that
// takes TDLib's events, and its options (Telegram()). Typical use, all on the main thread:
//
//   TqvnTDLib_Telegram telegram(nullptr);
//   telegram.Telegram().API().SetApiId("12345");          // options first
//   telegram.OnAuthorizationStatus = [](auto*, const std::string& status) { ... };
//   telegram.SetWaitForEvents(true);  // events the moment they arrive (default: 100 ms ticks)
//   telegram.SetActive(true);    // loads libtdjson.so, creates the TDLib client, starts the worker
//   telegram.GetUser(42, [](auto*, const TqvnTelegramAnswer& answer) { ... });  // its answer
//   // The events arrive only while the main thread runs its queue (neAsynchronous, the default):
//   PumpMainThreadQueueUntil([&] { return done.load(); });  // a console program, until done
//   // A Qt program instead keeps one TqvnMainThreadPump (qt/qvnMainThreadPump.h) alive.
//   telegram.SetActive(false);   // stops the worker and destroys the TDLib client
//
// Activation loads "libtdjson.so" on first use (a library without one of the entry points the
// client calls fails activation; the fatal-error callback is optional), reserves the client's
// share of the process's file descriptors (TqvnDescriptorReservation: the first activation in
// the process raises the soft descriptor limit to the hard one, and a client that would not fit
// is refused with EqvnDescriptorLimitError rather than left to TDLib, which ends the process
// when it runs out), locks the database folder (TqvnDatabaseFolderLock: created or made
// owner-only, and refused at once when another client holds it), sets TDLib's log verbosity
// before the TDLib client exists, creates the TDLib client, learns TDLib's version
// (TDLibVersion) so that every request from the first on is laid out for that release, sends
// getAuthorizationState and starts the worker. The TDLib client is made through TDLib's current
// interface (td_create_client_id, td_send, td_execute) when the library exports it and
// JsonClientInterface is off; the texts of every such client in the process then come through
// one receive, on a thread of its own, that hands each to its client by the "@client_id" TDLib
// adds and removes that member, so texts read the same either way. Otherwise the
// td_json_client_* functions, with a receive of the client's own. Several clients may run in one
// process, each on its own database folder, activated and deactivated independently. It either
// completes or leaves nothing behind: a failing step undoes the earlier ones, reports through
// OnException and leaves the client inactive. Activating an active client does nothing.
//
// Receiving, in one of two ways chosen by WaitForEvents at activation:
//   off (default)  every 100 ms the worker fires a tick that takes up to EventsPerTick event texts
//                  from TDLib without waiting; a tick that stops on its limit or its
//                  TickTimeBudget fires the next one at once.
//   on             the worker waits inside TDLib's receive and copies each text the moment it
//                  arrives; the texts are dispatched in TDLib's order in deliveries of at most
//                  EventsPerTick texts and TickTimeBudget each, the next one handed over at once
//                  while texts remain. On TDLib's current interface with neAsynchronous, the
//                  process's receive thread puts the texts into the client's inbox itself, a
//                  batch at a time, and the worker only watches the answers' timeouts.
// Either way each text goes to DoReadEvent, the dispatcher; it answers TDLib's login prompts from
// the options and turns updates into the events below. Request methods build one JSON request
// each and hand it to DoTDLibSend; nothing is sent while inactive. Texts to and from TDLib are
// UTF-8, passed unchanged.
//
// Answers. Every request method, and Send, takes an optional last argument: a handler (with an
// optional timeout, TqvnTelegramOnAnswer) called exactly once with TDLib's answer to that
// request or with why none came (qvnTelegram_Answer.h). The client tags such a request with its
// own "@extra" (a caller's own "@extra" is put back into the answer, so the handler and
// OnBeforeReadEvent see what TDLib would have sent), and its answer goes to the handler instead
// of the events. The handler runs where events run (NotifyEvents), like them from the tick; the
// engine's own errors run elsewhere: takNotSent at once on the sending thread, before the
// request method returns; takDeactivated and takDestroyed on the thread that deactivates or
// destroys the client (Sender is then being destroyed: do not call it); takTimedOut where
// events run, at the deadline: the worker's wait, ticking or waiting, ends by the nearest
// deadline (a request filed with an earlier one shortens a wait in progress). A deadline stops
// counting once the answer has arrived from TDLib, however long it then waits behind other
// texts, and before failing a request the worker takes what TDLib already has (see
// qvnTelegram_PendingRequests.h): an answer TDLib had ready before the deadline is never
// reported as timed out. Requests without a handler are sent unchanged and their answers reach
// the events.
//
// Login. The client answers TDLib's login states itself: the parameters, the database key and
// the phone number or bot token from the options, the code, password and registration names
// from OnAuthenticationCode, OnAuthenticationPassword and OnRegisterUser. A prompt left empty
// (no handler, or an empty code, password or first name; empty PhoneNumber and BotToken for the
// phone-number state) is not answered: the program answers later with the public login
// methods, from any thread. When TDLib rejects a login answer, OnAuthenticationError carries
// TDLib's code and message and the state it answered; a code, password or registration prompt
// is then asked again (the prompt event fires again) while TDLib still waits for it; an answer
// taken from the options is not repeated: the program corrects it with the matching method.
//
// Threads. Active, the options, the request methods and destruction belong to the caller's
// thread (the main thread); deactivation and destruction also work from any other thread. Where
// ticks and deliveries run, and with them every event they fire and every login answer they
// send, is chosen by NotifyEvents at activation:
//   neAsynchronous (default)  queued to the main thread; the program pumps the main-thread queue
//   neSynchronous             on the main thread; the worker waits for each
//   neNoSync                  on the worker thread
// With neNoSync the worker reads the event handlers and the options while it delivers: set them
// before activation, or change them from inside a handler or while holding LockEvents(). The
// main thread never waits inside TDLib's receive. OnException runs on the thread that caught the
// failure; for a TDLib fatal error that is TDLib's own thread. Deactivation and destruction, from
// any thread, wait for a tick, delivery or handler running on another thread before anything it
// can touch is freed; a tick or delivery that is still queued finds nothing to do. A send,
// execute or Client() on one thread may race with a deactivation on another: the call holds the
// TDLib client alive while it runs, and one that comes after deactivation began sends nothing
// (its handler gets takNotSent, or takDeactivated when deactivation failed it first).
//
// Failures. Every TDLib call, activation, deactivation, tick and dispatch runs inside a
// handler: an exception, also one thrown by an event or answer handler, goes to OnException
// (dropped when it is not set) and never escapes to the caller or stops the loop. A TDLib
// library that cannot be loaded is reported that way at each attempt and leaves the client
// inactive.
//
// Ownership. The client owns its options, its worker and its TDLib client; destroying an
// active client destroys its TDLib client too. Event handlers receive strings and records they
// do not own: a record lives only while its handler runs. A handler may deactivate or reactivate
// the client, but must not destroy it.
#ifndef QVN_CLIENT_QVNLIB_TELEGRAM_CLIENT_H
#define QVN_CLIENT_QVNLIB_TELEGRAM_CLIENT_H

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/qvnBase_Classes.h"
#include "base/qvnWebSocket_Helpers.h"
#include "base/qvnWebSocket_Types.h"
#include "client/qvnTelegram_Answer.h"
#include "client/qvnTelegram_AnswerHandle.h"
#include "client/qvnTelegram_Options.h"
#include "client/qvnTelegram_Updates.h"
#include "json/qvnJSON.h"
// Request arguments: reply markups, invoices, the members filter.
#include "client/qvnTelegram_Invoice.h"
#include "client/qvnTelegram_ReplyMarkup.h"
#include "client/qvnTelegram_RichText.h"
#include "client/qvnTelegram_Types.h"
// Records handed to the record events; each lives only for the handling of one event.
#include "client/qvnTelegram_Records.h"

namespace qvn {

class TqvnTDLib_Telegram_Client;
struct TqvnProxy;  // qvnTelegram_ChatRequests.h

// Event types. Sender is always the client that fires the event. A parameter passed by
// non-const reference may be changed by the handler; the client reads it back.
using TqvnTelegramBeforeReadEvent =
    std::function<void(TqvnTDLib_Telegram_Client* aSender, const std::string& aText, bool& aHandled)>;
using TqvnTelegramEventEvent = std::function<void(
    TqvnTDLib_Telegram_Client* aSender, const std::string& aEvent, const std::string& aText)>;
using TqvnTelegramEventDocumentEvent = std::function<void(
    TqvnTDLib_Telegram_Client* aSender, const TqvnJSON& aEvent, const std::string& aText)>;
using TqvnTelegramAuthorizationStatusEvent =
    std::function<void(TqvnTDLib_Telegram_Client* aSender, const std::string& aStatus)>;
using TqvnTelegramAuthenticationCodeEvent =
    std::function<void(TqvnTDLib_Telegram_Client* aSender, std::string& aCode)>;
using TqvnTelegramAuthenticationPasswordEvent =
    std::function<void(TqvnTDLib_Telegram_Client* aSender, std::string& aPassword)>;
using TqvnTelegramRegisterUserEvent = std::function<void(
    TqvnTDLib_Telegram_Client* aSender, std::string& aFirstName, std::string& aLastName)>;
using TqvnTelegramConnectionStatusEvent =
    std::function<void(TqvnTDLib_Telegram_Client* aSender, const std::string& aStatus)>;
using TqvnTelegramExceptionEvent =
    std::function<void(TqvnTDLib_Telegram_Client* aSender, const std::exception& e)>;
// State: the authorization state whose answer TDLib rejected ("authorizationStateWaitCode").
using TqvnTelegramAuthenticationErrorEvent =
    std::function<void(TqvnTDLib_Telegram_Client* aSender, const std::string& aState, int32_t aCode,
                       const std::string& aMessage)>;

using TqvnTelegramMessageTextEvent =
    std::function<void(TqvnTDLib_Telegram_Client* aSender, TqvnTelegramMessageText& aMessageText)>;
using TqvnTelegramMessageDocumentEvent = std::function<void(
    TqvnTDLib_Telegram_Client* aSender, TqvnTelegramMessageDocument& aMessageDocument)>;
using TqvnTelegramMessagePhotoEvent =
    std::function<void(TqvnTDLib_Telegram_Client* aSender, TqvnTelegramMessagePhoto& aMessagePhoto)>;
using TqvnTelegramMessageVideoEvent =
    std::function<void(TqvnTDLib_Telegram_Client* aSender, TqvnTelegramMessageVideo& aMessageVideo)>;
using TqvnTelegramMessageSponsoredEvent = std::function<void(
    TqvnTDLib_Telegram_Client* aSender, TqvnTelegramMessageSponsored& aMessageSponsored)>;
using TqvnTelegramNewChatEvent =
    std::function<void(TqvnTDLib_Telegram_Client* aSender, TqvnTelegramChat& aChat)>;
using TqvnTelegramNewCallbackQueryEvent = std::function<void(
    TqvnTDLib_Telegram_Client* aSender, TqvnTelegramCallbackQuery& aCallbackQuery)>;

class TqvnTDLib_Telegram_Client : public TqvnComponent_Base {
 public:
  // No worker and no TDLib call until activation.
  explicit TqvnTDLib_Telegram_Client(TqvnComponent_Base* aOwner = nullptr);
  // Deactivates (destroying the TDLib client), then ends and frees the worker. Fires no event.
  ~TqvnTDLib_Telegram_Client() override;

  TqvnTDLib_Telegram_Client(const TqvnTDLib_Telegram_Client&) = delete;
  TqvnTDLib_Telegram_Client& operator=(const TqvnTDLib_Telegram_Client&) = delete;

  // ---- Properties ----

  // The TDLib client handle, null exactly while inactive: TDLib's own handle with the
  // td_json_client_* interface, an opaque one with the current interface (see TDLibClientId).
  // Any thread; a handle read while another thread deactivates the client may already be
  // closed when it is used.
  void* Client() const;
  // TDLib's id of the client while active through TDLib's current interface; 0 otherwise. Any
  // thread.
  int32_t TDLibClientId() const;
  // True: the td_json_client_* functions even when the library offers TDLib's current interface
  // (td_create_client_id, td_send, td_receive, td_execute), which is used otherwise. Default
  // false; takes effect at the next activation.
  bool JsonClientInterface() const;
  void SetJsonClientInterface(bool aValue);

  // True while a TDLib client exists. SetActive(true) activates an inactive client (an active
  // one is left alone); SetActive(false) deactivates it, and clears MyId in any case. Active()
  // from any thread.
  bool Active() const;
  void SetActive(bool aValue);

  // The owned options. SetTelegram copies aValue's values into them (Assign), holding
  // LockEvents() meanwhile, so it is safe in every mode.
  TqvnTelegram_Options& Telegram();
  const TqvnTelegram_Options& Telegram() const;
  void SetTelegram(const TqvnTelegram_Options& aValue);

  // Where ticks and deliveries run; takes effect at the next activation.
  TwsNotifyEvent NotifyEvents() const;
  void SetNotifyEvents(TwsNotifyEvent aValue);

  // True: the worker waits inside TDLib's receive until a text comes or a request's deadline
  // passes (up to kReceiveWaitSeconds at a time) and hands each text on at once, instead of
  // ticking every 100 ms. Default false; takes effect at the next activation.
  bool WaitForEvents() const;
  void SetWaitForEvents(bool aValue);
  static constexpr double kReceiveWaitSeconds = 30.0;

  // Holds back ticks and deliveries (waiting for one that runs on another thread) while the
  // returned lock lives, so event handlers and options can be changed safely while the worker
  // delivers on its own thread (neNoSync). Recursive: usable inside a handler. On the main
  // thread the wait keeps running the main thread's queued calls.
  TPumpingLock LockEvents() { return TPumpingLock(FTickLock); }

  // The request tag written as "@extra" by the requests that carry one: drawn at random in
  // 1..2147483646 on first read after each activation, then the same for the whole activation.
  int32_t Id();

  // The logged-in account's user id as TDLib reports it; 0 until then and after deactivation.
  int64_t MyId() const;

  // TDLib's version as TDLib reports it, known when activation returns (from a synchronous
  // getOption "version", or before TDLib 1.8.1 from its first texts); "1.6.4" before the first
  // activation. Kept across activations.
  std::string TDLibVersion() const;

  // Most event texts one tick takes from TDLib (at least 1, default 1). A tick stops earlier
  // when TDLib has no more waiting or when it has run for TickTimeBudget, so the thread that
  // runs ticks is never held long. Events are dispatched in TDLib's order, one at a time.
  // With WaitForEvents both bound each delivery instead (a program whose handlers leave work for
  // later, such as showing lines, bounds a delivery best by EventsPerTick).
  int EventsPerTick() const;
  void SetEventsPerTick(int aValue);
  std::chrono::milliseconds TickTimeBudget() const;
  void SetTickTimeBudget(std::chrono::milliseconds aValue);

  // The authorization state TDLib reported last ("authorizationStateWaitCode"); empty before the
  // first one and after deactivation.
  std::string AuthorizationState() const;

  // ---- Requests (qvnTelegram_Answers.cpp) ----

  // A program's own request texts. Each is checked before TDLib sees it (RequestTextFault in
  // qvnTelegram_RequestCheck.h): exactly one JSON object with nothing but blanks after it, valid
  // UTF-8 throughout and no NUL byte, JSON's escapes without a lone surrogate, nesting TDLib
  // reads, and at most one top-level "@extra", written plainly. A text that fails is not sent,
  // and not changed either: the reason names what is wrong and its byte offset.

  // Sends a complete request text unchanged (DoTDLibSend): the raw way to reach any TDLib
  // function that has no method here. Sends nothing while inactive; a refused text goes to
  // OnException (EqvnRequestTextError) instead.
  void TDLibSend(const std::string& aRequest);
  // The same with an answer handler (see Answers above), which gets the answer, or a refused
  // text's reason as takNotSent at once: Send is for a program that wants to know what became of
  // its request, TDLibSend for one that reads the answer among the events.
  void Send(const std::string& aRequest, const TqvnTelegramOnAnswer& aOnAnswer);
  // aRequest's Text().
  void Send(const TqvnJSON& aRequest, const TqvnTelegramOnAnswer& aOnAnswer);

  // Runs a request TDLib can answer synchronously (getTextEntities, parseTextEntities,
  // getOption "version", setLogVerbosityLevel, ...) and returns its answer: TDLib's answer or
  // error (TDLib answers a request it cannot run this way with an error), or takNotSent with
  // the reason: a refused text, an inactive client, or no answer from TDLib. A refused text and
  // a failing TDLib call are also reported to OnException. Blocks the calling thread only for
  // TDLib's own work; any thread.
  TqvnTelegramAnswer Execute(const std::string& aRequest);
  TqvnTelegramAnswer Execute(const TqvnJSON& aRequest);

  // ---- Updates (qvnTelegram_Updates.h) ----
  // Calls aHandler with every text of "@type" aType ("updateNewMessage"; "" for every text the
  // dispatcher reads) where events run, after the events for it, until the subscription returned
  // ends (destroyed or Reset). Any thread.
  [[nodiscard]] TqvnUpdateSubscription Subscribe(std::string aType, TqvnUpdateHandler aHandler);
  // The next update of aType that aFilter (when set) accepts, as a handle to await
  // (qvnTelegram_Await.h): it resolves where events run with the update as an answer (Type, Text
  // and Document are the update's), or with takTimedOut when none came within aTimeout (0: no
  // limit), takDeactivated or takDestroyed when the client ends first, takNotSent while the
  // client is inactive, takCancelled when the program cancels. Any thread.
  TqvnAnswerHandle NextUpdate(std::string aType, TqvnUpdateFilter aFilter = {},
                              std::chrono::milliseconds aTimeout = {});

  // ---- Login answers (qvnTelegram_LoginAnswers.cpp) ----
  // What the client sends itself when TDLib asks (see Login above), for a program that answers
  // later. A rejected answer fires OnAuthenticationError (and asks a prompt again) as well as
  // reaching aOnAnswer. Any thread; nothing is sent while inactive.
  void SetAuthenticationPhoneNumber(std::string_view aPhoneNumber,
                                    const TqvnTelegramOnAnswer& aOnAnswer = {});
  void CheckAuthenticationBotToken(std::string_view aToken,
                                   const TqvnTelegramOnAnswer& aOnAnswer = {});
  void CheckAuthenticationCode(std::string_view aCode, const TqvnTelegramOnAnswer& aOnAnswer = {});
  void CheckAuthenticationPassword(std::string_view aPassword,
                                   const TqvnTelegramOnAnswer& aOnAnswer = {});
  void RegisterUser(std::string_view aFirstName, std::string_view aLastName,
                    const TqvnTelegramOnAnswer& aOnAnswer = {});
  // setTdlibParameters from the options as they are now, after TDLib rejected the parameters
  // (an invalid API id) and the program corrected the options. An API id that is not a decimal
  // number is refused before sending (OnException, and takNotSent to aOnAnswer).
  void SetTdlibParameters(const TqvnTelegramOnAnswer& aOnAnswer = {});

  // ---- Events (fired only when set) ----

  TqvnTelegramAuthenticationCodeEvent OnAuthenticationCode;
  TqvnTelegramAuthenticationPasswordEvent OnAuthenticationPassword;
  TqvnTelegramAuthorizationStatusEvent OnAuthorizationStatus;
  // TDLib rejected a login answer (see Login above).
  TqvnTelegramAuthenticationErrorEvent OnAuthenticationError;
  // Every non-empty event text before it is parsed (an answer with the client's tag taken out);
  // setting aHandled suppresses everything else for that text, automatic login answers included,
  // except the answer handler of the request it answers, which is always called.
  TqvnTelegramBeforeReadEvent OnBeforeReadEvent;
  // Every event text the dispatcher reads (those OnBeforeReadEvent did not handle; the answers
  // that go to an answer handler only when their request passes them on), with the document it
  // read the text into, once, before any other event of that text fires. The one read of each
  // text: an observer reads its facts from aEvent instead of reading aText again. aEvent lives
  // while the handler runs and the dispatcher goes on with it: read it (qvnTelegram_Reading.h
  // walks it without changing it), never change it. A handler that throws stops the text's
  // dispatch (OnException gets the exception).
  TqvnTelegramEventDocumentEvent OnEventDocument;
  TqvnTelegramExceptionEvent OnException;
  // Every event the dispatcher does not turn into one of the other events: "@type" and text.
  TqvnTelegramEventEvent OnEvent;
  TqvnTelegramRegisterUserEvent OnRegisterUser;
  TqvnTelegramConnectionStatusEvent OnConnectionStatus;
  TqvnTelegramMessageDocumentEvent OnMessageDocument;
  TqvnTelegramMessagePhotoEvent OnMessagePhoto;
  TqvnTelegramMessageSponsoredEvent OnMessageSponsored;
  TqvnTelegramMessageTextEvent OnMessageText;
  TqvnTelegramMessageVideoEvent OnMessageVideo;
  TqvnTelegramNewCallbackQueryEvent OnNewCallbackQuery;
  TqvnTelegramNewChatEvent OnNewChat;

  // ---- Message requests (qvnTelegram_MessageRequests.cpp) ----
  // Each builds one request text (qvnTelegram_MessageRequests.h, with TDLibVersion choosing the
  // layout where TDLib changed it) and sends it through DoTDLibSend: nothing is awaited, nothing
  // is sent while inactive, and a failure goes to OnException. The answer goes to aOnAnswer when
  // one is given (see Answers above), else to the events. Keyboards may be null; the caller
  // keeps ownership of keyboards and invoices. Ids are TDLib's decimal ids.
  // Arguments TDLib cannot take (both keyboards with buttons, a video duration beyond 32 bits)
  // are refused: OnException receives an EqvnTelegramRequestError, aOnAnswer is told it was not
  // sent, and nothing is sent.
  void SendTextMessage(std::string_view aChatId, std::string_view aText,
                       const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard = nullptr,
                       const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard = nullptr,
                       const TqvnTelegramOnAnswer& aOnAnswer = {});
  // aText in the doubled-marker syntax (qvnTelegram_RichText.h): **bold** __italic__ ...
  // What TDLib recognises in aText (RecognizedEntities) is sent as typed, markers included.
  void SendRichTextMessage(std::string_view aChatId, std::string_view aText,
                           const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard = nullptr,
                           const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard = nullptr,
                           const TqvnTelegramOnAnswer& aOnAnswer = {});
  // The same as a reply to the message aReplyToMessageId of the chat aChatId.
  void SendRichTextReply(int64_t aChatId, int64_t aReplyToMessageId, std::string_view aText,
                         const TqvnTelegramOnAnswer& aOnAnswer = {});
  // A document or a photo (aWidth x aHeight pixels) with the marked-up caption aCaption, which
  // keeps what TDLib recognises as SendRichTextMessage does (none when empty). TDLib refuses a
  // caption longer than its message_caption_length_max option.
  void SendDocumentWithCaption(int64_t aChatId, std::string_view aFilePath,
                               std::string_view aCaption,
                               const TqvnTelegramOnAnswer& aOnAnswer = {});
  void SendPhotoWithCaption(int64_t aChatId, std::string_view aFilePath, int32_t aWidth,
                            int32_t aHeight, std::string_view aCaption,
                            const TqvnTelegramOnAnswer& aOnAnswer = {});
  // The byte ranges of aText where TDLib's getTextEntities, run at once through Execute, finds a
  // link, an e-mail address, a mention, a hashtag, a cashtag or a bot command: the kept ranges
  // of ParseRichText and SplitRichText. Empty when TDLib cannot answer (an inactive client) or
  // finds none. Blocks only for TDLib's own work; any thread.
  std::vector<TqvnTextRange> RecognizedEntities(std::string_view aText);
  void SendDocumentMessage(std::string_view aChatId, std::string_view aFilePath,
                           const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard = nullptr,
                           const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard = nullptr,
                           const TqvnTelegramOnAnswer& aOnAnswer = {});
  void SendPhotoMessage(std::string_view aChatId, std::string_view aFilePath, int32_t aWidth,
                        int32_t aHeight,
                        const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard = nullptr,
                        const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard = nullptr,
                        const TqvnTelegramOnAnswer& aOnAnswer = {});
  void SendVideoMessage(std::string_view aChatId, std::string_view aFilePath, int32_t aWidth,
                        int32_t aHeight, int64_t aDuration,
                        const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard = nullptr,
                        const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard = nullptr,
                        const TqvnTelegramOnAnswer& aOnAnswer = {});
  // A null aInvoice sends nothing: OnException receives a std::invalid_argument saying so.
  // Otherwise aInvoice->Invoice() is read, creating its price object when it has none.
  void SendInvoiceMessage(std::string_view aChatId, TqvnTelegramSendInvoice* aInvoice,
                          const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard = nullptr,
                          const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard = nullptr,
                          const TqvnTelegramOnAnswer& aOnAnswer = {});
  void EditTextMessage(std::string_view aChatId, std::string_view aMessageId,
                       std::string_view aText,
                       const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard = nullptr,
                       const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard = nullptr,
                       const TqvnTelegramOnAnswer& aOnAnswer = {});
  void ViewMessage(std::string_view aChatId, std::string_view aMessageId, bool aForceRead,
                   const TqvnTelegramOnAnswer& aOnAnswer = {});
  void GetChatHistory(std::string_view aChatId, std::string_view aFromMessageId, int32_t aOffset,
                      int32_t aLimit, const TqvnTelegramOnAnswer& aOnAnswer = {});
  // The same with numeric ids (only_local false).
  void GetChatHistory(int64_t aChatId, int64_t aFromMessageId, int32_t aOffset, int32_t aLimit,
                      const TqvnTelegramOnAnswer& aOnAnswer = {});
  // Several messages seen in the chat's history (TDLib counts their views and marks them read).
  void ViewMessages(int64_t aChatId, const std::vector<int64_t>& aMessageIds, bool aForceRead,
                    const TqvnTelegramOnAnswer& aOnAnswer = {});
  // Sends failed messages again; the answer holds the new messages (null for each that cannot).
  void ResendMessages(int64_t aChatId, const std::vector<int64_t>& aMessageIds,
                      const TqvnTelegramOnAnswer& aOnAnswer = {});
  // The answer fires OnMessageSponsored (without aOnAnswer; with it, it goes to aOnAnswer).
  void GetChatSponsoredMessage(std::string_view aChatId,
                               const TqvnTelegramOnAnswer& aOnAnswer = {});
  // Message actions (qvnTelegram_MessageActions.cpp): built by qvnTelegram_MessageActions.h and
  // sent through Send, so a text TDLib could not read is refused before it leaves.
  // Deletes for everyone with aRevoke (where TDLib allows it), otherwise for the account only.
  void DeleteMessages(int64_t aChatId, const std::vector<int64_t>& aMessageIds, bool aRevoke,
                      const TqvnTelegramOnAnswer& aOnAnswer = {});
  // The answer holds the new messages in aChatId (null for each that cannot be forwarded).
  void ForwardMessages(int64_t aChatId, int64_t aFromChatId,
                       const std::vector<int64_t>& aMessageIds,
                       const TqvnTelegramOnAnswer& aOnAnswer = {});
  // aText, plain, as the chat's draft; an empty text removes the draft.
  void SetChatDraftMessage(int64_t aChatId, std::string_view aText,
                           const TqvnTelegramOnAnswer& aOnAnswer = {});
  // The answer is TDLib's messageProperties: what may be done with the message.
  void GetMessageProperties(int64_t aChatId, int64_t aMessageId,
                            const TqvnTelegramOnAnswer& aOnAnswer = {});
  // ---- end of message requests ----

  // ---- Chat, member, user and proxy requests (qvnTelegram_ChatRequests.cpp) ----
  // Each builds one request text (qvnTelegram_ChatRequests.h, with TDLibVersion choosing the
  // layout where TDLib changed it) and sends it through DoTDLibSend, like the message requests.
  // TDLib's answers go to aOnAnswer when one is given, else they arrive as events (OnEvent).
  void AddChatMember(std::string_view aChatId, int64_t aUserId, int32_t aForwardLimit,
                     const TqvnTelegramOnAnswer& aOnAnswer = {});
  void AddChatMembers(std::string_view aChatId, const std::vector<int64_t>& aUserIds,
                      const TqvnTelegramOnAnswer& aOnAnswer = {});
  // A new proxy is always enabled.
  void AddProxyHTTP(std::string_view aServer, int32_t aPort, std::string_view aUserName,
                    std::string_view aPassword, bool aHTTPOnly,
                    const TqvnTelegramOnAnswer& aOnAnswer = {});
  void AddProxyMTProto(std::string_view aServer, int32_t aPort, std::string_view aSecret,
                       const TqvnTelegramOnAnswer& aOnAnswer = {});
  void AddProxySocks5(std::string_view aServer, int32_t aPort, std::string_view aUserName,
                      std::string_view aPassword, const TqvnTelegramOnAnswer& aOnAnswer = {});
  // Any kind of proxy (TqvnProxy, qvnTelegram_ChatRequests.h), added enabled.
  void AddProxy(const TqvnProxy& aProxy, const TqvnTelegramOnAnswer& aOnAnswer = {});
  // Replaces proxy aId by aProxy, enabling it when aEnable.
  void EditProxy(int32_t aId, const TqvnProxy& aProxy, bool aEnable,
                 const TqvnTelegramOnAnswer& aOnAnswer = {});
  // Pings proxy aId (described by aProxy); the answer is "seconds".
  void PingProxy(int32_t aId, const TqvnProxy& aProxy, const TqvnTelegramOnAnswer& aOnAnswer = {});
  void CreateNewBasicGroupChat(const std::vector<int64_t>& aUserIds, std::string_view aTitle,
                               const TqvnTelegramOnAnswer& aOnAnswer = {});
  void CreateNewSupergroupChat(std::string_view aTitle, bool aIsChannel,
                               std::string_view aDescription,
                               const TqvnTelegramOnAnswer& aOnAnswer = {});
  void CreateNewSecretChat(int64_t aUserId, const TqvnTelegramOnAnswer& aOnAnswer = {});
  void CreatePrivateChat(int64_t aUserId, bool aForce, const TqvnTelegramOnAnswer& aOnAnswer = {});
  void DeleteSupergroup(int64_t aGroupId, const TqvnTelegramOnAnswer& aOnAnswer = {});
  void DisableProxy(const TqvnTelegramOnAnswer& aOnAnswer = {});
  void EnableProxy(int32_t aId, const TqvnTelegramOnAnswer& aOnAnswer = {});
  void GetBasicGroupFullInfo(int64_t aGroupId, const TqvnTelegramOnAnswer& aOnAnswer = {});
  void GetChat(std::string_view aChatId, const TqvnTelegramOnAnswer& aOnAnswer = {});
  // Sends nothing for a bot login (Telegram().BotToken() set; aOnAnswer gets takNotSent).
  // Carries Id() as "@extra"; with aOnAnswer the answer tag stands there and Id() is put back
  // into the answer. From TDLib 1.8.0 on getChats reads only a limit: the offsets are not sent.
  void GetChats(int64_t aOffsetOrder, int64_t aOffsetChatId, int32_t aLimit,
                const TqvnTelegramOnAnswer& aOnAnswer = {});
  // Asks TDLib to load up to aLimit more chats of the main list (loadChats; before TDLib 1.8.0,
  // getChats from the top); they arrive as OnNewChat. Bots and "@extra" as for GetChats.
  void LoadChats(int32_t aLimit, const TqvnTelegramOnAnswer& aOnAnswer = {});
  void GetChatMember(std::string_view aChatId, int64_t aUserId,
                     const TqvnTelegramOnAnswer& aOnAnswer = {});
  void GetProxies(const TqvnTelegramOnAnswer& aOnAnswer = {});
  void GetSupergroupMembers(int64_t aSuperGroupId,
                            TqvnTelegramSuperGroupMembersFilter aSupergroupMembersFilter,
                            std::string_view aSuperGroupMembersQuery, int32_t aOffset,
                            int32_t aLimit, const TqvnTelegramOnAnswer& aOnAnswer = {});
  void GetUser(int64_t aUserId, const TqvnTelegramOnAnswer& aOnAnswer = {});
  // The user sees the chat, or stopped seeing it (openChat, closeChat).
  void OpenChat(int64_t aChatId, const TqvnTelegramOnAnswer& aOnAnswer = {});
  void CloseChat(int64_t aChatId, const TqvnTelegramOnAnswer& aOnAnswer = {});
  // Downloads the whole file at aPriority (1..32); the answer is the file as the download
  // starts, its progress follows in updateFile events.
  void DownloadFile(int32_t aFileId, int32_t aPriority, const TqvnTelegramOnAnswer& aOnAnswer = {});
  void JoinChatByInviteLink(std::string_view aLink, const TqvnTelegramOnAnswer& aOnAnswer = {});
  void SearchPublicChat(std::string_view aUsername, const TqvnTelegramOnAnswer& aOnAnswer = {});
  void LogOut(const TqvnTelegramOnAnswer& aOnAnswer = {});
  void RemoveProxy(int32_t aId, const TqvnTelegramOnAnswer& aOnAnswer = {});
  // ---- end of chat, member, user and proxy requests ----

 protected:
  // ---- Lifecycle (qvnTelegram_Lifecycle.cpp) ----

  // Frees the current worker, if any, then creates a new one and enables it.
  virtual void DoStartThread();
  // Asks the worker to end (creating one first when there is none); does not wait. Called with
  // FTickLock held (LockEvents()).
  virtual void DoStopThread() QVN_REQUIRES(FTickLock);
  // The tick (WaitForEvents off): receives up to EventsPerTick event texts and dispatches each
  // (DoReadEvent); stopped on its limit or budget, it has Sender fire the next tick at once.
  virtual void DoThreadTimer(TqvnTimer* aSender);
  // An exception the worker caught: DoException.
  virtual void DoThreadException(TqvnTimer* aSender, const std::exception& e);
  virtual void DoActivate();
  virtual void DoDeactivate();
  // TDLib's fatal-error text, on the TDLib thread that reports it: DoException.
  virtual void DoFatalError(const char* aMessage);
  // Ends the client for good, as destruction does: marks it as being destroyed, stops the
  // fatal-error route, deactivates it, ends and frees its worker and drops its queued
  // deliveries, waiting for a tick, delivery, handler or fatal-error report running on another
  // thread. A destructor runs only once no tick can still call into its class, so a derived
  // class calls this first in its own destructor (the destructors of TqvnTDLib_Telegram and of
  // this class do). Any thread but one running a handler of the client; idempotent.
  void EndForDestruction();

  // The dispatcher: receives every event text the tick takes from TDLib, whole; an empty text
  // means no event was waiting (qvnTelegram_Dispatch.cpp). An answer to a request with an answer
  // handler goes to that handler (ReadAnswer); every other text to the events.
  virtual void DoReadEvent(const std::string& aText);

  // Firers of the events without a record: each calls its handler when it is set.
  virtual void DoAuthenticationCode(std::string& aCode);
  virtual void DoRegisterUser(std::string& aFirstName, std::string& aLastName);
  virtual void DoAuthenticationPassword(std::string& aPassword);
  // Never throws: an exception thrown by OnException itself is dropped.
  virtual void DoException(const std::exception& e);
  virtual void DoEvent(const std::string& aEvent, const std::string& aText);
  virtual void DoConnectionStatus(const std::string& aStatus);
  virtual void DoAuthorizationStatus(const std::string& aStatus);
  virtual void DoAuthenticationError(const std::string& aState, int32_t aCode,
                                     const std::string& aMessage);

  // ---- Record events' firers (qvnTelegram_Records / qvnTelegram_Dispatch) ----
  // Each takes the document the dispatcher read the event text into; when its event is set it
  // builds the record from that document, calls the handler and frees the record; otherwise it
  // does nothing.
  virtual void DoMessageText(const TqvnJSON& aEvent);
  virtual void DoMessageSponsored(const TqvnJSON& aEvent);
  virtual void DoMessageDocument(const TqvnJSON& aEvent);
  virtual void DoMessagePhoto(const TqvnJSON& aEvent);
  virtual void DoMessageVideo(const TqvnJSON& aEvent);
  virtual void DoNewChat(const TqvnJSON& aEvent);
  virtual void DoNewCallbackQuery(const TqvnJSON& aEvent);
  // ---- end of record events' firers ----

 private:
  // The engine's state and insides: the worker, the TDLib client, the inbox, the pending
  // requests, the database folder's lock, the descriptor reservation, the version and the
  // settings above (client/qvnTelegram_ClientPrivate.h, inside the engine).
  class TPrivate;

  // The road of every request method (qvnTelegram_*Requests.cpp). SendBuilt sends the request
  // aBuild makes through SendRequest; when the builder refuses its arguments (throws),
  // OnException gets the reason, aOnAnswer is told, and nothing is sent
  // (qvnTelegram_MessageRequests.cpp).
  void SendBuilt(const std::function<std::string()>& aBuild, const TqvnTelegramOnAnswer& aOnAnswer);
  // Sends aText, filing aOnAnswer with its tag in the request's "@extra" when it has a handler;
  // refuses it (RefuseRequest) when it cannot be sent (qvnTelegram_Answers.cpp).
  void SendRequest(const std::string& aText, const TqvnTelegramOnAnswer& aOnAnswer);
  // Tells aOnAnswer, at once, that its request was not sent, and why.
  void RefuseRequest(const TqvnTelegramOnAnswer& aOnAnswer, const std::string& aReason);

  // Held (TPumpingLock) by a tick while it receives and dispatches, by a delivery while it
  // dispatches, by LockEvents() and by activation and deactivation while they change the
  // engine's state, so the TDLib client is never destroyed under a running tick. Recursive: a
  // handler inside a tick may deactivate or reactivate the client. Declared before FPrivate,
  // which is freed first.
  TPumpingRecursiveMutex FTickLock;
  const std::unique_ptr<TPrivate> FPrivate;
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNLIB_TELEGRAM_CLIENT_H
