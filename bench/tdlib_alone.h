// TDLib alone: the peer of the benchmarks that log in against the real TDLib. A loop that waits
// in td_json_client_receive and answers the same two prompts the client answers (the
// parameters, then the phone number), the way TDLib's own examples drive it: the floor for any
// client. Single-threaded: every call on the caller's thread.
#ifndef QVN_BENCH_TDLIB_ALONE_H
#define QVN_BENCH_TDLIB_ALONE_H

#include <string>

#include "client/qvnLib_Telegram.h"

namespace qvn::bench {

inline constexpr const char* kBenchApiId = "94575";
inline constexpr const char* kBenchApiHash = "a3406de8d171bb422bb6ddf3bbd800e2";
inline constexpr const char* kBenchPhoneNumber = "+15550100";
inline constexpr const char* kPhoneState = "authorizationStateWaitPhoneNumber";

class TTDLibAlone {
 public:
  // Sets the quietest log level, creates the TDLib client and asks for its state.
  explicit TTDLibAlone(std::string aDatabaseFolder) : FFolder(std::move(aDatabaseFolder)) {
    tdjson::td_execute("{\"@type\": \"setLogVerbosityLevel\", \"new_verbosity_level\": 0}");
    FClient = tdjson::td_json_client_create();
    tdjson::td_json_client_send(FClient, "{\"@type\": \"getAuthorizationState\"}");
  }
  ~TTDLibAlone() { tdjson::td_json_client_destroy(FClient); }
  TTDLibAlone(const TTDLibAlone&) = delete;
  TTDLibAlone& operator=(const TTDLibAlone&) = delete;

  // Waits up to aTimeout seconds for one text and answers it; false when none came.
  bool Step(double aTimeout) {
    const char* received = tdjson::td_json_client_receive(FClient, aTimeout);
    if (received == nullptr) return false;
    const std::string text = received;
    ++Events;
    if (text.find("updateAuthorizationState") == std::string::npos) return true;
    if (text.find("authorizationStateWaitTdlibParameters") != std::string::npos) {
      const std::string parameters =
          std::string("{\"@type\": \"setTdlibParameters\", \"database_directory\": \"") +
          FFolder + "\", \"use_message_database\": true, \"use_secret_chats\": true, " +
          "\"api_id\": " + kBenchApiId + ", \"api_hash\": \"" + kBenchApiHash +
          "\", \"system_language_code\": \"en\", \"device_model\": \"Desktop\", "
          "\"system_version\": \"Linux\", \"application_version\": \"1.0\", "
          "\"enable_storage_optimizer\": true}";
      tdjson::td_json_client_send(FClient, parameters.c_str());
    } else if (text.find(kPhoneState) != std::string::npos) {
      tdjson::td_json_client_send(FClient, (std::string("{\"@type\": \"setAuthenticationPhoneNumber\", "
                                                        "\"phone_number\": \"") +
                                            kBenchPhoneNumber + "\"}")
                                               .c_str());
      PhoneNumberSent = true;
    }
    return true;
  }

  bool PhoneNumberSent = false;
  int Events = 0;

 private:
  std::string FFolder;
  void* FClient;
};

}  // namespace qvn::bench

#endif  // QVN_BENCH_TDLIB_ALONE_H
