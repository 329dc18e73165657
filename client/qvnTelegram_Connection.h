// TqvnTDLibConnection: one TDLib client instance, reached through the JSON interface the loaded
// library offers.
//
// Open picks the interface: TDLib's current one (td_create_client_id, td_send, and the one
// receive of the process, TqvnSharedReceive, which fills this client's mailbox) when the library
// exports it, otherwise the td_json_client_* functions, whose receive belongs to the client.
// Either way the client sees the same calls: Send, Receive of its own texts, Execute, Wake and
// Close.
//
// Shared by the client (TqvnTDLib_Telegram_Client) and every thread that sends or executes
// through it at the moment: each takes its own reference, so the object outlives every call in
// progress. The client calls Receive from one thread at a time, Wake from any thread, and Close
// once, when no Receive runs. Send and Execute are thread-safe and may race with Close: Close
// first waits for the sends and executes in progress, then refuses every later one (Send false,
// Execute nothing), and only then lets TDLib go, so no call ever reaches a freed TDLib client.
// Failures of the library throw std::runtime_error (qvnLib_Telegram.h).
#ifndef QVN_CLIENT_QVNTELEGRAM_CONNECTION_H
#define QVN_CLIENT_QVNTELEGRAM_CONNECTION_H

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/qvnThreadSafety.h"

namespace qvn {

class TqvnTDLibConnection {
 public:
  // A new TDLib client; the current interface unless aJsonClientOnly or the library lacks it.
  // Null when TDLib created no client.
  static std::shared_ptr<TqvnTDLibConnection> Open(bool aJsonClientOnly);

  virtual ~TqvnTDLibConnection() = default;

  // TDLib's handle with the td_json_client_* interface; this object with the current one.
  virtual void* Handle() const = 0;
  // TDLib's client id with the current interface; 0 with the td_json_client_* one.
  virtual int32_t ClientId() const = 0;

  // Hands aRequest to TDLib; false, sending nothing, once Close has begun.
  bool Send(const char* aRequest);
  // The answer of a synchronous request, copied; "" when TDLib gave none; nothing, running
  // nothing, once Close has begun.
  std::optional<std::string> Execute(const char* aRequest);
  // TDLib's version ("1.8.67"), learnt before anything else reaches the new client: at once
  // where the release answers getOption "version" synchronously; else (before 1.8.1) from the
  // version update among the client's first texts, which a getAuthorizationState of its own sets
  // going, reading for up to aWait. The texts read meanwhile (but that request's answer) are
  // kept and handed out first, by Receive or to HandArrivals' handler. Empty when no version
  // came. Before the client's first Receive, on the thread that opened it.
  std::string AskVersion(std::chrono::milliseconds aWait);
  // The next text for this client, waiting up to aTimeoutSeconds; null when none came in time
  // or Wake ended the wait. Valid until the next Receive.
  const char* Receive(double aTimeoutSeconds);
  // Ends a Receive waiting on another thread soon.
  virtual void Wake() = 0;
  // Hands the texts for this client to aOnArrival as they arrive, on the process's receive
  // thread, in order and in batches (what TDLib had ready at once), instead of keeping them for
  // Receive: first the texts AskVersion read ahead and those already waiting for Receive.
  // aOnArrival must not block. It returns true while the client has as many texts waiting as it
  // takes for now: the receive then holds back (TDLib keeps the texts) until HandArrivals is
  // called again (with the same function, or another), and asks again with no texts. An empty
  // function goes back to Receive, once a call running meanwhile has returned. False, changing
  // nothing, where the client has no receive thread but its own (td_json_client_*).
  using TOnArrival = std::function<bool(std::vector<std::string>&&)>;
  bool HandArrivals(TOnArrival aOnArrival);
  // Waits for the sends and executes in progress, refuses every later one, closes the TDLib
  // client and returns once TDLib has let it go (its database too). Once only.
  void Close();

 protected:
  virtual const char* DoReceive(double aTimeoutSeconds) = 0;
  // As HandArrivals; a new handler first gets aFirst's texts (emptying it), then those waiting
  // for Receive, then those that arrive, in that order. False leaves aFirst as it is.
  virtual bool DoHandArrivals(TOnArrival aOnArrival, std::deque<std::string>& aFirst) = 0;
  virtual void DoSend(const char* aRequest) = 0;
  // TDLib's answer, valid until the next execute on this thread; null when it gave none.
  virtual const char* DoExecute(const char* aRequest) = 0;
  virtual void DoClose() = 0;

 private:
  // Held shared by each Send and Execute, exclusively by Close while it sets FClosed.
  TqvnSharedMutex FUse;
  bool FClosed QVN_GUARDED_BY(FUse) = false;
  // Texts AskVersion read ahead, oldest first, and the one Receive handed out last. Handed to
  // the arrival handler under the mailbox's lock.
  std::deque<std::string> FReadAhead;
  std::string FHandedOut;
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_CONNECTION_H
