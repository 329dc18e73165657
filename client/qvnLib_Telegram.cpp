#include "client/qvnLib_Telegram.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

#include "client/qvnElfCheck.h"
#include "client/qvnTelegram_Library.h"

namespace qvn::tdjson {
namespace {

// The loaded library; null until a load has succeeded. Written once, under gLoadLock.
std::atomic<void*> gLibrary{nullptr};
std::mutex gLoadLock;
// The file SetTDJsonLibrary named ("" for none); after a load, the file that was loaded.
std::string gLibraryFile;  // under gLoadLock

// The file to load: the environment's, the program's, or the bare name (qvnTelegram_Library.h).
std::string ChosenFile() {
  const char* fromEnvironment = std::getenv(kTDJsonLibraryVariable);
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  return gLibraryFile.empty() ? kTDJsonLibraryName : gLibraryFile;
}

void* LoadTDLib() {
  void* library = gLibrary.load(std::memory_order_acquire);
  if (library != nullptr) return library;
  std::lock_guard<std::mutex> lock(gLoadLock);
  library = gLibrary.load(std::memory_order_relaxed);
  if (library != nullptr) return library;
  const std::string file = ChosenFile();
  CheckLibraryBeforeLoad(file.c_str());  // a damaged file would crash the loader
  library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* error = dlerror();
    throw std::runtime_error(error != nullptr ? error : "cannot load " + file);
  }
  gLibraryFile = file;
  gLibrary.store(library, std::memory_order_release);
  return library;
}

// The loaded file's name for messages.
std::string LoadedFile() {
  std::lock_guard<std::mutex> lock(gLoadLock);
  return gLibraryFile;
}

// One cached entry point. Two threads may look it up at once; both find the same address.
template <typename Function>
class EntryPoint {
 public:
  explicit constexpr EntryPoint(const char* aName) : FName(aName) {}

  Function Get() {
    const Function function = Find();
    if (function == nullptr) {
      throw std::runtime_error(std::string("TDLib entry point ") + FName + " not found in " +
                               LoadedFile());
    }
    return function;
  }

  // The entry point, or null when the library lacks it.
  Function Find() {
    void* library = LoadTDLib();
    void* address = FAddress.load(std::memory_order_acquire);
    if (address == nullptr) {
      address = dlsym(library, FName);
      if (address != nullptr) FAddress.store(address, std::memory_order_release);
    }
    return reinterpret_cast<Function>(address);
  }

 private:
  const char* FName;
  std::atomic<void*> FAddress{nullptr};
};

EntryPoint<void* (*)()> gCreate("td_json_client_create");
EntryPoint<void (*)(void*, const char*)> gSend("td_json_client_send");
EntryPoint<const char* (*)(void*, double)> gReceive("td_json_client_receive");
EntryPoint<const char* (*)(void*, const char*)> gExecute("td_json_client_execute");
EntryPoint<void (*)(void*)> gDestroy("td_json_client_destroy");
EntryPoint<void (*)(td_log_fatal_error_callback_ptr)> gSetFatalErrorCallback(
    "td_set_log_fatal_error_callback");
EntryPoint<int (*)()> gCreateClientId("td_create_client_id");
EntryPoint<void (*)(int, const char*)> gSendToId("td_send");
EntryPoint<const char* (*)(double)> gReceiveAny("td_receive");
EntryPoint<const char* (*)(const char*)> gExecuteWithoutClient("td_execute");

}  // namespace

void* td_json_client_create() {
  return gCreate.Get()();
}

void td_json_client_send(void* aClient, const char* aRequest) {
  auto send = gSend.Get();
  if (aClient != nullptr) send(aClient, aRequest);
}

const char* td_json_client_receive(void* aClient, double aTimeout) {
  auto receive = gReceive.Get();
  return aClient != nullptr ? receive(aClient, aTimeout) : nullptr;
}

const char* td_json_client_execute(void* aClient, const char* aRequest) {
  auto execute = gExecute.Get();
  return aClient != nullptr ? execute(aClient, aRequest) : nullptr;
}

void td_json_client_destroy(void* aClient) {
  auto destroy = gDestroy.Get();
  if (aClient != nullptr) destroy(aClient);
}

bool td_set_log_fatal_error_callback(td_log_fatal_error_callback_ptr aCallback) {
  const auto setCallback = gSetFatalErrorCallback.Find();
  if (setCallback == nullptr) return false;
  setCallback(aCallback);
  return true;
}

const char* td_execute(const char* aRequest) {
  if (const auto execute = gExecuteWithoutClient.Find()) return execute(aRequest);
  return gExecute.Get()(nullptr, aRequest);
}

bool HasClientIdInterface() {
  return gCreateClientId.Find() != nullptr && gSendToId.Find() != nullptr &&
         gReceiveAny.Find() != nullptr && gExecuteWithoutClient.Find() != nullptr;
}

int td_create_client_id() {
  return gCreateClientId.Get()();
}

void td_send(int aClientId, const char* aRequest) {
  gSendToId.Get()(aClientId, aRequest);
}

const char* td_receive(double aTimeout) {
  return gReceiveAny.Get()(aTimeout);
}

}  // namespace qvn::tdjson

namespace qvn {

void SetTDJsonLibrary(std::string aFile) {
  std::lock_guard<std::mutex> lock(tdjson::gLoadLock);
  if (tdjson::gLibrary.load(std::memory_order_relaxed) != nullptr) {
    if (aFile == tdjson::gLibraryFile) return;
    throw std::logic_error("TDLib is loaded from " + tdjson::gLibraryFile +
                           " already; a process cannot switch to " + aFile);
  }
  tdjson::gLibraryFile = std::move(aFile);
}

std::string TDJsonLibrary() {
  std::lock_guard<std::mutex> lock(tdjson::gLoadLock);
  return tdjson::ChosenFile();
}

}  // namespace qvn
