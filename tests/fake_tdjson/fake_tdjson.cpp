// The scripted fake TDLib (see fake_tdjson.h).
#include "fake_tdjson.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
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

// All state below is guarded by gLock.
std::mutex gLock;
std::deque<std::string> gEvents;
std::vector<std::string> gJournal;
std::vector<Rule> gRules;
fake_td_responder gResponder = nullptr;
void* gResponderContext = nullptr;
std::set<uintptr_t> gLiveClients;
uintptr_t gNextClient = 0x1000;
size_t gReceiveCount = 0;
int gMisuseCount = 0;
bool gFailCreate = false;
FatalErrorCallback gFatalErrorCallback = nullptr;
// The last texts handed out; freed by the next call of the same function.
char* gReceived = nullptr;
char* gExecuted = nullptr;

bool IsLive(void* client) {
  return gLiveClients.count(reinterpret_cast<uintptr_t>(client)) != 0;
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
  gLiveClients.insert(client);
  gJournal.push_back("create");
  return reinterpret_cast<void*>(client);
}

FAKE_TD_EXPORT void td_json_client_send(void* client, const char* request) {
  fake_td_responder responder;
  void* context;
  {
    std::lock_guard<std::mutex> lock(gLock);
    if (!IsLive(client)) {
      ++gMisuseCount;
      return;
    }
    const std::string text = request != nullptr ? request : "";
    gJournal.push_back("send " + text);
    const std::string type = RequestType(text);
    for (const Rule& rule : gRules) {
      if (rule.type == type) gEvents.insert(gEvents.end(), rule.events.begin(), rule.events.end());
    }
    responder = gResponder;
    context = gResponderContext;
  }
  if (responder != nullptr) responder(request, context);
}

FAKE_TD_EXPORT const char* td_json_client_receive(void* client, double /*timeout*/) {
  std::lock_guard<std::mutex> lock(gLock);
  ++gReceiveCount;
  std::free(gReceived);
  gReceived = nullptr;
  if (!IsLive(client)) {
    ++gMisuseCount;
    return nullptr;
  }
  if (gEvents.empty()) return nullptr;
  const std::string event = std::move(gEvents.front());
  gEvents.pop_front();
  return HandOut(gReceived, event);
}

FAKE_TD_EXPORT const char* td_json_client_execute(void* client, const char* request) {
  std::lock_guard<std::mutex> lock(gLock);
  if (!IsLive(client)) {
    ++gMisuseCount;
    return nullptr;
  }
  gJournal.push_back(std::string("execute ") + (request != nullptr ? request : ""));
  return HandOut(gExecuted, "{\"@type\":\"ok\"}");
}

FAKE_TD_EXPORT void td_json_client_destroy(void* client) {
  std::lock_guard<std::mutex> lock(gLock);
  if (gLiveClients.erase(reinterpret_cast<uintptr_t>(client)) == 0) {
    ++gMisuseCount;
    return;
  }
  gJournal.push_back("destroy");
}

FAKE_TD_EXPORT void td_set_log_fatal_error_callback(FatalErrorCallback callback) {
  std::lock_guard<std::mutex> lock(gLock);
  gFatalErrorCallback = callback;
  gJournal.push_back("set_log_fatal_error_callback");
}

FAKE_TD_EXPORT void fake_td_reset(void) {
  std::lock_guard<std::mutex> lock(gLock);
  gEvents.clear();
  gJournal.clear();
  gRules.clear();
  gResponder = nullptr;
  gResponderContext = nullptr;
  gLiveClients.clear();
  gReceiveCount = 0;
  gMisuseCount = 0;
  gFailCreate = false;
  gFatalErrorCallback = nullptr;
}

FAKE_TD_EXPORT void fake_td_queue_event(const char* text) {
  std::lock_guard<std::mutex> lock(gLock);
  gEvents.emplace_back(text);
}

FAKE_TD_EXPORT void fake_td_queue_events(const char* texts) {
  std::vector<std::string> lines = SplitLines(texts);
  std::lock_guard<std::mutex> lock(gLock);
  for (std::string& line : lines) gEvents.push_back(std::move(line));
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
