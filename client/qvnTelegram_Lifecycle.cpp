// The client's lifecycle: activation, deactivation, the receive tick, the send and execute
// paths, the request tag and the firers of the events that carry no record.
#include <chrono>
#include <random>
#include <stdexcept>
#include <string>

#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnLib_Telegram.h"
#include "client/qvnLib_Telegram_Client.h"

namespace qvn {
namespace {

// TDLib keeps one fatal-error callback per process; it goes to the client activated last.
// Recursive: a handler of the error may activate another client, which takes the route.
std::recursive_mutex gFatalErrorLock;
TqvnTDLib_Telegram_Client* gFatalErrorClient = nullptr;  // guarded by gFatalErrorLock

// A request the synchronous path runs at activation; its answer is not read.
constexpr const char* kTextEntitiesRequest =
    "{\"@type\": \"getTextEntities\", "
    "\"text\": \"@telegram /start https://telegram.org telegram.me\", "
    "\"@extra\": [\"5\", 7.0]}";

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

TqvnTDLib_Telegram_Client::TqvnTDLib_Telegram_Client(TqvnComponent_Base* AOwner)
    : TqvnComponent_Base(AOwner), FTelegram(std::make_unique<TqvnTelegram_Options>()) {}

TqvnTDLib_Telegram_Client::~TqvnTDLib_Telegram_Client() { EndForDestruction(); }

void TqvnTDLib_Telegram_Client::EndForDestruction() {
  Destroying();
  TqvnFatalErrorRoute::Unregister(this);
  DoDeactivate();
  FreeThreadSafely(FThread);
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
  std::lock_guard<std::mutex> lock(FVersionLock);
  return FTDLibVersion;
}

void TqvnTDLib_Telegram_Client::SetTDLibVersion(std::string aValue) {
  std::lock_guard<std::mutex> lock(FVersionLock);
  FTDLibVersion = std::move(aValue);
}

std::string TqvnTDLib_Telegram_Client::GetDatabaseDirectory() const {
  const std::string& directory = Telegram().DatabaseDirectory();
  return directory.empty() ? "tdlib" : directory;
}

void TqvnTDLib_Telegram_Client::DoActivate() {
  // An active client keeps its TDLib client: a second one would hold the database lock.
  if (Active()) return;
  try {
    void* client = tdjson::td_json_client_create();
    if (client == nullptr) return;
    {
      auto lock = LockTick();
      FClient = client;
    }
    FId = 0;
    std::string answer;
    DoTDLibExecute("{\"@type\": \"setLogVerbosityLevel\", \"new_verbosity_level\": " +
                       std::to_string(static_cast<int>(Telegram().ErrorsLevel())) +
                       ", \"@extra\": " + std::to_string(Id()) + "}",
                   answer);
    TqvnFatalErrorRoute::Register(this);
    tdjson::td_set_log_fatal_error_callback(&TqvnFatalErrorRoute::Callback);
    DoTDLibExecute(kTextEntitiesRequest, answer);
    DoTDLibSend("{\"@type\": \"getAuthorizationState\", \"@extra\": " + std::to_string(Id()) + "}");
    DoStartThread();
  } catch (const std::exception& E) {
    DoException(E);
  }
}

void TqvnTDLib_Telegram_Client::DoDeactivate() {
  FMyId = 0;
  try {
    if (!Active()) return;
    DoStopThread();
    // A tick running on the worker ends before its TDLib client goes.
    auto lock = LockTick();
    void* client = FClient.load();
    if (client == nullptr) return;
    tdjson::td_json_client_destroy(client);
    FClient = nullptr;
    lock.unlock();
    DoDeactivated();
  } catch (const std::exception& E) {
    DoException(E);
  }
}

std::unique_lock<std::recursive_mutex> TqvnTDLib_Telegram_Client::LockTick() {
  std::unique_lock<std::recursive_mutex> lock(FTickLock, std::try_to_lock);
  if (lock.owns_lock()) return lock;
  if (IsMainThread()) {
    PumpMainThreadQueueUntil([&lock] { return lock.owns_lock() || lock.try_lock(); });
  } else {
    lock.lock();
  }
  return lock;
}

void TqvnTDLib_Telegram_Client::DoStartThread() {
  if (FThread != nullptr) FreeThreadSafely(FThread);
  GetThread()->SetEnabled(true);
}

void TqvnTDLib_Telegram_Client::DoStopThread() {
  GetThread()->SetEnabled(false);
}

TqvnTimer* TqvnTDLib_Telegram_Client::GetThread() {
  if (FThread == nullptr) {
    auto* thread = new TqvnTimer();
    thread->SetDebugName("Telegram Thread");
    thread->SetNotifyEvents(FNotifyEvents);
    thread->SetOnTimer([this](TqvnTimer* Sender) { DoThreadTimer(Sender); });
    thread->SetOnException(
        [this](TqvnTimer* Sender, const std::exception& E) { DoThreadException(Sender, E); });
    thread->SetInterval(1);
    FThread = thread;
  }
  return FThread;
}

void TqvnTDLib_Telegram_Client::DoThreadTimer(TqvnTimer* /*Sender*/) {
  try {
    auto lock = LockTick();
    ExpirePendingRequests();
    const int limit = EventsPerTick();
    const auto budget = TickTimeBudget();
    const auto start = std::chrono::steady_clock::now();
    for (int taken = 0; taken < limit; ++taken) {
      // A handler may have deactivated the client during the previous event.
      const char* received = tdjson::td_json_client_receive(FClient.load(), 0.0);
      if (received == nullptr) break;
      // The text belongs to TDLib until its next receive: copy it before anything else.
      DispatchReceived(std::string(received));
      if (std::chrono::steady_clock::now() - start >= budget) break;
    }
  } catch (const std::exception& E) {
    DoException(E);
  } catch (...) {
    DoException(std::runtime_error("Unknown exception in the receive tick"));
  }
  // A deactivation on the main thread may be waiting for this tick to end.
  if (!IsMainThread()) WakeMainThreadQueueWaiters();
}

void TqvnTDLib_Telegram_Client::DispatchReceived(const std::string& aText) {
  try {
    DoReadEvent(aText);
  } catch (const std::exception& E) {
    DoException(E);
  } catch (...) {
    DoException(std::runtime_error("Unknown exception while handling a TDLib event"));
  }
}

void TqvnTDLib_Telegram_Client::DoThreadException(TqvnTimer* /*Sender*/, const std::exception& E) {
  DoException(E);
}

void TqvnTDLib_Telegram_Client::DoFatalError(const char* aMessage) {
  DoException(std::runtime_error(aMessage != nullptr ? aMessage : ""));
}

bool TqvnTDLib_Telegram_Client::DoTDLibSend(const std::string& aText, std::string* aFailure) {
  try {
    void* client = FClient.load();
    tdjson::td_json_client_send(client, aText.c_str());
    return client != nullptr;
  } catch (const std::exception& E) {
    if (aFailure != nullptr) *aFailure = E.what();
    DoException(E);
    return false;
  }
}

bool TqvnTDLib_Telegram_Client::DoTDLibExecute(const std::string& aText, std::string& aResult,
                                               std::string* aFailure) {
  try {
    const char* answer = tdjson::td_json_client_execute(FClient.load(), aText.c_str());
    aResult = answer != nullptr ? answer : "";
    return answer != nullptr;
  } catch (const std::exception& E) {
    if (aFailure != nullptr) *aFailure = E.what();
    DoException(E);
    return false;
  }
}

bool TqvnTDLib_Telegram_Client::DoBeforeReadEvent(const std::string& Text) {
  bool Handled = false;
  if (OnBeforeReadEvent) OnBeforeReadEvent(this, Text, Handled);
  return Handled;
}

void TqvnTDLib_Telegram_Client::DoAuthenticationCode(std::string& Code) {
  if (OnAuthenticationCode) OnAuthenticationCode(this, Code);
}

void TqvnTDLib_Telegram_Client::DoRegisterUser(std::string& FirstName, std::string& LastName) {
  if (OnRegisterUser) OnRegisterUser(this, FirstName, LastName);
}

void TqvnTDLib_Telegram_Client::DoAuthenticationPassword(std::string& Password) {
  if (OnAuthenticationPassword) OnAuthenticationPassword(this, Password);
}

void TqvnTDLib_Telegram_Client::DoException(const std::exception& E) {
  if (!OnException) return;
  try {
    OnException(this, E);
  } catch (...) {
    // The exception has been reported as far as it can be; one thrown while reporting it has
    // nowhere left to go.
  }
}

void TqvnTDLib_Telegram_Client::DoEvent(const std::string& Event, const std::string& Text) {
  if (OnEvent) OnEvent(this, Event, Text);
}

void TqvnTDLib_Telegram_Client::DoConnectionStatus(const std::string& Status) {
  if (OnConnectionStatus) OnConnectionStatus(this, Status);
}

void TqvnTDLib_Telegram_Client::DoAuthorizationStatus(const std::string& Status) {
  if (OnAuthorizationStatus) OnAuthorizationStatus(this, Status);
}

}  // namespace qvn
