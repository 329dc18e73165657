// The one receive of TDLib's current interface for the whole process, and the mailboxes it fills.
//
// With td_create_client_id / td_send / td_receive, every TDLib client of the process answers
// through the same td_receive, and TDLib allows one thread in it at a time. TqvnSharedReceive
// owns that thread: it runs while at least one mailbox is registered and waits in td_receive (for
// as long as no text comes: registering and closing need no wake-up, and the end of the process
// sends one). When a text comes it takes, without waiting, what else TDLib has ready (at most
// kMostTextsPerBatch texts in all), copying each at once, and hands the batch over: each client's
// texts, in TDLib's order, go to the mailbox of the client named by their "@client_id" in one
// push, under one lock. The member is removed, so a client's texts read the same with either
// interface. A text without a client id, or for a client no mailbox is registered for (one that
// was closed), is dropped: TDLib sends every update and answer to one client. The text that
// reports "authorizationStateClosed" is the last TDLib sends for a client: it is delivered, the
// mailbox is marked closed and unregistered, and the thread ends when no mailbox is left.
//
// Memory stays bounded: a client with kRoom texts waiting (in its mailbox, or with its arrival
// handler) holds the receive back until it takes some or is closed, and TDLib keeps the rest
// meanwhile, for every client, as TDLib's own receive would for a program that stops reading.
// Clients that deliver to one main thread wait for that thread either way. CaughtUpTo tells up to
// when every text TDLib had ready has been handed over, so a deadline is judged only against
// texts the clients have been given.
//
// Called by TqvnTDLibConnection (qvnTelegram_Connection.h) and the clients from any thread;
// thread-safe. Mailboxes are shared between the receive thread and their connection.
#ifndef QVN_CLIENT_QVNTELEGRAM_SHAREDRECEIVE_H
#define QVN_CLIENT_QVNTELEGRAM_SHAREDRECEIVE_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/qvnThreadSafety.h"

namespace qvn {

// True for the text that reports authorizationStateClosed: the last TDLib sends for a client.
bool IsClosingText(std::string_view aText);

// The texts TDLib sent to one client and it has not taken yet, oldest first; or, while an
// arrival handler is set, that handler, called with each batch of texts but the closing one.
class TqvnClientMailbox {
 public:
  // Texts that wait here before a push waits for the client to take some.
  static constexpr size_t kRoom = 1024;
  // Takes aTexts (possibly none: then it only answers); returns true while the client has as many
  // texts waiting as it takes for now: the push then waits until the handler is set again (to
  // the same function, or another) and asks again.
  using TOnArrival = std::function<bool(std::vector<std::string>&&)>;

  // The receive thread: appends aTexts, the client's in TDLib's order (with aClosed the last of
  // them is the closing text), or hands them to the arrival handler; then waits while the client
  // has no room (kRoom texts here, or as its handler says), until it takes some, the handler is
  // set again, WaitClosed or Release.
  void Push(std::vector<std::string>&& aTexts, bool aClosed);
  // Sets (or, with an empty function, removes) the arrival handler, handing it first what waits
  // here, and has a push that waits for room ask again. The handler runs under the mailbox's
  // lock, so this returns only after a call running meanwhile has ended.
  // A new handler is first given aFirst's texts (emptying it), then those waiting here.
  void SetOnArrival(TOnArrival aOnArrival, std::deque<std::string>& aFirst);
  // The oldest text, waiting up to aTimeout for one. Nothing when none came in time, or when
  // Wake was called since the last Take that returned without a text.
  std::optional<std::string> Take(std::chrono::duration<double> aTimeout);
  // Ends a Take waiting on another thread (or the next one) without a text.
  void Wake();
  // Waits up to aTimeout until the closing text has arrived; true when it has. Pushes wait for
  // room no more.
  bool WaitClosed(std::chrono::duration<double> aTimeout);
  // The client is gone: pushes wait for room no more.
  void Release();

 private:
  TqvnMutex FLock;
  // A text, the closing text or Wake came (Take, WaitClosed wait for it).
  std::condition_variable FChanged;
  // The client may have room again (a push waits for it).
  std::condition_variable FRoomMade;
  std::deque<std::string> FTexts QVN_GUARDED_BY(FLock);
  TOnArrival FOnArrival QVN_GUARDED_BY(FLock);
  bool FWoken QVN_GUARDED_BY(FLock) = false;
  bool FClosed QVN_GUARDED_BY(FLock) = false;
  bool FReleased QVN_GUARDED_BY(FLock) = false;
};

class TqvnSharedReceive {
 public:
  using TClock = std::chrono::steady_clock;
  // Most texts one hand-over takes from TDLib.
  static constexpr size_t kMostTextsPerBatch = 256;

  // The process's one instance; it ends its thread when the process ends.
  static TqvnSharedReceive& Instance();

  // The mailbox of TDLib client aClientId, registered until its closing text arrives or
  // Unregister; starts the receive thread when it is not running. Register a client before the
  // first request is sent to it, so nothing it answers is dropped.
  std::shared_ptr<TqvnClientMailbox> Register(int32_t aClientId);
  // Forgets aClientId's mailbox (a client given up without its closing text) and releases it.
  void Unregister(int32_t aClientId);

  // The moment up to which every text TDLib had ready has been handed to the mailboxes: now
  // while the receive waits in TDLib with nothing left over (or does not run), else when it last
  // found TDLib empty. Lock-free.
  TClock::time_point CaughtUpTo() const;
  // Waits until CaughtUpTo() reaches aMoment, at most aLongest; true when it has.
  bool WaitCaughtUp(TClock::time_point aMoment, std::chrono::milliseconds aLongest);

  // The "@client_id" TDLib added as the last member of aText, removed from it; 0, leaving aText
  // as it is, when it has none.
  static int32_t TakeClientId(std::string& aText);

  ~TqvnSharedReceive();

 private:
  TqvnSharedReceive() = default;
  void Run();
  // Hands aBatch's texts to their mailboxes, each client's in one push.
  void HandOver(std::vector<std::string>& aBatch);
  // TDLib had nothing more at aAsked: everything before was handed over; the thread goes on to
  // wait in TDLib.
  void MarkCaughtUp(TClock::time_point aAsked);

  TqvnMutex FLock;
  std::map<int32_t, std::shared_ptr<TqvnClientMailbox>> FMailboxes QVN_GUARDED_BY(FLock);
  std::thread FThread QVN_GUARDED_BY(FLock);
  bool FRunning QVN_GUARDED_BY(FLock) = false;
  // The client registered last: at the end of the process a request to it (answered even once
  // closed) ends the thread's wait.
  int32_t FLastClientId QVN_GUARDED_BY(FLock) = 0;
  bool FStopping QVN_GUARDED_BY(FLock) = false;

  // Written by the receive thread, read anywhere; WaitCaughtUp waits for them on FCaughtUp.
  std::atomic<bool> FWaitsCaughtUp{true};
  std::atomic<TClock::time_point> FCaughtUpTo{TClock::time_point::min()};
  std::atomic<int> FCaughtUpWaiters{0};
  TqvnMutex FCaughtUpLock;
  std::condition_variable FCaughtUp;
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_SHAREDRECEIVE_H
