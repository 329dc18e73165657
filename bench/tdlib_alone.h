// TDLib alone: the peer of the benchmarks that log in against the real TDLib. A loop that waits
// in TDLib's receive and answers the same two prompts the client answers (the parameters, then
// the phone number), the way TDLib's own examples drive it: the floor for any client. Through
// TDLib's current interface (td_create_client_id, td_send, td_receive: the one receive of the
// process, so nothing else may receive meanwhile) or the td_json_client_* functions.
// Single-threaded: every call on the caller's thread.
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
  TTDLibAlone(std::string aDatabaseFolder, bool aCurrentInterface)
      : FFolder(std::move(aDatabaseFolder)), FCurrentInterface(aCurrentInterface) {
    tdjson::td_execute("{\"@type\": \"setLogVerbosityLevel\", \"new_verbosity_level\": 0}");
    if (FCurrentInterface) {
      FClientId = tdjson::td_create_client_id();
    } else {
      FClient = tdjson::td_json_client_create();
    }
    Send("{\"@type\": \"getAuthorizationState\"}");
  }
  // Closes the client; on the current interface it waits until TDLib reports it closed, so the
  // process's receive is free for the next user.
  ~TTDLibAlone() {
    if (!FCurrentInterface) {
      tdjson::td_json_client_destroy(FClient);
      return;
    }
    Send("{\"@type\": \"close\"}");
    for (;;) {
      const char* received = tdjson::td_receive(10.0);
      if (received != nullptr &&
          std::string(received).find("authorizationStateClosed") != std::string::npos) {
        return;
      }
    }
  }
  TTDLibAlone(const TTDLibAlone&) = delete;
  TTDLibAlone& operator=(const TTDLibAlone&) = delete;

  // Waits up to aTimeout seconds for one text and answers it; false when none came.
  bool Step(double aTimeout) {
    const char* received = FCurrentInterface ? tdjson::td_receive(aTimeout)
                                             : tdjson::td_json_client_receive(FClient, aTimeout);
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
      Send(parameters);
    } else if (text.find(kPhoneState) != std::string::npos) {
      Send(std::string("{\"@type\": \"setAuthenticationPhoneNumber\", \"phone_number\": \"") +
           kBenchPhoneNumber + "\"}");
      PhoneNumberSent = true;
    }
    return true;
  }

  bool PhoneNumberSent = false;
  int Events = 0;

 private:
  void Send(const std::string& aRequest) {
    if (FCurrentInterface) {
      tdjson::td_send(FClientId, aRequest.c_str());
    } else {
      tdjson::td_json_client_send(FClient, aRequest.c_str());
    }
  }

  std::string FFolder;
  const bool FCurrentInterface;
  int FClientId = 0;
  void* FClient = nullptr;
};

}  // namespace qvn::bench

#endif  // QVN_BENCH_TDLIB_ALONE_H
