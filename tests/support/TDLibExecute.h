// A request run by the TDLib library this process loads ("libtdjson.so"), synchronously and
// without any TDLib client: td_json_client_execute with a null client. TDLib answers the
// requests it can run that way (getTextEntities, parseTextEntities, getOption "version", ...)
// and, for any other text it can read as a request, that the method can't be executed
// synchronously; a text it cannot read, with what it could not read. Nothing is sent anywhere.
// Throws std::runtime_error when the library or its function is not there. Any thread.
#ifndef QVN_TESTS_SUPPORT_TDLIBEXECUTE_H
#define QVN_TESTS_SUPPORT_TDLIBEXECUTE_H

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace qvn::test {

// TDLib's answer text, "null" when it gave none.
inline std::string ExecuteWithoutClient(const std::string& aRequest) {
  using Execute = const char* (*)(void*, const char*);
  static const auto kExecute = [] {
    void* library = dlopen("libtdjson.so", RTLD_NOW);
    return library != nullptr ? reinterpret_cast<Execute>(dlsym(library, "td_json_client_execute"))
                              : nullptr;
  }();
  if (kExecute == nullptr) throw std::runtime_error("td_json_client_execute is not there");
  const char* answer = kExecute(nullptr, aRequest.c_str());
  return answer != nullptr ? answer : "null";
}

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_TDLIBEXECUTE_H
