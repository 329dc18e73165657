// The client's lifecycle: its properties, activation, deactivation, the worker, the send path,
// the request tag and the firers of the events that carry no record. Receiving is in
// qvnTelegram_Receive.cpp.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>

#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnLib_Telegram.h"
#include "client/qvnTelegram_ClientPrivate.h"
#include "client/qvnTelegram_RequestText.h"

namespace qvn {
namespace {

// TDLib keeps one fatal-error callback per process; it goes to the client activated last.
// Recursive: a handler of the error may activate another client, which takes the route.
std::recursive_mutex gFatalErrorLock;
TqvnTDLib_Telegram_Client* gFatalErrorClient = nullptr;  // guarded by gFatalErrorLock

void RouteFatalErrorsTo(TqvnTDLib_Telegram_Client* aClient) {
  std::lock_guard<std::recursive_mutex> lock(gFatalErrorLock);
  gFatalErrorClient = aClient;
}

void StopRoutingFatalErrorsTo(const TqvnTDLib_Telegram_Client* aClient) {
  std::lock_guard<std::recursive_mutex> lock(gFatalErrorLock);
  if (gFatalErrorClient == aClient) gFatalErrorClient = nullptr;
}

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

// ---- The client's side: construction, properties and the lifecycle's virtuals ----

TqvnTDLib_Telegram_Client::TqvnTDLib_Telegram_Client(TqvnComponent_Base* aOwner)
    : TqvnComponent_Base(aOwner), FPrivate(std::make_unique<TPrivate>(*this)) {}

TqvnTDLib_Telegram_Client::~TqvnTDLib_Telegram_Client() {
  EndForDestruction();
}

void TqvnTDLib_Telegram_Client::EndForDestruction() {
  Destroying();
  FPrivate->EndForDestruction();
}

void TqvnTDLib_Telegram_Client::SetActive(bool aValue) {
  if (aValue) {
    DoActivate();
  } else {
    DoDeactivate();
  }
}

bool TqvnTDLib_Telegram_Client::Active() const {
  return FPrivate->Connection() != nullptr;
}

void* TqvnTDLib_Telegram_Client::Client() const {
  const std::shared_ptr<TqvnTDLibConnection> connection = FPrivate->Connection();
  return connection != nullptr ? connection->Handle() : nullptr;
}

int32_t TqvnTDLib_Telegram_Client::TDLibClientId() const {
  const std::shared_ptr<TqvnTDLibConnection> connection = FPrivate->Connection();
  return connection != nullptr ? connection->ClientId() : 0;
}

bool TqvnTDLib_Telegram_Client::JsonClientInterface() const {
  return FPrivate->FJsonClientInterface.load();
}

void TqvnTDLib_Telegram_Client::SetJsonClientInterface(bool aValue) {
  FPrivate->FJsonClientInterface = aValue;
}

TqvnTelegram_Options& TqvnTDLib_Telegram_Client::Telegram() {
  return FPrivate->FTelegram;
}

const TqvnTelegram_Options& TqvnTDLib_Telegram_Client::Telegram() const {
  return FPrivate->FTelegram;
}

void TqvnTDLib_Telegram_Client::SetTelegram(const TqvnTelegram_Options& aValue) {
  TPumpingLock lock(FTickLock);
  FPrivate->FTelegram.Assign(&aValue);
}

TwsNotifyEvent TqvnTDLib_Telegram_Client::NotifyEvents() const {
  return FPrivate->FNotifyEvents;
}

void TqvnTDLib_Telegram_Client::SetNotifyEvents(TwsNotifyEvent aValue) {
  FPrivate->FNotifyEvents = aValue;
}

bool TqvnTDLib_Telegram_Client::WaitForEvents() const {
  return FPrivate->FWaitForEvents.load();
}

void TqvnTDLib_Telegram_Client::SetWaitForEvents(bool aValue) {
  FPrivate->FWaitForEvents = aValue;
}

int32_t TqvnTDLib_Telegram_Client::Id() {
  std::atomic<int32_t>& tag = FPrivate->FId;
  int32_t id = tag.load();
  if (id == 0) {
    const int32_t drawn = DrawRequestTag();
    // Another thread may draw at the same moment; the first stored tag wins.
    id = tag.compare_exchange_strong(id, drawn) ? drawn : id;
  }
  return id;
}

int64_t TqvnTDLib_Telegram_Client::MyId() const {
  return FPrivate->FMyId.load();
}

std::string TqvnTDLib_Telegram_Client::TDLibVersion() const {
  return FPrivate->TDLibVersion();
}

int TqvnTDLib_Telegram_Client::EventsPerTick() const {
  return FPrivate->FEventsPerTick.load();
}

void TqvnTDLib_Telegram_Client::SetEventsPerTick(int aValue) {
  FPrivate->FEventsPerTick = aValue < 1 ? 1 : aValue;
}

std::chrono::milliseconds TqvnTDLib_Telegram_Client::TickTimeBudget() const {
  return FPrivate->FTickTimeBudget.load();
}

void TqvnTDLib_Telegram_Client::SetTickTimeBudget(std::chrono::milliseconds aValue) {
  FPrivate->FTickTimeBudget = aValue;
}

void TqvnTDLib_Telegram_Client::DoActivate() {
  FPrivate->Activate();
}

void TqvnTDLib_Telegram_Client::DoDeactivate() {
  FPrivate->Deactivate();
}

void TqvnTDLib_Telegram_Client::DoStartThread() {
  FPrivate->StartThread();
}

void TqvnTDLib_Telegram_Client::DoStopThread() {
  FPrivate->StopThread();
}

void TqvnTDLib_Telegram_Client::DoThreadException(TqvnTimer* /*Sender*/, const std::exception& e) {
  DoException(e);
}

void TqvnTDLib_Telegram_Client::DoFatalError(const char* aMessage) {
  DoException(std::runtime_error(aMessage != nullptr ? aMessage : ""));
}

// ---- The engine's side ----

TqvnTDLib_Telegram_Client::TPrivate::TPrivate(TqvnTDLib_Telegram_Client& aClient)
    : FClient(aClient) {}

TqvnTDLib_Telegram_Client::TPrivate::~TPrivate() = default;

void TqvnTDLib_Telegram_Client::TPrivate::FatalErrorCallback(const char* aMessage) {
  // Holds the lock while the client handles the error, so the client cannot be freed meanwhile.
  std::lock_guard<std::recursive_mutex> lock(gFatalErrorLock);
  if (gFatalErrorClient != nullptr) gFatalErrorClient->DoFatalError(aMessage);
}

void TqvnTDLib_Telegram_Client::TPrivate::EndForDestruction() {
  StopRoutingFatalErrorsTo(&FClient);
  FClient.DoDeactivate();
  std::unique_ptr<TqvnTimer> thread;
  {
    TPumpingLock lock(FClient.FTickLock);
    thread = std::move(FThread);
  }
  // Waits for a tick or handler of the worker running on another thread.
  FreeThreadSafely(thread);
  // Waits for a delivery running on the main thread, and drops those still queued.
  RemoveQueuedCalls(&FInbox);
}

std::string TqvnTDLib_Telegram_Client::TPrivate::TDLibVersion() const {
  TqvnLock lock(FVersionLock);
  return FTDLibVersion;
}

void TqvnTDLib_Telegram_Client::TPrivate::SetTDLibVersion(std::string aValue) {
  TqvnLock lock(FVersionLock);
  FTDLibVersion = std::move(aValue);
}

std::string TqvnTDLib_Telegram_Client::TPrivate::GetDatabaseDirectory() {
  TPumpingLock lock(FClient.FTickLock);
  if (FDatabaseLock != nullptr) return FDatabaseLock->Folder();
  const std::string& directory = FTelegram.DatabaseDirectory();
  return directory.empty() ? "tdlib" : directory;
}

std::shared_ptr<TqvnTDLibConnection> TqvnTDLib_Telegram_Client::TPrivate::Connection() const {
  TqvnLock lock(FConnectionLock);
  return FConnection;
}

void TqvnTDLib_Telegram_Client::TPrivate::Activate() {
  // An active client keeps its TDLib client: a second one would hold the database lock.
  if (Connection() != nullptr) return;
  try {
    auto descriptors = std::make_unique<TqvnDescriptorReservation>();
    auto folderLock = std::make_unique<TqvnDatabaseFolderLock>(GetDatabaseDirectory());
    if (!folderLock->Notice().empty()) {
      FClient.DoException(EqvnDatabaseFolderNotice(folderLock->Notice()));
    }
    FId = 0;
    // Before the first TDLib client exists, so that a quiet level also silences its start-up.
    tdjson::td_execute(FillTemplate(kLogVerbosityRequest,
                                    {static_cast<int>(FTelegram.ErrorsLevel()), FClient.Id()})
                           .c_str());
    std::shared_ptr<TqvnTDLibConnection> connection =
        TqvnTDLibConnection::Open(FJsonClientInterface.load());
    if (connection == nullptr) return;  // the folder's lock goes with folderLock
    // Every request from here on is laid out for the release that answers it.
    std::string version = connection->AskVersion(kVersionWait);
    if (!version.empty()) SetTDLibVersion(std::move(version));
    {
      TPumpingLock lock(FClient.FTickLock);
      FReceiveWaits = FWaitForEvents.load();
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
    FClient.DoException(e);
    return;
  }
  try {
    RouteFatalErrorsTo(&FClient);
    tdjson::td_set_log_fatal_error_callback(&FatalErrorCallback);  // optional
    {
      TPumpingLock lock(FClient.FTickLock);
      // Another thread may have deactivated the client since: nothing left to start.
      const std::shared_ptr<TqvnTDLibConnection> connection = Connection();
      if (connection == nullptr) return;
      connection->Execute(kTextEntitiesRequest);
      connection->Send(FillTemplate(kAuthorizationStateRequest, {FClient.Id()}).c_str());
    }
    FClient.DoStartThread();
  } catch (const std::exception& e) {
    // Undone in full: no worker, no TDLib client, no lock.
    try {
      CloseTDLibClient();
    } catch (const std::exception& undo) {
      FClient.DoException(undo);
    }
    FClient.DoException(e);
  }
}

void TqvnTDLib_Telegram_Client::TPrivate::Deactivate() {
  FMyId = 0;
  try {
    if (Connection() == nullptr) return;
    CloseTDLibClient();
    // Outside the tick lock: the pending requests' handlers may run here.
    DoDeactivated();
  } catch (const std::exception& e) {
    FClient.DoException(e);
  }
}

void TqvnTDLib_Telegram_Client::TPrivate::CloseTDLibClient() {
  // A tick or delivery running on another thread ends before its TDLib client goes.
  TPumpingLock lock(FClient.FTickLock);
  std::shared_ptr<TqvnTDLibConnection> connection = Connection();
  if (connection == nullptr) return;
  // Nothing files a deadline with the worker or the receive any more.
  FPendingRequests.SetOnDeadline({});
  if (FThread != nullptr) FClient.DoStopThread();
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

void TqvnTDLib_Telegram_Client::TPrivate::StartThread() {
  std::unique_ptr<TqvnTimer> previous;
  {
    TPumpingLock lock(FClient.FTickLock);
    previous = std::move(FThread);
  }
  // Not under FTickLock: a tick of the previous worker may still need it to end.
  FreeThreadSafely(previous);
  TPumpingLock lock(FClient.FTickLock);
  GetThread()->SetEnabled(true);
}

void TqvnTDLib_Telegram_Client::TPrivate::StopThread() {
  // DoStopThread's caller holds the lock already: taken again, it names the lock as this class
  // does, for the analysis.
  TPumpingLock lock(FClient.FTickLock);
  GetThread()->SetEnabled(false);
}

TqvnTimer* TqvnTDLib_Telegram_Client::TPrivate::GetThread() {
  if (FThread == nullptr) {
    auto thread = std::make_unique<TqvnTimer>();
    thread->SetDebugName("Telegram Thread");
    thread->SetOnException([this](TqvnTimer* aSender, const std::exception& e) {
      FClient.DoThreadException(aSender, e);
    });
    if (FReceiveWaits) {
      // Waits inside TDLib's receive on its own thread and hands the texts on in the mode of
      // this activation: no wait between cycles.
      const TwsNotifyEvent mode = FNotifyEvents;
      thread->SetNotifyEvents(neNoSync);
      thread->SetOnTimer([this, mode](TqvnTimer* aSender) { DoThreadReceive(aSender, mode); });
      thread->SetInterval(0);
    } else {
      thread->SetNotifyEvents(FNotifyEvents);
      thread->SetOnTimer([this](TqvnTimer* aSender) { FClient.DoThreadTimer(aSender); });
      thread->SetInterval(1);
    }
    FThread = std::move(thread);
    WatchDeadlines();
  }
  return FThread.get();
}

bool TqvnTDLib_Telegram_Client::TPrivate::DoTDLibSend(const std::string& aText,
                                                      std::string* aFailure) {
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
    FClient.DoException(e);
    return false;
  }
}

bool TqvnTDLib_Telegram_Client::TPrivate::DoTDLibExecute(const std::string& aText,
                                                         std::string& aResult,
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
    FClient.DoException(e);
    return false;
  }
}

// Each firer calls a copy of its handler, so a handler that replaces or clears its own event
// stays alive while it runs.

bool TqvnTDLib_Telegram_Client::TPrivate::DoBeforeReadEvent(const std::string& aText) {
  bool handled = false;
  if (const auto handler = FClient.OnBeforeReadEvent) handler(&FClient, aText, handled);
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
