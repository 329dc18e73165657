#include "app/qvnSettingsPath.h"

#include <filesystem>
#include <system_error>

namespace qvn {

std::string SettingsPathFor(const std::string& aProgramPath) {
  size_t dot = aProgramPath.find_last_of('.');
  size_t slash = aProgramPath.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && slash > dot)) {
    return aProgramPath + ".ini";
  }
  return aProgramPath.substr(0, dot) + ".ini";
}

std::string RunningProgramPath(const std::string& aFallback) {
  std::error_code error;
  std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? aFallback : path.string();
}

}  // namespace qvn
