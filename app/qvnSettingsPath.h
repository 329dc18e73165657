// Where the window keeps its settings: the program's own path with its extension replaced by
// ".ini". The extension is the part from the last "." of the file name (a "." followed by a "/"
// belongs to a folder name); a program without one, the usual case on Linux, gets ".ini"
// appended, so the file lies beside the program. Pure functions, any thread.
#ifndef QVN_APP_QVNSETTINGSPATH_H
#define QVN_APP_QVNSETTINGSPATH_H

#include <string>

namespace qvn {

// aProgramPath with ".ini" in place of its extension.
std::string SettingsPathFor(const std::string& aProgramPath);

// The full path of the running program (from /proc/self/exe), or aFallback when it cannot be
// read.
std::string RunningProgramPath(const std::string& aFallback);

}  // namespace qvn

#endif  // QVN_APP_QVNSETTINGSPATH_H
