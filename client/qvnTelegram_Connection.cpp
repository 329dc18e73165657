#include "client/qvnTelegram_Connection.h"

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>

#include "client/qvnLib_Telegram.h"
#include "client/qvnTelegram_RequestExtra.h"
#include "client/qvnTelegram_SharedReceive.h"
#include "json/qvnJSON.h"

namespace qvn {
namespace {

constexpr const char* kCloseRequest = "{\"@type\": \"close\"}";
// How long Close waits for TDLib to report the client closed. Offline it takes milliseconds;
// online TDLib first ends its network work.
constexpr std::chrono::seconds kCloseWait{60};

std::string CloseTimeoutMessage() {
  return "TDLib did not close its client within " + std::to_string(kCloseWait.count()) + " s";
}

// The td_json_client_* interface: the client owns its receive.
class TJsonClientConnection final : public TqvnTDLibConnection {
 public:
  explicit TJsonClientConnection(void* aClient) : FClient(aClient) {}

  void* Handle() const override { return FClient; }
  int32_t ClientId() const override { return 0; }
  void Wake() override { tdjson::td_json_client_send(FClient, tdjson::kWakeRequest); }

 protected:
  const char* DoReceive(double aTimeoutSeconds) override {
    return tdjson::td_json_client_receive(FClient, aTimeoutSeconds);
  }
  bool DoHandArrivals(TOnArrival /*aOnArrival*/, std::deque<std::string>& /*aFirst*/) override {
    return false;
  }
  void DoSend(const char* aRequest) override { tdjson::td_json_client_send(FClient, aRequest); }
  const char* DoExecute(const char* aRequest) override {
    return tdjson::td_json_client_execute(FClient, aRequest);
  }
  // Destroying a client whose TDLib is still opening its database ends the process (TDLib
  // 1.8.67 fails a check when it frees the client's scheduler), so the client is closed first,
  // as on the current interface, and destroyed once it reports itself closed.
  void DoClose() override {
    tdjson::td_json_client_send(FClient, kCloseRequest);
    const auto deadline = std::chrono::steady_clock::now() + kCloseWait;
    bool closed = false;
    while (!closed) {
      const std::chrono::duration<double> left = deadline - std::chrono::steady_clock::now();
      if (left.count() <= 0) break;
      const char* received = tdjson::td_json_client_receive(FClient, left.count());
      closed = received != nullptr && IsClosingText(received);
    }
    tdjson::td_json_client_destroy(FClient);
    if (!closed) throw std::runtime_error(CloseTimeoutMessage());
  }

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
  void Wake() override { FMailbox->Wake(); }

 protected:
  const char* DoReceive(double aTimeoutSeconds) override {
    std::optional<std::string> text =
        FMailbox->Take(std::chrono::duration<double>(aTimeoutSeconds));
    if (!text) return nullptr;
    FReceived = std::move(*text);
    return FReceived.c_str();
  }
  bool DoHandArrivals(TOnArrival aOnArrival, std::deque<std::string>& aFirst) override {
    FMailbox->SetOnArrival(std::move(aOnArrival), aFirst);
    return true;
  }
  void DoSend(const char* aRequest) override { tdjson::td_send(FClientId, aRequest); }
  const char* DoExecute(const char* aRequest) override { return tdjson::td_execute(aRequest); }
  void DoClose() override {
    tdjson::td_send(FClientId, kCloseRequest);
    if (!FMailbox->WaitClosed(kCloseWait)) throw std::runtime_error(CloseTimeoutMessage());
  }

 private:
  const int32_t FClientId;
  const std::shared_ptr<TqvnClientMailbox> FMailbox;
  std::string FReceived;  // the text the last Receive returned
};

constexpr const char* kVersionRequest = "{\"@type\": \"getOption\", \"name\": \"version\"}";
// The first request to a client of a release that cannot tell its version synchronously: TDLib
// reports the version in its first updates, which the first request sets going. Its answer is
// recognised by this "@extra" and kept by nobody.
constexpr const char* kFirstRequest = "{\"@type\": \"getAuthorizationState\", \"@extra\": \"qvn start\"}";
constexpr std::string_view kFirstAnswerExtra = "\"qvn start\"";

// The string value of aText, an optionValueString answer or an updateOption "version" update;
// empty for anything else (an error, above all).
std::string VersionIn(std::string_view aText) {
  TqvnJSON text;
  text.Read(aText);
  const IqvnObjectJSON type = text.GetNode("@type");
  if (!type) return "";
  const std::string typeName = type->Value().AsString();
  IqvnObjectJSON value = text.GetNode("value");
  if (typeName == "updateOption") {
    const IqvnObjectJSON name = text.GetNode("name");
    if (!name || name->Value().AsString() != "version" || !value ||
        value->JSONType() != qvnJSONObject) {
      return "";
    }
    value = value->GetNode("value");
  } else if (typeName != "optionValueString") {
    return "";
  }
  return value ? value->Value().AsString() : "";
}

}  // namespace

std::string TqvnTDLibConnection::AskVersion(std::chrono::milliseconds aWait) {
  if (const std::optional<std::string> answer = Execute(kVersionRequest)) {
    std::string version = VersionIn(*answer);
    if (!version.empty()) return version;
  }
  // Releases before 1.8.1: read the client's first texts, keeping them, until both the version
  // update and the answer to the first request have come.
  if (!Send(kFirstRequest)) return "";
  std::string version;
  bool answered = false;
  const auto deadline = std::chrono::steady_clock::now() + aWait;
  while (version.empty() || !answered) {
    const std::chrono::duration<double> left = deadline - std::chrono::steady_clock::now();
    if (left.count() <= 0) break;
    const char* received = DoReceive(left.count());
    if (received == nullptr) continue;
    if (ExtraValueOf(received) == kFirstAnswerExtra) {
      answered = true;
      continue;
    }
    if (version.empty()) version = VersionIn(received);
    FReadAhead.emplace_back(received);
  }
  return version;
}

const char* TqvnTDLibConnection::Receive(double aTimeoutSeconds) {
  if (FReadAhead.empty()) return DoReceive(aTimeoutSeconds);
  FHandedOut = std::move(FReadAhead.front());
  FReadAhead.pop_front();
  return FHandedOut.c_str();
}

bool TqvnTDLibConnection::HandArrivals(TOnArrival aOnArrival) {
  // The texts read ahead go first.
  return DoHandArrivals(std::move(aOnArrival), FReadAhead);
}

bool TqvnTDLibConnection::Send(const char* aRequest) {
  TqvnSharedLock use(FUse);
  if (FClosed) return false;
  DoSend(aRequest);
  return true;
}

std::optional<std::string> TqvnTDLibConnection::Execute(const char* aRequest) {
  TqvnSharedLock use(FUse);
  if (FClosed) return std::nullopt;
  const char* answer = DoExecute(aRequest);
  return std::string(answer != nullptr ? answer : "");
}

void TqvnTDLibConnection::Close() {
  // Waits for the calls in progress; every later one sees FClosed and leaves TDLib alone.
  FUse.lock();
  FClosed = true;
  FUse.unlock();
  DoClose();
}

std::shared_ptr<TqvnTDLibConnection> TqvnTDLibConnection::Open(bool aJsonClientOnly) {
  if (!aJsonClientOnly && tdjson::HasClientIdInterface()) {
    const int clientId = tdjson::td_create_client_id();
    if (clientId <= 0) return nullptr;
    return std::make_shared<TClientIdConnection>(clientId);
  }
  // Looks up the entry points the worker and Close call later, so a library without one fails
  // here rather than in the receive loop or at the end.
  tdjson::td_json_client_receive(nullptr, 0.0);
  tdjson::td_json_client_destroy(nullptr);
  void* client = tdjson::td_json_client_create();
  if (client == nullptr) return nullptr;
  return std::make_shared<TJsonClientConnection>(client);
}

}  // namespace qvn
