// The scripted fake TDLib (see fake_tdjson.h).
#include "fake_tdjson.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#define FAKE_TD_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using FatalErrorCallback = void (*)(const char*);

struct Rule {
  std::string type;
  std::vector<std::string> events;
};

// What the fake keeps of one live client.
struct ClientState {
  std::deque<std::string> answers;  // its own answers, handed out before the shared events
  int receiving = 0;                // receive calls on it in progress
};

// All state below is guarded by gLock.
std::mutex gLock;
std::condition_variable gChanged;  // an event or answer was queued, or a client went away
std::deque<std::string> gEvents;
std::vector<std::string> gJournal;
std::vector<Rule> gRules;
fake_td_responder gResponder = nullptr;
void* gResponderContext = nullptr;
std::map<uintptr_t, ClientState> gLiveClients;
uintptr_t gNextClient = 0x1000;
size_t gReceiveCount = 0;
size_t gHandedOutCount = 0;  // texts td_json_client_receive returned
int gWaitingReceives = 0;
int gMisuseCount = 0;
bool gFailCreate = false;
FatalErrorCallback gFatalErrorCallback = nullptr;

// The last texts handed out on this thread; freed by the next call of the same function on it.
struct HandedOut {
  char* received = nullptr;
  char* executed = nullptr;
  ~HandedOut() {
    std::free(received);
    std::free(executed);
  }
};
thread_local HandedOut tHandedOut;

ClientState* Live(void* client) {
  const auto found = gLiveClients.find(reinterpret_cast<uintptr_t>(client));
  return found != gLiveClients.end() ? &found->second : nullptr;
}

std::vector<std::string> SplitLines(const char* texts) {
  std::vector<std::string> lines;
  std::string line;
  for (const char* p = texts;; ++p) {
    if (*p == '\n' || *p == '\0') {
      if (!line.empty()) lines.push_back(std::move(line));
      line.clear();
      if (*p == '\0') break;
    } else {
      line += *p;
    }
  }
  return lines;
}

// The value of the first "@type" member of a request text, or "" when there is none.
std::string RequestType(const std::string& text) {
  size_t at = text.find("\"@type\"");
  if (at == std::string::npos) return "";
  at = text.find(':', at + 7);
  if (at == std::string::npos) return "";
  at = text.find('"', at + 1);
  if (at == std::string::npos) return "";
  const size_t end = text.find('"', at + 1);
  if (end == std::string::npos) return "";
  return text.substr(at + 1, end - at - 1);
}

// Replaces *slot with a fresh copy of text, freeing the previous one.
const char* HandOut(char*& slot, const std::string& text) {
  std::free(slot);
  slot = static_cast<char*>(std::malloc(text.size() + 1));
  std::memcpy(slot, text.c_str(), text.size() + 1);
  return slot;
}

}  // namespace

FAKE_TD_EXPORT void* td_json_client_create() {
  std::lock_guard<std::mutex> lock(gLock);
  if (gFailCreate) {
    gJournal.push_back("create failed");
    return nullptr;
  }
  const uintptr_t client = gNextClient;
  gNextClient += 0x10;
  gLiveClients[client];
  gJournal.push_back("create");
  return reinterpret_cast<void*>(client);
}

FAKE_TD_EXPORT void td_json_client_send(void* client, const char* request) {
  fake_td_responder responder;
  void* context;
  {
    std::lock_guard<std::mutex> lock(gLock);
    ClientState* state = Live(client);
    if (state == nullptr) {
      ++gMisuseCount;
      return;
    }
    const std::string text = request != nullptr ? request : "";
    gJournal.push_back("send " + text);
    const std::string type = RequestType(text);
    if (type == "testCallEmpty") state->answers.push_back("{\"@type\":\"ok\"}");
    for (const Rule& rule : gRules) {
      if (rule.type == type) gEvents.insert(gEvents.end(), rule.events.begin(), rule.events.end());
    }
    gChanged.notify_all();
    responder = gResponder;
    context = gResponderContext;
  }
  if (responder != nullptr) responder(request, context);
}

FAKE_TD_EXPORT const char* td_json_client_receive(void* client, double timeout) {
  std::unique_lock<std::mutex> lock(gLock);
  ++gReceiveCount;
  std::free(tHandedOut.received);
  tHandedOut.received = nullptr;
  ClientState* state = Live(client);
  if (state == nullptr) {
    ++gMisuseCount;
    return nullptr;
  }
  if (state->receiving > 0) ++gMisuseCount;  // TDLib allows one receiving thread per client
  ++state->receiving;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout > 0 ? timeout : 0);
  std::string event;
  bool found = false;
  ++gWaitingReceives;
  for (;;) {
    state = Live(client);  // a reset forgets the client
    if (state == nullptr) break;
    if (!state->answers.empty()) {
      event = std::move(state->answers.front());
      state->answers.pop_front();
      found = true;
      ++gHandedOutCount;
      break;
    }
    if (!gEvents.empty()) {
      event = std::move(gEvents.front());
      gEvents.pop_front();
      found = true;
      ++gHandedOutCount;
      break;
    }
    if (gChanged.wait_until(lock, deadline) == std::cv_status::timeout) {
      state = Live(client);
      break;
    }
  }
  --gWaitingReceives;
  if (state != nullptr) --state->receiving;
  return found ? HandOut(tHandedOut.received, event) : nullptr;
}

FAKE_TD_EXPORT const char* td_json_client_execute(void* client, const char* request) {
  std::lock_guard<std::mutex> lock(gLock);
  if (client != nullptr && Live(client) == nullptr) {
    ++gMisuseCount;
    return nullptr;
  }
  gJournal.push_back(std::string("execute ") + (request != nullptr ? request : ""));
  return HandOut(tHandedOut.executed, "{\"@type\":\"ok\"}");
}

FAKE_TD_EXPORT void td_json_client_destroy(void* client) {
  std::lock_guard<std::mutex> lock(gLock);
  ClientState* state = Live(client);
  if (state == nullptr || state->receiving > 0) ++gMisuseCount;
  if (state == nullptr) return;
  gLiveClients.erase(reinterpret_cast<uintptr_t>(client));
  gJournal.push_back("destroy");
  gChanged.notify_all();
}

#ifndef FAKE_TD_WITHOUT_FATAL_ERROR_CALLBACK
FAKE_TD_EXPORT void td_set_log_fatal_error_callback(FatalErrorCallback callback) {
  std::lock_guard<std::mutex> lock(gLock);
  gFatalErrorCallback = callback;
  gJournal.push_back("set_log_fatal_error_callback");
}
#endif

FAKE_TD_EXPORT void fake_td_reset(void) {
  std::lock_guard<std::mutex> lock(gLock);
  gEvents.clear();
  gJournal.clear();
  gRules.clear();
  gResponder = nullptr;
  gResponderContext = nullptr;
  gLiveClients.clear();
  gReceiveCount = 0;
  gHandedOutCount = 0;
  gMisuseCount = 0;
  gFailCreate = false;
  gFatalErrorCallback = nullptr;
  gChanged.notify_all();
}

FAKE_TD_EXPORT void fake_td_queue_event(const char* text) {
  std::lock_guard<std::mutex> lock(gLock);
  gEvents.emplace_back(text);
  gChanged.notify_all();
}

FAKE_TD_EXPORT void fake_td_queue_events(const char* texts) {
  std::vector<std::string> lines = SplitLines(texts);
  std::lock_guard<std::mutex> lock(gLock);
  for (std::string& line : lines) gEvents.push_back(std::move(line));
  gChanged.notify_all();
}

FAKE_TD_EXPORT size_t fake_td_pending_events(void) {
  std::lock_guard<std::mutex> lock(gLock);
  return gEvents.size();
}

FAKE_TD_EXPORT void fake_td_respond(const char* request_type, const char* events) {
  Rule rule{request_type, SplitLines(events)};
  std::lock_guard<std::mutex> lock(gLock);
  gRules.push_back(std::move(rule));
}

FAKE_TD_EXPORT void fake_td_set_responder(fake_td_responder responder, void* context) {
  std::lock_guard<std::mutex> lock(gLock);
  gResponder = responder;
  gResponderContext = context;
}

FAKE_TD_EXPORT size_t fake_td_journal_count(void) {
  std::lock_guard<std::mutex> lock(gLock);
  return gJournal.size();
}

FAKE_TD_EXPORT size_t fake_td_journal_entry(size_t index, char* buffer, size_t size) {
  std::lock_guard<std::mutex> lock(gLock);
  if (index >= gJournal.size()) {
    if (size > 0) buffer[0] = '\0';
    return 0;
  }
  const std::string& entry = gJournal[index];
  if (size > 0) {
    const size_t length = entry.size() < size - 1 ? entry.size() : size - 1;
    std::memcpy(buffer, entry.data(), length);
    buffer[length] = '\0';
  }
  return entry.size();
}

FAKE_TD_EXPORT size_t fake_td_receive_count(void) {
  std::lock_guard<std::mutex> lock(gLock);
  return gReceiveCount;
}

FAKE_TD_EXPORT size_t fake_td_handed_out_events(void) {
  std::lock_guard<std::mutex> lock(gLock);
  return gHandedOutCount;
}

FAKE_TD_EXPORT int fake_td_waiting_receives(void) {
  std::lock_guard<std::mutex> lock(gLock);
  return gWaitingReceives;
}

FAKE_TD_EXPORT int fake_td_live_clients(void) {
  std::lock_guard<std::mutex> lock(gLock);
  return static_cast<int>(gLiveClients.size());
}

FAKE_TD_EXPORT int fake_td_misuse_count(void) {
  std::lock_guard<std::mutex> lock(gLock);
  return gMisuseCount;
}

FAKE_TD_EXPORT void fake_td_fail_create(int fail) {
  std::lock_guard<std::mutex> lock(gLock);
  gFailCreate = fail != 0;
}

FAKE_TD_EXPORT int fake_td_fire_fatal_error(const char* message) {
  FatalErrorCallback callback;
  {
    std::lock_guard<std::mutex> lock(gLock);
    callback = gFatalErrorCallback;
  }
  if (callback == nullptr) return 0;
  callback(message);
  return 1;
}
