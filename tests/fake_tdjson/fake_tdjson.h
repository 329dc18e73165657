/* The scripted fake TDLib: a libtdjson.so for tests.
 *
 * It exports TDLib's JSON functions with TDLib's exact signatures, both interfaces (the
 * td_json_client_* functions, and td_create_client_id / td_send / td_receive / td_execute), so
 * the engine loads and drives it like the real library, and this small C API through which a
 * test scripts it:
 *   - queue the event texts td_json_client_receive hands out, in order;
 *   - answer requests: a rule "when a sent request's @type is X, queue these texts", or a
 *     responder function called with every sent request;
 *   - read the journal of calls made on it (create, send, execute, destroy, callback setting);
 *   - make td_json_client_create fail (return null);
 *   - fire the registered fatal-error callback.
 *
 * td_json_client_receive and td_json_client_execute return a buffer that the next call of the
 * same function on the same thread frees (TDLib keeps one per thread), so a sanitizer catches a
 * caller that keeps the pointer. Receive waits up to its timeout for an event and returns at
 * once when one is queued; it returns null when none came in time or the handle is not a live
 * client. Like TDLib, the fake answers the offline request "testCallEmpty" at once with
 * {"@type":"ok"} (carrying the request's "@extra" when that is its last member), to the client
 * that sent it only, and runs execute without a client. Every
 * function is thread-safe. Counted as a misuse: a call with a handle that is not a live client
 * (destroyed or never created), two receives on one client at once, and destroying a client
 * while a receive on it waits.
 *
 * The current interface works as TDLib's: td_receive hands out the texts of every client made
 * by td_create_client_id, each with its "@client_id" added; a client's own answers (and events
 * queued for it) come first, the shared events go to the oldest such client. "close" sent to
 * such a client answers with authorizationStateClosed, and the client ends ("destroy" in the
 * journal) when that text is received. td_create_client_id returns 0 while creation fails.
 *
 * Built three times: the full library; without td_set_log_fatal_error_callback
 * (FAKE_TD_WITHOUT_FATAL_ERROR_CALLBACK), which current TDLib releases deprecate; and with only
 * the td_json_client_* interface (FAKE_TD_WITHOUT_CLIENT_ID_INTERFACE), as releases before 1.7.
 *
 * Tests link the fake directly; the engine's dlopen("libtdjson.so") then finds the loaded fake
 * by its soname. fake_td_reset() between tests.
 */
#ifndef QVN_TESTS_FAKE_TDJSON_H
#define QVN_TESTS_FAKE_TDJSON_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Forgets everything: queued events, journal, rules, responder, counters, live clients, the
 * registered fatal-error callback; td_json_client_create succeeds again. */
void fake_td_reset(void);

/* The version a synchronous getOption "version" (td_execute) answers: "1.8.67" after reset; null
 * answers TDLib 1.8.0's error (the method can't be executed synchronously). A synchronous
 * getTextEntities finds nothing ({"@type":"textEntities","entities":[]}); every other request
 * executed answers {"@type":"ok"}. */
void fake_td_set_version(const char* aVersion);

/* Appends one event text to the receive queue (shared by all clients). */
void fake_td_queue_event(const char* aText);
/* Appends each line of texts (separated by '\n'; empty lines skipped). */
void fake_td_queue_events(const char* aTexts);
/* Appends one text to the texts of the client with id client_id (from td_create_client_id). */
void fake_td_queue_event_for(int aClientId, const char* aText);
/* 1 when this build exports td_create_client_id, td_send, td_receive and td_execute. */
int fake_td_has_client_id_interface(void);
/* Event texts queued and not yet received. */
size_t fake_td_pending_events(void);

/* Rule: whenever a text whose "@type" is request_type is sent, queue the lines of events
 * (as fake_td_queue_events). Rules stay until reset; several rules may match one type. */
void fake_td_respond(const char* aRequestType, const char* aEvents);

/* Responder: called with every sent text after the rules, outside the fake's lock, on the
 * sending thread; it may call fake_td_queue_event. Null removes it. */
typedef void (*fake_td_responder)(const char* aRequest, void* aContext);
void fake_td_set_responder(fake_td_responder aResponder, void* aContext);

/* Journal of calls, oldest first. Entries: "create", "create failed", "send <text>",
 * "execute <text>", "destroy", "set_log_fatal_error_callback" (receive calls are only
 * counted). fake_td_journal_entry copies entry index into buffer (truncated, always
 * zero-terminated when size > 0) and returns its full length, or 0 past the end. */
size_t fake_td_journal_count(void);
size_t fake_td_journal_entry(size_t aIndex, char* aBuffer, size_t aSize);

/* Calls of td_json_client_receive and td_receive, including those that returned null. */
size_t fake_td_receive_count(void);
/* Event texts td_json_client_receive and td_receive have handed out (queued events and
 * answers), not counting the closed state that ends a client of the current interface: the
 * engine takes that one for itself. */
size_t fake_td_handed_out_events(void);
/* Calls of td_json_client_receive and td_receive waiting for an event right now. */
int fake_td_waiting_receives(void);
/* Clients created and not destroyed. */
int fake_td_live_clients(void);
/* Calls made with a handle that is not a live client. */
int fake_td_misuse_count(void);

/* Non-zero: td_json_client_create returns null. */
void fake_td_fail_create(int aFail);

/* Calls the registered fatal-error callback with message on the calling thread; returns 0 when
 * none is registered (always, in the library built without the callback). */
int fake_td_fire_fatal_error(const char* aMessage);

#ifdef __cplusplus
} /* extern "C" */

#include <string>
#include <vector>

/* C++ conveniences over the journal. */
namespace fake_td {

inline std::vector<std::string> Journal() {
  std::vector<std::string> entries;
  const size_t count = fake_td_journal_count();
  for (size_t i = 0; i < count; ++i) {
    std::string entry(fake_td_journal_entry(i, nullptr, 0), '\0');
    fake_td_journal_entry(i, entry.data(), entry.size() + 1);
    entries.push_back(std::move(entry));
  }
  return entries;
}

/* The texts of the journal entries that start with prefix ("send ", "execute "). */
inline std::vector<std::string> JournalTexts(const std::string& aPrefix) {
  std::vector<std::string> texts;
  for (const std::string& entry : Journal()) {
    if (entry.compare(0, aPrefix.size(), aPrefix) == 0) texts.push_back(entry.substr(aPrefix.size()));
  }
  return texts;
}

inline std::vector<std::string> Sent() {
  return JournalTexts("send ");
}

/* Sent() without the "close" with which the engine ends a client. */
inline std::vector<std::string> SentRequests() {
  std::vector<std::string> texts;
  for (std::string& text : Sent()) {
    if (text != "{\"@type\": \"close\"}") texts.push_back(std::move(text));
  }
  return texts;
}

}  // namespace fake_td
#endif

#endif /* QVN_TESTS_FAKE_TDJSON_H */
