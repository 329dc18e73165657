// TDLib's proxy list played by the scripted fake TDLib, for the proxy manager's tests and its
// screenshot: while it exists it answers the proxy requests that carry an "@extra" as TDLib
// 1.8.67 does (addProxy and editProxy with the addedProxy, getProxies with addedProxies,
// enableProxy, disableProxy and removeProxy with ok, pingProxy with PingSeconds); a request type
// in Refusals gets that error instead. Test thread only (the fake calls its responder on the
// sending thread, the window's).
#ifndef QVN_TESTS_APP_SCRIPTEDPROXIES_H
#define QVN_TESTS_APP_SCRIPTEDPROXIES_H

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "fake_tdjson.h"

namespace qvn::test {

class TScriptedProxies {
 public:
  std::map<std::string, std::pair<int, std::string>> Refusals;  // type -> code, message
  double PingSeconds = 0.1234;

  TScriptedProxies() { fake_td_set_responder(&TScriptedProxies::Respond, this); }
  ~TScriptedProxies() { fake_td_set_responder(nullptr, nullptr); }

 private:
  static void Respond(const char* aRequest, void* aContext) {
    static_cast<TScriptedProxies*>(aContext)->Answer(nlohmann::json::parse(aRequest));
  }

  void Answer(const nlohmann::json& aRequest) {
    if (!aRequest.contains("@extra")) return;
    const std::string type = aRequest.at("@type");
    nlohmann::json answer = {{"@type", "ok"}};
    if (const auto refusal = Refusals.find(type); refusal != Refusals.end()) {
      answer = {{"@type", "error"}, {"code", refusal->second.first},
                {"message", refusal->second.second}};
    } else if (type == "addProxy" || type == "editProxy") {
      const int id = type == "addProxy" ? ++FLastId : aRequest.at("proxy_id").get<int>();
      if (aRequest.at("enable").get<bool>()) FEnabled = id;
      FProxies[id] = aRequest.at("proxy");
      answer = Added(id);
    } else if (type == "getProxies") {
      answer = {{"@type", "addedProxies"}, {"proxies", nlohmann::json::array()}};
      for (const auto& [id, proxy] : FProxies) answer["proxies"].push_back(Added(id));
    } else if (type == "enableProxy") {
      FEnabled = aRequest.at("proxy_id");
    } else if (type == "disableProxy") {
      FEnabled = 0;
    } else if (type == "removeProxy") {
      FProxies.erase(aRequest.at("proxy_id").get<int>());
    } else if (type == "pingProxy") {
      answer = {{"@type", "seconds"}, {"seconds", PingSeconds}};
    } else {
      return;
    }
    answer["@extra"] = aRequest.at("@extra");
    fake_td_queue_event(answer.dump().c_str());
  }

  nlohmann::json Added(int aId) const {
    return {{"@type", "addedProxy"}, {"id", aId}, {"last_used_date", 0},
            {"is_enabled", aId == FEnabled}, {"comment", ""}, {"proxy", FProxies.at(aId)}};
  }

  std::map<int, nlohmann::json> FProxies;
  int FLastId = 0;
  int FEnabled = 0;
};

}  // namespace qvn::test

#endif  // QVN_TESTS_APP_SCRIPTEDPROXIES_H
