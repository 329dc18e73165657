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
  std::string Type;
  std::vector<std::string> Events;
};

// What the fake keeps of one live client.
struct ClientState {
  std::deque<std::string> Answers;  // its own answers, handed out before the shared events
  int Receiving = 0;                // receive calls on it in progress
  int Id = 0;                       // its id from td_create_client_id; 0 for a td_json_client
  bool Closing = false;             // "close" was sent: it ends when its closed state is received
};

// The state TDLib reports last for a closed client.
constexpr const char* kClosedEvent =
    "{\"@type\":\"updateAuthorizationState\",\"authorization_state\":{\"@type\":"
    "\"authorizationStateClosed\"}}";

// All state below is guarded by gLock.
std::mutex gLock;
std::condition_variable gChanged;  // an event or answer was queued, or a client went away
std::deque<std::string> gEvents;
std::vector<std::string> gJournal;
std::vector<Rule> gRules;
fake_td_responder gResponder = nullptr;
void* gResponderContext = nullptr;
std::map<uintptr_t, ClientState> gLiveClients;
uintptr_t gNextClient = 0x1000;  // handles of td_json_client_create, above every client id
int gNextClientId = 1;
int gSharedReceiving = 0;  // td_receive calls in progress
size_t gReceiveCount = 0;
size_t gHandedOutCount = 0;  // texts td_json_client_receive and td_receive returned
int gWaitingReceives = 0;
int gMisuseCount = 0;
bool gFailCreate = false;
// The release the fake reports to a synchronous getOption "version"; empty: it cannot answer
// that synchronously, as TDLib 1.8.0.
constexpr const char* kDefaultVersion = "1.8.67";
std::string gVersion = kDefaultVersion;
FatalErrorCallback gFatalErrorCallback = nullptr;

// The last texts handed out on this thread; freed by the next call of the same function on it.
struct HandedOut {
  char* Received = nullptr;
  char* Executed = nullptr;
  ~HandedOut() {
    std::free(Received);
    std::free(Executed);
  }
};
thread_local HandedOut gTHandedOut;

ClientState* Live(uintptr_t aKey) {
  const auto found = gLiveClients.find(aKey);
  return found != gLiveClients.end() ? &found->second : nullptr;
}

ClientState* Live(void* aClient) {
  return Live(reinterpret_cast<uintptr_t>(aClient));
}

// Clients made by td_create_client_id are kept under their id.
uintptr_t KeyOf(int aClientId) {
  return aClientId > 0 ? static_cast<uintptr_t>(aClientId) : 0;
}

std::vector<std::string> SplitLines(const char* aTexts) {
  std::vector<std::string> lines;
  std::string line;
  for (const char* p = aTexts;; ++p) {
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
std::string RequestType(const std::string& aText) {
  size_t at = aText.find("\"@type\"");
  if (at == std::string::npos) return "";
  at = aText.find(':', at + 7);
  if (at == std::string::npos) return "";
  at = aText.find('"', at + 1);
  if (at == std::string::npos) return "";
  const size_t end = aText.find('"', at + 1);
  if (end == std::string::npos) return "";
  return aText.substr(at + 1, end - at - 1);
}

// TDLib's answer "ok" to testCallEmpty, with the request's "@extra" when it has one. The fake
// reads "@extra" only as the last member of a flat request, where the engine writes it.
std::string OkFor(const std::string& aRequest) {
  const size_t member = aRequest.rfind("\"@extra\"");
  const size_t end = aRequest.rfind('}');
  const size_t colon = aRequest.find(':', member == std::string::npos ? 0 : member);
  if (member == std::string::npos || end == std::string::npos || colon > end) {
    return "{\"@type\":\"ok\"}";
  }
  const size_t first = aRequest.find_first_not_of(" \t\r\n", colon + 1);
  const size_t last = aRequest.find_last_not_of(" \t\r\n", end - 1);
  if (first == std::string::npos || last < first) return "{\"@type\":\"ok\"}";
  return "{\"@type\":\"ok\",\"@extra\":" + aRequest.substr(first, last - first + 1) + "}";
}

// Replaces *slot with a fresh copy of text, freeing the previous one.
const char* HandOut(char*& aSlot, const std::string& aText) {
  std::free(aSlot);
  aSlot = static_cast<char*>(std::malloc(aText.size() + 1));
  std::memcpy(aSlot, aText.c_str(), aText.size() + 1);
  return aSlot;
}

// td_json_client_send and td_send: journals aRequest, answers "testCallEmpty" and "close",
// applies the rules, then calls the responder.
void Send(uintptr_t aKey, const char* aRequest) {
  fake_td_responder responder;
  void* context;
  {
    std::lock_guard<std::mutex> lock(gLock);
    ClientState* state = Live(aKey);
    if (state == nullptr) {
      ++gMisuseCount;
      return;
    }
    const std::string text = aRequest != nullptr ? aRequest : "";
    gJournal.push_back("send " + text);
    const std::string type = RequestType(text);
    if (type == "testCallEmpty") state->Answers.push_back(OkFor(text));
    if (type == "close" && !state->Closing) {
      state->Answers.push_back(kClosedEvent);
      state->Closing = true;
    }
    for (const Rule& rule : gRules) {
      if (rule.Type == type) gEvents.insert(gEvents.end(), rule.Events.begin(), rule.Events.end());
    }
    gChanged.notify_all();
    responder = gResponder;
    context = gResponderContext;
  }
  if (responder != nullptr) responder(aRequest, context);
}

// aText with TDLib's "@client_id" member added at its end.
std::string WithClientId(std::string aText, int aClientId) {
  const size_t end = aText.rfind('}');
  if (end == std::string::npos) return aText;
  const bool empty = aText.find_first_not_of(" \t\r\n", aText.find('{') + 1) == end;
  aText.insert(end, std::string(empty ? "" : ",") + "\"@client_id\":" + std::to_string(aClientId));
  return aText;
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

FAKE_TD_EXPORT void td_json_client_send(void* aClient, const char* aRequest) {
  Send(reinterpret_cast<uintptr_t>(aClient), aRequest);
}

FAKE_TD_EXPORT const char* td_json_client_receive(void* aClient, double aTimeout) {
  std::unique_lock<std::mutex> lock(gLock);
  ++gReceiveCount;
  std::free(gTHandedOut.Received);
  gTHandedOut.Received = nullptr;
  ClientState* state = Live(aClient);
  if (state == nullptr) {
    ++gMisuseCount;
    return nullptr;
  }
  if (state->Receiving > 0) ++gMisuseCount;  // TDLib allows one receiving thread per client
  ++state->Receiving;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(aTimeout > 0 ? aTimeout : 0);
  std::string event;
  bool found = false;
  ++gWaitingReceives;
  for (;;) {
    state = Live(aClient);  // a reset forgets the client
    if (state == nullptr) break;
    if (!state->Answers.empty()) {
      event = std::move(state->Answers.front());
      state->Answers.pop_front();
      found = true;
      if (!(state->Closing && event == kClosedEvent)) ++gHandedOutCount;
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
      state = Live(aClient);
      break;
    }
  }
  --gWaitingReceives;
  if (state != nullptr) --state->Receiving;
  return found ? HandOut(gTHandedOut.Received, event) : nullptr;
}

FAKE_TD_EXPORT const char* td_json_client_execute(void* aClient, const char* aRequest) {
  std::lock_guard<std::mutex> lock(gLock);
  if (aClient != nullptr && Live(aClient) == nullptr) {
    ++gMisuseCount;
    return nullptr;
  }
  const std::string request = aRequest != nullptr ? aRequest : "";
  gJournal.push_back("execute " + request);
  if (request.find("\"getOption\"") != std::string::npos &&
      request.find("\"version\"") != std::string::npos) {
    return HandOut(gTHandedOut.Executed,
                   gVersion.empty() ? "{\"@type\":\"error\",\"code\":400,\"message\":\"The method "
                                      "can't be executed synchronously\"}"
                                    : "{\"@type\":\"optionValueString\",\"value\":\"" + gVersion +
                                          "\"}");
  }
  if (request.find("\"getTextEntities\"") != std::string::npos) {
    return HandOut(gTHandedOut.Executed, "{\"@type\":\"textEntities\",\"entities\":[]}");
  }
  return HandOut(gTHandedOut.Executed, "{\"@type\":\"ok\"}");
}

FAKE_TD_EXPORT void td_json_client_destroy(void* aClient) {
  std::lock_guard<std::mutex> lock(gLock);
  ClientState* state = Live(aClient);
  if (state == nullptr || state->Receiving > 0) ++gMisuseCount;
  if (state == nullptr) return;
  gLiveClients.erase(reinterpret_cast<uintptr_t>(aClient));
  gJournal.push_back("destroy");
  gChanged.notify_all();
}

#ifndef FAKE_TD_WITHOUT_CLIENT_ID_INTERFACE
FAKE_TD_EXPORT int td_create_client_id() {
  std::lock_guard<std::mutex> lock(gLock);
  if (gFailCreate) {
    gJournal.push_back("create failed");
    return 0;
  }
  const int id = gNextClientId++;
  gLiveClients[KeyOf(id)].Id = id;
  gJournal.push_back("create");
  return id;
}

FAKE_TD_EXPORT void td_send(int aClientId, const char* aRequest) {
  Send(KeyOf(aClientId), aRequest);
}

// The next text for any client made by td_create_client_id: a client's own answers first (by
// id), then the shared events, which go to the oldest such client. A client that was closed ends
// when its closed state is handed out.
FAKE_TD_EXPORT const char* td_receive(double aTimeout) {
  std::unique_lock<std::mutex> lock(gLock);
  ++gReceiveCount;
  std::free(gTHandedOut.Received);
  gTHandedOut.Received = nullptr;
  if (gSharedReceiving > 0) ++gMisuseCount;  // TDLib allows one thread in td_receive
  ++gSharedReceiving;
  ++gWaitingReceives;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(aTimeout > 0 ? aTimeout : 0);
  std::string event;
  bool found = false;
  for (;;) {
    ClientState* oldest = nullptr;
    for (auto& [key, state] : gLiveClients) {
      if (state.Id == 0) continue;
      if (oldest == nullptr) oldest = &state;
      if (state.Answers.empty()) continue;
      event = std::move(state.Answers.front());
      state.Answers.pop_front();
      const int id = state.Id;
      if (state.Closing && event == kClosedEvent) {
        const uintptr_t closed = key;
        gLiveClients.erase(closed);
        gJournal.push_back("destroy");
      } else {
        ++gHandedOutCount;
      }
      event = WithClientId(std::move(event), id);
      found = true;
      break;
    }
    if (!found && oldest != nullptr && !gEvents.empty()) {
      event = WithClientId(std::move(gEvents.front()), oldest->Id);
      gEvents.pop_front();
      ++gHandedOutCount;
      found = true;
    }
    if (found) break;
    if (gChanged.wait_until(lock, deadline) == std::cv_status::timeout) break;
  }
  --gWaitingReceives;
  --gSharedReceiving;
  return found ? HandOut(gTHandedOut.Received, event) : nullptr;
}

FAKE_TD_EXPORT const char* td_execute(const char* aRequest) {
  return td_json_client_execute(nullptr, aRequest);
}
#endif

FAKE_TD_EXPORT void fake_td_queue_event_for(int aClientId, const char* aText) {
  std::lock_guard<std::mutex> lock(gLock);
  ClientState* state = Live(KeyOf(aClientId));
  if (state == nullptr) {
    ++gMisuseCount;
    return;
  }
  state->Answers.emplace_back(aText);
  gChanged.notify_all();
}

FAKE_TD_EXPORT int fake_td_has_client_id_interface(void) {
#ifdef FAKE_TD_WITHOUT_CLIENT_ID_INTERFACE
  return 0;
#else
  return 1;
#endif
}

#ifndef FAKE_TD_WITHOUT_FATAL_ERROR_CALLBACK
FAKE_TD_EXPORT void td_set_log_fatal_error_callback(FatalErrorCallback aCallback) {
  std::lock_guard<std::mutex> lock(gLock);
  gFatalErrorCallback = aCallback;
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
  gVersion = kDefaultVersion;
  gFatalErrorCallback = nullptr;
  gChanged.notify_all();
}

FAKE_TD_EXPORT void fake_td_set_version(const char* aVersion) {
  std::lock_guard<std::mutex> lock(gLock);
  gVersion = aVersion != nullptr ? aVersion : "";
}

FAKE_TD_EXPORT void fake_td_queue_event(const char* aText) {
  std::lock_guard<std::mutex> lock(gLock);
  gEvents.emplace_back(aText);
  gChanged.notify_all();
}

FAKE_TD_EXPORT void fake_td_queue_events(const char* aTexts) {
  std::vector<std::string> lines = SplitLines(aTexts);
  std::lock_guard<std::mutex> lock(gLock);
  for (std::string& line : lines) gEvents.push_back(std::move(line));
  gChanged.notify_all();
}

FAKE_TD_EXPORT size_t fake_td_pending_events(void) {
  std::lock_guard<std::mutex> lock(gLock);
  return gEvents.size();
}

FAKE_TD_EXPORT void fake_td_respond(const char* aRequestType, const char* aEvents) {
  Rule rule{aRequestType, SplitLines(aEvents)};
  std::lock_guard<std::mutex> lock(gLock);
  gRules.push_back(std::move(rule));
}

FAKE_TD_EXPORT void fake_td_set_responder(fake_td_responder aResponder, void* aContext) {
  std::lock_guard<std::mutex> lock(gLock);
  gResponder = aResponder;
  gResponderContext = aContext;
}

FAKE_TD_EXPORT size_t fake_td_journal_count(void) {
  std::lock_guard<std::mutex> lock(gLock);
  return gJournal.size();
}

FAKE_TD_EXPORT size_t fake_td_journal_entry(size_t aIndex, char* aBuffer, size_t aSize) {
  std::lock_guard<std::mutex> lock(gLock);
  if (aIndex >= gJournal.size()) {
    if (aSize > 0) aBuffer[0] = '\0';
    return 0;
  }
  const std::string& entry = gJournal[aIndex];
  if (aSize > 0) {
    const size_t length = entry.size() < aSize - 1 ? entry.size() : aSize - 1;
    std::memcpy(aBuffer, entry.data(), length);
    aBuffer[length] = '\0';
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

FAKE_TD_EXPORT void fake_td_fail_create(int aFail) {
  std::lock_guard<std::mutex> lock(gLock);
  gFailCreate = aFail != 0;
}

FAKE_TD_EXPORT int fake_td_fire_fatal_error(const char* aMessage) {
  FatalErrorCallback callback;
  {
    std::lock_guard<std::mutex> lock(gLock);
    callback = gFatalErrorCallback;
  }
  if (callback == nullptr) return 0;
  callback(aMessage);
  return 1;
}
