// How long tests wait for something another thread does. Shared by every test helper that waits.
#ifndef QVN_TESTS_SUPPORT_TIMEOUTS_H
#define QVN_TESTS_SUPPORT_TIMEOUTS_H

#include <chrono>

namespace qvn::test {

// Long enough for a loaded machine or a sanitizer build; a passing test never waits this long.
constexpr auto kGenerousTimeout = std::chrono::seconds(30);

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_TIMEOUTS_H
