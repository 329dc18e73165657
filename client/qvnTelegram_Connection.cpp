#include "client/qvnTelegram_Connection.h"

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>

#include "client/qvnLib_Telegram.h"
#include "client/qvnTelegram_SharedReceive.h"

namespace qvn {
namespace {

constexpr const char* kCloseRequest = "{\"@type\": \"close\"}";
// How long Close waits for TDLib to report the client closed. Offline it takes milliseconds;
// online TDLib first ends its network work.
constexpr std::chrono::seconds kCloseWait{60};

// The td_json_client_* interface: the client owns its receive.
class TJsonClientConnection final : public TqvnTDLibConnection {
 public:
  explicit TJsonClientConnection(void* aClient) : FClient(aClient) {}

  void* Handle() const override { return FClient; }
  int32_t ClientId() const override { return 0; }
  void Send(const char* aRequest) override { tdjson::td_json_client_send(FClient, aRequest); }
  const char* Receive(double aTimeoutSeconds) override {
    return tdjson::td_json_client_receive(FClient, aTimeoutSeconds);
  }
  const char* Execute(const char* aRequest) override {
    return tdjson::td_json_client_execute(FClient, aRequest);
  }
  void Wake() override { tdjson::td_json_client_send(FClient, tdjson::kWakeRequest); }
  bool HandArrivals(std::function<bool(std::vector<std::string>&&)> /*aOnArrival*/) override {
    return false;
  }
  void Close() override { tdjson::td_json_client_destroy(FClient); }

 private:
  void* const FClient;
};

// TDLib's current interface: the process's one receive fills this client's mailbox.
class TClientIdConnection final : public TqvnTDLibConnection {
 public:
  explicit TClientIdConnection(int32_t aClientId)
      : FClientId(aClientId), FMailbox(TqvnSharedReceive::Instance().Register(aClientId)) {}
  // Closed or not, the shared receive no longer fills this client's mailbox.
  ~TClientIdConnection() override { TqvnSharedReceive::Instance().Unregister(FClientId); }

  void* Handle() const override { return const_cast<TClientIdConnection*>(this); }
  int32_t ClientId() const override { return FClientId; }
  void Send(const char* aRequest) override { tdjson::td_send(FClientId, aRequest); }
  const char* Receive(double aTimeoutSeconds) override {
    std::optional<std::string> text =
        FMailbox->Take(std::chrono::duration<double>(aTimeoutSeconds));
    if (!text) return nullptr;
    FReceived = std::move(*text);
    return FReceived.c_str();
  }
  const char* Execute(const char* aRequest) override { return tdjson::td_execute(aRequest); }
  void Wake() override { FMailbox->Wake(); }
  bool HandArrivals(std::function<bool(std::vector<std::string>&&)> aOnArrival) override {
    FMailbox->SetOnArrival(std::move(aOnArrival));
    return true;
  }
  void Close() override {
    tdjson::td_send(FClientId, kCloseRequest);
    if (!FMailbox->WaitClosed(kCloseWait)) {
      throw std::runtime_error("TDLib did not close client " + std::to_string(FClientId) +
                               " within " + std::to_string(kCloseWait.count()) + " s");
    }
  }

 private:
  const int32_t FClientId;
  const std::shared_ptr<TqvnClientMailbox> FMailbox;
  std::string FReceived;  // the text the last Receive returned
};

}  // namespace

std::unique_ptr<TqvnTDLibConnection> TqvnTDLibConnection::Open(bool aJsonClientOnly) {
  if (!aJsonClientOnly && tdjson::HasClientIdInterface()) {
    const int clientId = tdjson::td_create_client_id();
    if (clientId <= 0) return nullptr;
    return std::make_unique<TClientIdConnection>(clientId);
  }
  // Looks up the entry points the worker and Close call later, so a library without one fails
  // here rather than in the receive loop or at the end.
  tdjson::td_json_client_receive(nullptr, 0.0);
  tdjson::td_json_client_destroy(nullptr);
  void* client = tdjson::td_json_client_create();
  if (client == nullptr) return nullptr;
  return std::make_unique<TJsonClientConnection>(client);
}

}  // namespace qvn
