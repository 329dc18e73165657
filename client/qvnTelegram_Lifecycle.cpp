// The client's lifecycle: activation, deactivation, the worker, the send path, the request
// tag and the firers of the events that carry no record. Receiving is in
// qvnTelegram_Receive.cpp.
#include <chrono>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>

#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnLib_Telegram.h"
#include "client/qvnLib_Telegram_Client.h"
#include "client/qvnTelegram_Descriptors.h"
#include "client/qvnTelegram_RequestText.h"

namespace qvn {
namespace {

// TDLib keeps one fatal-error callback per process; it goes to the client activated last.
// Recursive: a handler of the error may activate another client, which takes the route.
std::recursive_mutex gFatalErrorLock;
TqvnTDLib_Telegram_Client* gFatalErrorClient = nullptr;  // guarded by gFatalErrorLock

// Sent at activation, tagged with the client's Id (FillTemplate, qvnTelegram_RequestText.h).
constexpr const char* kLogVerbosityRequest =
    "{\"@type\": \"setLogVerbosityLevel\", \"new_verbosity_level\": %d, \"@extra\": %d}";
constexpr const char* kAuthorizationStateRequest =
    "{\"@type\": \"getAuthorizationState\", \"@extra\": %d}";

// A request the synchronous path runs at activation; its answer is not read.
constexpr const char* kTextEntitiesRequest =
    "{\"@type\": \"getTextEntities\", "
    "\"text\": \"@telegram /start https://telegram.org telegram.me\", "
    "\"@extra\": [\"5\", 7.0]}";

// Why a send or execute that found the client active did nothing: another thread deactivated it.
constexpr const char* kDeactivatedFailure = "The client was deactivated: nothing was sent";

// How long activation waits for the version from a release that cannot tell it synchronously.
// TDLib answers at once, offline too.
constexpr std::chrono::seconds kVersionWait{10};

int32_t DrawRequestTag() {
  std::random_device device;
  std::seed_seq seed{
      static_cast<unsigned>(device()),
      static_cast<unsigned>(std::chrono::high_resolution_clock::now().time_since_epoch().count())};
  std::mt19937 generator(seed);
  return std::uniform_int_distribution<int32_t>(1, 2147483646)(generator);
}

}  // namespace

// Registered with TDLib at activation; TDLib calls it without context, on its own thread.
class TqvnFatalErrorRoute {
 public:
  static void Register(TqvnTDLib_Telegram_Client* aClient) {
    std::lock_guard<std::recursive_mutex> lock(gFatalErrorLock);
    gFatalErrorClient = aClient;
  }
  static void Unregister(TqvnTDLib_Telegram_Client* aClient) {
    std::lock_guard<std::recursive_mutex> lock(gFatalErrorLock);
    if (gFatalErrorClient == aClient) gFatalErrorClient = nullptr;
  }
  // Holds the lock while the client handles the error, so the client cannot be freed meanwhile.
  static void Callback(const char* aMessage) {
    std::lock_guard<std::recursive_mutex> lock(gFatalErrorLock);
    if (gFatalErrorClient != nullptr) gFatalErrorClient->DoFatalError(aMessage);
  }
};

TqvnTDLib_Telegram_Client::TqvnTDLib_Telegram_Client(TqvnComponent_Base* aOwner)
    : TqvnComponent_Base(aOwner), FTelegram(std::make_unique<TqvnTelegram_Options>()) {}

TqvnTDLib_Telegram_Client::~TqvnTDLib_Telegram_Client() { EndForDestruction(); }

void TqvnTDLib_Telegram_Client::EndForDestruction() {
  Destroying();
  TqvnFatalErrorRoute::Unregister(this);
  DoDeactivate();
  std::unique_ptr<TqvnTimer> thread;
  {
    TPumpingLock lock(FTickLock);
    thread = std::move(FThread);
  }
  // Waits for a tick or handler of the worker running on another thread.
  FreeThreadSafely(thread);
  // Waits for a delivery running on the main thread, and drops those still queued.
  RemoveQueuedCalls(&FInbox);
}

void TqvnTDLib_Telegram_Client::SetActive(bool aValue) {
  if (aValue) {
    DoActivate();
  } else {
    DoDeactivate();
  }
}

int32_t TqvnTDLib_Telegram_Client::Id() {
  int32_t id = FId.load();
  if (id == 0) {
    const int32_t drawn = DrawRequestTag();
    // Another thread may draw at the same moment; the first stored tag wins.
    id = FId.compare_exchange_strong(id, drawn) ? drawn : id;
  }
  return id;
}

std::string TqvnTDLib_Telegram_Client::TDLibVersion() const {
  TqvnLock lock(FVersionLock);
  return FTDLibVersion;
}

void TqvnTDLib_Telegram_Client::SetTDLibVersion(std::string aValue) {
  TqvnLock lock(FVersionLock);
  FTDLibVersion = std::move(aValue);
}

std::string TqvnTDLib_Telegram_Client::GetDatabaseDirectory() {
  TPumpingLock lock(FTickLock);
  if (FDatabaseLock != nullptr) return FDatabaseLock->Folder();
  const std::string& directory = Telegram().DatabaseDirectory();
  return directory.empty() ? "tdlib" : directory;
}

void* TqvnTDLib_Telegram_Client::Client() const {
  const std::shared_ptr<TqvnTDLibConnection> connection = Connection();
  return connection != nullptr ? connection->Handle() : nullptr;
}

int32_t TqvnTDLib_Telegram_Client::TDLibClientId() const {
  const std::shared_ptr<TqvnTDLibConnection> connection = Connection();
  return connection != nullptr ? connection->ClientId() : 0;
}

std::shared_ptr<TqvnTDLibConnection> TqvnTDLib_Telegram_Client::Connection() const {
  TqvnLock lock(FConnectionLock);
  return FConnection;
}

void TqvnTDLib_Telegram_Client::DoActivate() {
  // An active client keeps its TDLib client: a second one would hold the database lock.
  if (Active()) return;
  try {
    auto descriptors = std::make_unique<TqvnDescriptorReservation>();
    auto folderLock = std::make_unique<TqvnDatabaseFolderLock>(GetDatabaseDirectory());
    if (!folderLock->Notice().empty()) DoException(EqvnDatabaseFolderNotice(folderLock->Notice()));
    FId = 0;
    // Before the first TDLib client exists, so that a quiet level also silences its start-up.
    tdjson::td_execute(
        FillTemplate(kLogVerbosityRequest, {static_cast<int>(Telegram().ErrorsLevel()), Id()})
            .c_str());
    std::shared_ptr<TqvnTDLibConnection> connection =
        TqvnTDLibConnection::Open(JsonClientInterface());
    if (connection == nullptr) return;  // the folder's lock goes with folderLock
    // Every request from here on is laid out for the release that answers it.
    std::string version = connection->AskVersion(kVersionWait);
    if (!version.empty()) SetTDLibVersion(std::move(version));
    {
      TPumpingLock lock(FTickLock);
      FReceiveWaits = WaitForEvents();
      // Under the receive lock: a worker of an earlier activation that has not ended yet
      // receives from the new connection only once its arrivals are set.
      std::lock_guard<std::mutex> receiveLock(FReceiveLock);
      {
        TqvnLock connectionLock(FConnectionLock);
        FConnection = connection;
      }
      // Where the process has a receive thread of its own, a text for the main thread goes
      // straight from it into the inbox: the worker then only watches the answers' timeouts.
      if (FReceiveWaits && FNotifyEvents == neAsynchronous) {
        TakeArrivals(*connection);
      }
      FDatabaseLock = std::move(folderLock);
      FDescriptors = std::move(descriptors);
    }
  } catch (const std::exception& e) {
    DoException(e);
    return;
  }
  try {
    TqvnFatalErrorRoute::Register(this);
    tdjson::td_set_log_fatal_error_callback(&TqvnFatalErrorRoute::Callback);  // optional
    {
      TPumpingLock lock(FTickLock);
      // Another thread may have deactivated the client since: nothing left to start.
      const std::shared_ptr<TqvnTDLibConnection> connection = Connection();
      if (connection == nullptr) return;
      connection->Execute(kTextEntitiesRequest);
      connection->Send(FillTemplate(kAuthorizationStateRequest, {Id()}).c_str());
    }
    DoStartThread();
  } catch (const std::exception& e) {
    // Undone in full: no worker, no TDLib client, no lock.
    try {
      CloseTDLibClient();
    } catch (const std::exception& undo) {
      DoException(undo);
    }
    DoException(e);
  }
}

void TqvnTDLib_Telegram_Client::DoDeactivate() {
  FMyId = 0;
  try {
    if (!Active()) return;
    CloseTDLibClient();
    // Outside the tick lock: the pending requests' handlers may run here.
    DoDeactivated();
  } catch (const std::exception& e) {
    DoException(e);
  }
}

void TqvnTDLib_Telegram_Client::CloseTDLibClient() {
  // A tick or delivery running on another thread ends before its TDLib client goes.
  TPumpingLock lock(FTickLock);
  std::shared_ptr<TqvnTDLibConnection> connection = Connection();
  if (connection == nullptr) return;
  // Nothing files a deadline with the worker or the receive any more.
  FPendingRequests.SetOnDeadline({});
  if (FThread != nullptr) DoStopThread();
  if (FReceiveWaits) connection->Wake();
  {
    // Taken once the woken receive has returned; the worker receives nothing afterwards.
    std::lock_guard<std::mutex> receiveLock(FReceiveLock);
    TqvnLock connectionLock(FConnectionLock);
    FConnection = nullptr;
  }
  // No text reaches the inbox after it is emptied.
  connection->HandArrivals({});
  FInbox.Clear();
  // The folder and the descriptors are released after TDLib has let the database go, or failed
  // to. Sends and executes on other threads that still hold the connection are refused from
  // Close on; the last of them frees it.
  const std::unique_ptr<TqvnDatabaseFolderLock> folderLock = std::move(FDatabaseLock);
  const std::unique_ptr<TqvnDescriptorReservation> descriptors = std::move(FDescriptors);
  connection->Close();
}

void TqvnTDLib_Telegram_Client::DoStartThread() {
  std::unique_ptr<TqvnTimer> previous;
  {
    TPumpingLock lock(FTickLock);
    previous = std::move(FThread);
  }
  // Not under FTickLock: a tick of the previous worker may still need it to end.
  FreeThreadSafely(previous);
  TPumpingLock lock(FTickLock);
  GetThread()->SetEnabled(true);
}

void TqvnTDLib_Telegram_Client::DoStopThread() {
  GetThread()->SetEnabled(false);
}

TqvnTimer* TqvnTDLib_Telegram_Client::GetThread() {
  if (FThread == nullptr) {
    auto thread = std::make_unique<TqvnTimer>();
    thread->SetDebugName("Telegram Thread");
    thread->SetOnException(
        [this](TqvnTimer* aSender, const std::exception& e) { DoThreadException(aSender, e); });
    if (FReceiveWaits) {
      // Waits inside TDLib's receive on its own thread and hands the texts on in the mode of
      // this activation: no wait between cycles.
      const TwsNotifyEvent mode = FNotifyEvents;
      thread->SetNotifyEvents(neNoSync);
      thread->SetOnTimer([this, mode](TqvnTimer* aSender) { DoThreadReceive(aSender, mode); });
      thread->SetInterval(0);
    } else {
      thread->SetNotifyEvents(FNotifyEvents);
      thread->SetOnTimer([this](TqvnTimer* aSender) { DoThreadTimer(aSender); });
      thread->SetInterval(1);
    }
    FThread = std::move(thread);
    WatchDeadlines();
  }
  return FThread.get();
}

void TqvnTDLib_Telegram_Client::DoThreadException(TqvnTimer* /*Sender*/, const std::exception& e) {
  DoException(e);
}

void TqvnTDLib_Telegram_Client::DoFatalError(const char* aMessage) {
  DoException(std::runtime_error(aMessage != nullptr ? aMessage : ""));
}

bool TqvnTDLib_Telegram_Client::DoTDLibSend(const std::string& aText, std::string* aFailure) {
  try {
    const std::shared_ptr<TqvnTDLibConnection> connection = Connection();
    if (connection != nullptr) {
      if (connection->Send(aText.c_str())) return true;
      // Closed by a deactivation on another thread since it was read.
      if (aFailure != nullptr) *aFailure = kDeactivatedFailure;
      return false;
    }
    // Sends nothing, but loads TDLib: a library that cannot be loaded is reported each time.
    tdjson::td_json_client_send(nullptr, aText.c_str());
    return false;
  } catch (const std::exception& e) {
    if (aFailure != nullptr) *aFailure = e.what();
    DoException(e);
    return false;
  }
}

bool TqvnTDLib_Telegram_Client::DoTDLibExecute(const std::string& aText, std::string& aResult,
                                               std::string* aFailure) {
  try {
    const std::shared_ptr<TqvnTDLibConnection> connection = Connection();
    if (connection == nullptr) {
      // Runs nothing, but loads TDLib, as DoTDLibSend does.
      tdjson::td_json_client_execute(nullptr, aText.c_str());
      return false;
    }
    std::optional<std::string> answer = connection->Execute(aText.c_str());
    if (!answer) {
      if (aFailure != nullptr) *aFailure = kDeactivatedFailure;
      return false;
    }
    if (answer->empty()) return false;
    aResult = std::move(*answer);
    return true;
  } catch (const std::exception& e) {
    if (aFailure != nullptr) *aFailure = e.what();
    DoException(e);
    return false;
  }
}

// Each firer calls a copy of its handler, so a handler that replaces or clears its own event
// stays alive while it runs.

bool TqvnTDLib_Telegram_Client::DoBeforeReadEvent(const std::string& aText) {
  bool handled = false;
  if (const auto handler = OnBeforeReadEvent) handler(this, aText, handled);
  return handled;
}

void TqvnTDLib_Telegram_Client::DoAuthenticationCode(std::string& aCode) {
  if (const auto handler = OnAuthenticationCode) handler(this, aCode);
}

void TqvnTDLib_Telegram_Client::DoRegisterUser(std::string& aFirstName, std::string& aLastName) {
  if (const auto handler = OnRegisterUser) handler(this, aFirstName, aLastName);
}

void TqvnTDLib_Telegram_Client::DoAuthenticationPassword(std::string& aPassword) {
  if (const auto handler = OnAuthenticationPassword) handler(this, aPassword);
}

void TqvnTDLib_Telegram_Client::DoException(const std::exception& e) {
  const auto handler = OnException;
  if (!handler) return;
  try {
    handler(this, e);
  } catch (...) {
    // The exception has been reported as far as it can be; one thrown while reporting it has
    // nowhere left to go.
  }
}

void TqvnTDLib_Telegram_Client::DoEvent(const std::string& aEvent, const std::string& aText) {
  if (const auto handler = OnEvent) handler(this, aEvent, aText);
}

void TqvnTDLib_Telegram_Client::DoConnectionStatus(const std::string& aStatus) {
  if (const auto handler = OnConnectionStatus) handler(this, aStatus);
}

void TqvnTDLib_Telegram_Client::DoAuthorizationStatus(const std::string& aStatus) {
  if (const auto handler = OnAuthorizationStatus) handler(this, aStatus);
}

}  // namespace qvn
