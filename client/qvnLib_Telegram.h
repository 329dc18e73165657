// The binding to TDLib's JSON interface, loaded at run time.
//
// Wrappers with the names and shapes of TDLib's own functions, in namespace qvn::tdjson so they
// never clash with the symbols TDLib exports: the td_json_client_* interface every release has,
// and the current one (td_create_client_id, td_send, td_receive, td_execute; TDLib 1.7 and
// later), which serves every client of the process through one receive. The first call of any
// wrapper loads the library file qvnTelegram_Library.h chooses with dlopen ("libtdjson.so" by
// bare name unless the program or the environment names another, so the platform's search
// order, the program's run path first, decides which file is found); each entry point is looked
// up with dlsym on the first call of its wrapper. The library is never unloaded and the lookups
// live until the process ends.
//
// Failures throw std::runtime_error: a library that cannot be loaded throws dlerror()'s text
// and leaves nothing cached, so the next call of any wrapper tries the load again; a loaded
// library without the entry point throws a message naming it. The fatal-error callback is
// optional (current TDLib releases deprecate it): its wrapper reports a missing entry point by
// returning false.
//
// Guards: send and destroy do nothing for a null client; receive and execute return null for
// a null client without calling TDLib. The library is loaded (or the load reported) even then.
// td_execute runs a synchronous request with no client at all, as TDLib allows.
//
// Thread-safe: the load and the lookups are made once even under concurrent first use. The
// texts returned by receive and execute belong to TDLib and stay valid only until the next call
// of the same function; callers copy them at once.
#ifndef QVN_CLIENT_QVNLIB_TELEGRAM_H
#define QVN_CLIENT_QVNLIB_TELEGRAM_H

namespace qvn::tdjson {

// The file name the binding loads when the program and the environment name none.
inline constexpr const char* kTDJsonLibraryName = "libtdjson.so";

// An offline request TDLib answers at once: sent to wake a thread waiting in a receive.
inline constexpr const char* kWakeRequest = "{\"@type\": \"testCallEmpty\"}";

// TDLib calls it, on one of its own threads, with the text of a fatal error.
using td_log_fatal_error_callback_ptr = void (*)(const char* aErrorMessage);

void* td_json_client_create();
void td_json_client_send(void* aClient, const char* aRequest);
const char* td_json_client_receive(void* aClient, double aTimeout);
const char* td_json_client_execute(void* aClient, const char* aRequest);
void td_json_client_destroy(void* aClient);
// False, registering nothing, when the library has no td_set_log_fatal_error_callback.
bool td_set_log_fatal_error_callback(td_log_fatal_error_callback_ptr aCallback);
// A synchronous request that needs no client: TDLib's td_execute where the library has it,
// otherwise td_json_client_execute with a null client.
const char* td_execute(const char* aRequest);

// True when the library exports td_create_client_id, td_send, td_receive and td_execute.
bool HasClientIdInterface();
int td_create_client_id();
void td_send(int aClientId, const char* aRequest);
// The next text for any client of the process, with its "@client_id"; null when none came
// within aTimeout seconds. One thread at a time.
const char* td_receive(double aTimeout);

}  // namespace qvn::tdjson

#endif  // QVN_CLIENT_QVNLIB_TELEGRAM_H
