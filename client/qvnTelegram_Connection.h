// TqvnTDLibConnection: one TDLib client instance, reached through the JSON interface the loaded
// library offers.
//
// Open picks the interface: TDLib's current one (td_create_client_id, td_send, and the one
// receive of the process, TqvnSharedReceive, which fills this client's mailbox) when the library
// exports it, otherwise the td_json_client_* functions, whose receive belongs to the client.
// Either way the client sees the same calls: Send, Receive of its own texts, Execute, Wake and
// Close.
//
// Owned by the client (TqvnTDLib_Telegram_Client), which calls Receive from one thread at a time,
// Wake from any thread, and Close once, when no Receive runs. Send and Execute are thread-safe.
// Failures of the library throw std::runtime_error (qvnLib_Telegram.h).
#ifndef QVN_CLIENT_QVNTELEGRAM_CONNECTION_H
#define QVN_CLIENT_QVNTELEGRAM_CONNECTION_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qvn {

class TqvnTDLibConnection {
 public:
  // A new TDLib client; the current interface unless aJsonClientOnly or the library lacks it.
  // Null when TDLib created no client.
  static std::unique_ptr<TqvnTDLibConnection> Open(bool aJsonClientOnly);

  virtual ~TqvnTDLibConnection() = default;

  // TDLib's handle with the td_json_client_* interface; this object with the current one.
  virtual void* Handle() const = 0;
  // TDLib's client id with the current interface; 0 with the td_json_client_* one.
  virtual int32_t ClientId() const = 0;

  virtual void Send(const char* aRequest) = 0;
  // The next text for this client, waiting up to aTimeoutSeconds; null when none came in time
  // or Wake ended the wait. Valid until the next Receive.
  virtual const char* Receive(double aTimeoutSeconds) = 0;
  // A synchronous request; its answer is valid until the next Execute on this thread.
  virtual const char* Execute(const char* aRequest) = 0;
  // Ends a Receive waiting on another thread soon.
  virtual void Wake() = 0;
  // Hands the texts for this client to aOnArrival as they arrive, on the process's receive
  // thread, in order and in batches (what TDLib had ready at once), instead of keeping them for
  // Receive; aOnArrival must not block. It returns true while the client has as many texts
  // waiting as it takes for now: the receive then holds back (TDLib keeps the texts) until
  // HandArrivals is called again (with the same function, or another), and asks again with no
  // texts. An empty function goes back to Receive, once a call running meanwhile has returned.
  // False, changing nothing, where the client has no receive thread but its own
  // (td_json_client_*).
  virtual bool HandArrivals(std::function<bool(std::vector<std::string>&&)> aOnArrival) = 0;
  // Closes the TDLib client and returns once TDLib has let it go (its database too).
  virtual void Close() = 0;
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_CONNECTION_H
