#include "client/qvnLib_Telegram.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>

#include "client/qvnElfCheck.h"

namespace qvn::tdjson {
namespace {

// The loaded library; null until a load has succeeded. Written once, under gLoadLock.
std::atomic<void*> gLibrary{nullptr};
std::mutex gLoadLock;

void* LoadTDLib() {
  void* library = gLibrary.load(std::memory_order_acquire);
  if (library != nullptr) return library;
  std::lock_guard<std::mutex> lock(gLoadLock);
  library = gLibrary.load(std::memory_order_relaxed);
  if (library != nullptr) return library;
  CheckLibraryBeforeLoad(kTDJsonLibraryName);  // a damaged file would crash the loader
  library = dlopen(kTDJsonLibraryName, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* error = dlerror();
    throw std::runtime_error(error != nullptr ? error
                                              : std::string("cannot load ") + kTDJsonLibraryName);
  }
  gLibrary.store(library, std::memory_order_release);
  return library;
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
                               kTDJsonLibraryName);
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

}  // namespace

void* td_json_client_create() {
  return gCreate.Get()();
}

void td_json_client_send(void* client, const char* request) {
  auto send = gSend.Get();
  if (client != nullptr) send(client, request);
}

const char* td_json_client_receive(void* client, double timeout) {
  auto receive = gReceive.Get();
  return client != nullptr ? receive(client, timeout) : nullptr;
}

const char* td_json_client_execute(void* client, const char* request) {
  auto execute = gExecute.Get();
  return client != nullptr ? execute(client, request) : nullptr;
}

void td_json_client_destroy(void* client) {
  auto destroy = gDestroy.Get();
  if (client != nullptr) destroy(client);
}

bool td_set_log_fatal_error_callback(td_log_fatal_error_callback_ptr callback) {
  const auto setCallback = gSetFatalErrorCallback.Find();
  if (setCallback == nullptr) return false;
  setCallback(callback);
  return true;
}

const char* td_execute(const char* request) {
  return gExecute.Get()(nullptr, request);
}

}  // namespace qvn::tdjson
