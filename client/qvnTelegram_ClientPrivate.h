// TqvnTDLib_Telegram_Client::TPrivate: the engine's state and insides behind one client.
//
// The client (client/qvnLib_Telegram_Client.h) owns exactly one, made by its constructor and
// freed after its destructor's EndForDestruction, and keeps nothing else of its own but the
// events, the lock that LockEvents() holds (FTickLock) and the road of every request method
// (SendBuilt, SendRequest, RefuseRequest). Its public, protected and request methods reach the
// state here; the worker, the process's receive thread and the main thread's deliveries run the
// methods here, which reach the client's protected virtuals (DoReadEvent, DoException, the
// event firers, DoStopThread, ...) through FClient, so a derived class's overrides apply. Not
// installed: only the engine's own sources include it, so a change here rebuilds no program.
//
// Threads are those of the client's contract. State guarded by the client's FTickLock names it
// FClient.FTickLock, and every method here that takes or needs that lock names it so; the
// client's own methods that hold it (as FTickLock) reach this state only through a method here
// that takes it again (the lock is recursive).
#ifndef QVN_CLIENT_QVNTELEGRAM_CLIENTPRIVATE_H
#define QVN_CLIENT_QVNTELEGRAM_CLIENTPRIVATE_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/qvnThreadSafety.h"
#include "client/qvnLib_Telegram_Client.h"
#include "client/qvnTelegram_Connection.h"
#include "client/qvnTelegram_DatabaseFolder.h"
#include "client/qvnTelegram_Descriptors.h"
#include "client/qvnTelegram_EventInbox.h"
#include "client/qvnTelegram_PendingRequests.h"
#include "client/qvnTelegram_UpdateWaits.h"

namespace qvn {

class TqvnTDLib_Telegram_Client::TPrivate {
 public:
  explicit TPrivate(TqvnTDLib_Telegram_Client& aClient);
  ~TPrivate();

  TPrivate(const TPrivate&) = delete;
  TPrivate& operator=(const TPrivate&) = delete;

  // ---- Lifecycle (qvnTelegram_Lifecycle.cpp) ----

  // DoActivate's and DoDeactivate's work.
  void Activate();
  void Deactivate();
  // EndForDestruction's work after the client is marked as being destroyed.
  void EndForDestruction();
  // DoStartThread's work: frees the current worker, if any, then creates a new one and enables
  // it.
  void StartThread();
  // DoStopThread's work: asks the worker to end, creating one first when there is none.
  void StopThread();
  // Offers aText to OnBeforeReadEvent; returns the handler's aHandled (false when unset).
  bool DoBeforeReadEvent(const std::string& aText);
  // The worker, created and configured when there is none.
  TqvnTimer* GetThread() QVN_REQUIRES(FClient.FTickLock);
  // The single send path: every request goes through it. Nothing is sent while inactive.
  // False when nothing was sent: inactive, or TDLib failed (reported to OnException, and its
  // text stored in *aFailure when given).
  bool DoTDLibSend(const std::string& aText, std::string* aFailure = nullptr);
  // The synchronous path; aResult keeps its value when the call fails. False when it failed:
  // inactive, no answer, or TDLib failed (reported like DoTDLibSend's).
  bool DoTDLibExecute(const std::string& aText, std::string& aResult,
                      std::string* aFailure = nullptr);
  // While active, the database folder locked at activation; otherwise
  // Telegram().DatabaseDirectory(), or "tdlib" when that is empty. Takes FTickLock, so the folder
  // read is not freed by a deactivation on another thread.
  std::string GetDatabaseDirectory();
  // Destroys the TDLib client (after stopping the worker and waking a waiting receive) and
  // releases the database folder; nothing when there is no TDLib client. Throws on failure.
  void CloseTDLibClient();
  // The TDLib client while active, else null; any thread. The caller's reference keeps it alive
  // for its call; a closed one refuses sends and executes.
  std::shared_ptr<TqvnTDLibConnection> Connection() const;
  // The version TDLib reported (TDLibVersion); stored from the tick's thread too.
  std::string TDLibVersion() const;
  void SetTDLibVersion(std::string aValue);
  // TDLib's fatal-error callback, registered at activation; it goes to the client activated
  // last (TDLib keeps one per process) and runs on TDLib's own thread.
  static void FatalErrorCallback(const char* aMessage);

  // ---- Receiving (qvnTelegram_Receive.cpp) ----

  // DoThreadTimer's work: the tick (WaitForEvents off).
  void Tick(TqvnTimer* aSender);
  // Dispatches one received text inside the tick's exception handler.
  void DispatchReceived(const std::string& aText) QVN_REQUIRES(FClient.FTickLock);
  // The waiting worker's step (WaitForEvents on), on the worker thread: waits in TDLib's receive
  // until a text comes or the next deadline of a request passes, moves what arrived into FInbox
  // and delivers it, and the timeouts, in aMode.
  void DoThreadReceive(TqvnTimer* aSender, TwsNotifyEvent aMode);
  // Has aConnection's texts arrive through ReceiveArrival (TDLib's current interface,
  // WaitForEvents, neAsynchronous); handed again, a receive that holds back goes on.
  void TakeArrivals(TqvnTDLibConnection& aConnection);
  // On the process's receive thread: moves aTexts into FInbox and hands a delivery to the main
  // thread when none is pending; true while FInbox is full, and the receive is to hold back until
  // a delivery makes room (TakeArrivals).
  bool ReceiveArrival(std::vector<std::string>&& aTexts);
  // Notes the answers among aTexts, just taken from TDLib, as arrived (their deadlines stop).
  void NoteArrivals(const std::vector<std::string>& aTexts);
  // Moves the texts aConnection has ready into FInbox while it has room (below
  // TqvnEventInbox::kRoom), noting answers. Gives the moment up to which everything TDLib had
  // for the client has been taken (on TDLib's current interface no later than the process's
  // receive caught up); nothing when more remain.
  std::optional<std::chrono::steady_clock::time_point> TakeReadyTexts(
      TqvnTDLibConnection* aConnection);
  // Has a request filed with a deadline end the wait of the worker just created, when it waits
  // longer: a ticking worker fires by then, a waiting receive is woken.
  void WatchDeadlines() QVN_REQUIRES(FClient.FTickLock);
  // Dispatches FInbox's texts, oldest first, at most EventsPerTick of them and for at most
  // TickTimeBudget; true when texts remain.
  bool DeliverWaiting();
  // Hands a delivery to the main thread behind what waits there, and the next one while texts
  // remain (neAsynchronous).
  void PostDelivery();

  // ---- Answers (qvnTelegram_Answers.cpp) ----

  // Sends aText, with aOnAnswer filed in the pending requests and its tag in the request's
  // "@extra" when aOnAnswer has a handler; refuses it (RefuseRequest) when it cannot be sent.
  // aPassOn: the answer also goes through the ordinary dispatch (an answer the client awaits
  // for itself, which also reaches the events).
  void SendRequest(const std::string& aText, const TqvnTelegramOnAnswer& aOnAnswer,
                   bool aPassOn = false);
  // Tells aOnAnswer, at once, that its request was not sent, and why.
  void RefuseRequest(const TqvnTelegramOnAnswer& aOnAnswer, const std::string& aReason);
  // Calls aHandler with aAnswer; an exception it throws goes to OnException.
  void DeliverAnswer(const TqvnTelegramAnswerHandler& aHandler, const TqvnTelegramAnswer& aAnswer);
  // When aText carries one of this client's answer tags: hands it to its request (first to
  // OnBeforeReadEvent, and through the ordinary dispatch for a request that passes it on) and
  // returns true. A tag no request waits for any more (it timed out) drops the text after
  // OnBeforeReadEvent. False for every other text.
  bool ReadAnswer(const std::string& aText);
  // Fails the requests whose deadline is at or before aTakenUpTo, the moment up to which every
  // text TDLib had for the client has been taken; from the tick or a delivery.
  void ExpirePendingRequests(std::chrono::steady_clock::time_point aTakenUpTo)
      QVN_REQUIRES(FClient.FTickLock);
  // The TDLib client is gone: fails every pending request (takDestroyed while the client is
  // being destroyed, else takDeactivated) and forgets the authorization state.
  void DoDeactivated();

  // ---- Dispatch and login (qvnTelegram_Dispatch.cpp, qvnTelegram_Login.cpp) ----

  // DoReadEvent's work: an answer to a request with an answer handler goes to that handler
  // (ReadAnswer), every other text through OnBeforeReadEvent to DispatchEvent.
  void ReadEvent(const std::string& aText);
  // DoReadEvent after OnBeforeReadEvent: reads aText and turns it into the events.
  void DispatchEvent(const std::string& aText);
  // The events for aEvent, the document of aText, whose "@type" is aType.
  void FireEvents(const TqvnJSON& aEvent, const std::string& aType, const std::string& aText);
  // Hands aEvent to the program's subscriptions and resolves the waits it satisfies with aText.
  void DeliverToUpdateWaits(const TqvnJSON& aEvent, const std::string& aType,
                            const std::string& aText);
  // Reports aState, the "@type" of an "updateAuthorizationState" whose whole text is aText,
  // through OnAuthorizationStatus and answers it: the parameters, the database key, the phone
  // number or bot token, or (after asking the handlers) the code, the registration names or the
  // password; any other state but "authorizationStateClosed" goes on to OnEvent.
  void DoAuthorizationState(const std::string& aState, const std::string& aText);
  // setTdlibParameters in the layout TDLibVersion() expects; throws, sending nothing, when the
  // API id is not a decimal number. The database directory is the one locked at activation.
  void SendTdlibParameters(const TqvnTelegramOnAnswer& aOnAnswer = {});

  // ---- Login answers (qvnTelegram_LoginAnswers.cpp) ----

  std::string AuthorizationState() const;
  void SetAuthorizationState(std::string aState);
  // Sends aRequest, the answer to the authorization state aState, through SendRequest; a
  // rejection fires OnAuthenticationError and asks a prompt again (AskAgain).
  void SendLoginAnswer(std::string_view aState, const std::string& aRequest,
                       const TqvnTelegramOnAnswer& aOnAnswer);
  // Fire the prompt's event and send what the handler answered, unless it left it empty.
  void AskAuthenticationCode();
  void AskAuthenticationPassword();
  void AskRegistration();
  // Asks aState's prompt again when TDLib still waits for it.
  void AskAgain(const std::string& aState);

 private:
  // The client's properties read and write the settings below directly.
  friend class TqvnTDLib_Telegram_Client;

  // The client this belongs to; it outlives this object.
  TqvnTDLib_Telegram_Client& FClient;

  // ---- State below is guarded by the client's FTickLock ----
  // The worker; replaced at each activation.
  std::unique_ptr<TqvnTimer> FThread QVN_GUARDED_BY(FClient.FTickLock);
  // The lock on the database folder; held exactly while FConnection is set.
  std::unique_ptr<TqvnDatabaseFolderLock> FDatabaseLock QVN_GUARDED_BY(FClient.FTickLock);
  // This client's share of the process's file descriptors; held exactly while FConnection is set.
  std::unique_ptr<TqvnDescriptorReservation> FDescriptors QVN_GUARDED_BY(FClient.FTickLock);
  // The worker of this activation waits inside TDLib's receive (WaitForEvents at activation).
  bool FReceiveWaits QVN_GUARDED_BY(FClient.FTickLock) = false;
  // ---- end of state guarded by FTickLock ----

  // The TDLib client while active, shared with every call that uses it at the moment
  // (Connection()): a deactivation on another thread closes it, but frees it only after the last
  // such call. Set and cleared under FTickLock and FReceiveLock too, so a tick or a waiting
  // receive that holds either lock keeps seeing the same connection.
  mutable TqvnMutex FConnectionLock;
  std::shared_ptr<TqvnTDLibConnection> FConnection QVN_GUARDED_BY(FConnectionLock);

  // Held by the waiting worker while it is inside TDLib's receive and while it moves what it
  // received into FInbox; deactivation takes it (after FTickLock, never before) so the TDLib
  // client is never destroyed under a receive and nothing of it reaches FInbox afterwards.
  std::mutex FReceiveLock;
  // Texts the waiting worker received (or a tick took ahead of a deadline) and nobody dispatched
  // yet; emptied by deactivation. Its address also tags the deliveries queued to the main thread.
  TqvnEventInbox FInbox;
  // The moment up to which the waiting worker took every text TDLib had ready, for the deadlines
  // that passed (written by the worker, read by deliveries).
  std::atomic<std::chrono::steady_clock::time_point> FTakenUpTo{
      std::chrono::steady_clock::time_point::min()};
  // When the waiting worker's current wait ends at the latest; max() while it looks that up.
  std::atomic<std::chrono::steady_clock::time_point> FWaitingUntil{
      std::chrono::steady_clock::time_point::max()};

  // The options (Telegram()).
  TqvnTelegram_Options FTelegram;
  TwsNotifyEvent FNotifyEvents = neAsynchronous;
  std::atomic<bool> FWaitForEvents{false};
  std::atomic<bool> FJsonClientInterface{false};
  // Request tag; 0 until drawn.
  std::atomic<int32_t> FId{0};
  // Written by the dispatcher on the tick's thread.
  std::atomic<int64_t> FMyId{0};
  mutable TqvnMutex FVersionLock;
  std::string FTDLibVersion QVN_GUARDED_BY(FVersionLock) = "1.6.4";
  std::atomic<int> FEventsPerTick{1};
  std::atomic<std::chrono::milliseconds> FTickTimeBudget{std::chrono::milliseconds(10)};
  // Requests sent with an answer handler, until their answer (thread-safe on its own).
  TqvnTelegramPendingRequests FPendingRequests;
  // The program's update subscriptions and waits (thread-safe on its own; subscriptions hold it
  // weakly, so they may outlive the client).
  const std::shared_ptr<TqvnUpdateWaits> FUpdateWaits = std::make_shared<TqvnUpdateWaits>();
  mutable TqvnMutex FAuthorizationStateLock;
  std::string FAuthorizationState QVN_GUARDED_BY(FAuthorizationStateLock);
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_CLIENTPRIVATE_H
