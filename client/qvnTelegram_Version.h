// TDLib version comparison.
//
// TDLib reports its version as dotted decimal text ("1.8.67"). Requests whose layout changed
// between TDLib releases choose the layout by comparing that text with the release that made
// the change; this unit is the one place that comparison is made.
//
// Versions are compared numerically, part by part from the left: "1.10.0" is newer than
// "1.8.1". A missing part counts as 0 ("1.8" equals "1.8.0"). Each part is read from its
// leading decimal digits; anything after them in the part ("1.8.1-beta") is ignored, and a part
// without digits counts as 0. Parts of any length compare correctly (no integer overflow).
//
// Pure functions without state: callable from any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_VERSION_H
#define QVN_CLIENT_QVNTELEGRAM_VERSION_H

#include <string_view>

namespace qvn {

// Negative when aLeft is older than aRight, 0 when both name the same version, positive when
// aLeft is newer.
int CompareTDLibVersions(std::string_view aLeft, std::string_view aRight);

// True when aVersion is aMinimum or newer.
inline bool TDLibVersionAtLeast(std::string_view aVersion, std::string_view aMinimum) {
  return CompareTDLibVersions(aVersion, aMinimum) >= 0;
}

// True when aVersion is strictly newer than aBaseline.
inline bool TDLibVersionNewerThan(std::string_view aVersion, std::string_view aBaseline) {
  return CompareTDLibVersions(aVersion, aBaseline) > 0;
}

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_VERSION_H
