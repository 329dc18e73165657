#include "client/qvnTelegram_Descriptors.h"

#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/qvnThreadSafety.h"

namespace qvn {
namespace {

TqvnMutex gLock;
bool gLimitRaised QVN_GUARDED_BY(gLock) = false;
long gReservations QVN_GUARDED_BY(gLock) = 0;
// Descriptors in use when the last reservation was taken while none was held.
long gBaseline QVN_GUARDED_BY(gLock) = 0;

long OpenDescriptors() {
  std::error_code error;
  long count = 0;
  for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
       it.increment(error)) {
    ++count;
  }
  return count;
}

// The soft limit, raised to the hard one on the first call.
long DescriptorLimit(bool aRaise) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return RLIM_INFINITY;
  if (aRaise && limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return limit.rlim_cur == RLIM_INFINITY ? static_cast<long>(RLIM_INFINITY)
                                         : static_cast<long>(limit.rlim_cur);
}

}  // namespace

TqvnDescriptorReservation::TqvnDescriptorReservation() {
  TqvnLock lock(gLock);
  const long limit = DescriptorLimit(!gLimitRaised);
  gLimitRaised = true;
  const long open = OpenDescriptors();
  if (gReservations == 0) gBaseline = open;
  const long inUse = std::max(open, gBaseline + gReservations * kDescriptorsPerClient);
  if (limit != static_cast<long>(RLIM_INFINITY) &&
      inUse + kDescriptorsPerClient + kSpareDescriptors > limit) {
    throw EqvnDescriptorLimitError(
        "Too few file descriptors left for another TDLib client: " + std::to_string(inUse) +
        " of the process's limit of " + std::to_string(limit) + " are in use or held for " +
        std::to_string(gReservations) + " active clients, and a client needs " +
        std::to_string(kDescriptorsPerClient) + "; raise the limit (ulimit -n) or run fewer clients");
  }
  ++gReservations;
}

TqvnDescriptorReservation::~TqvnDescriptorReservation() {
  TqvnLock lock(gLock);
  --gReservations;
}

}  // namespace qvn
