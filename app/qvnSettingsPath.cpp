#include "app/qvnSettingsPath.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace qvn {
namespace {

namespace fs = std::filesystem;

const char kFolder[] = "velune";
const char kSettingsFile[] = "velune-telegram.ini";
const char kDatabaseFolder[] = "tdlib";

// The value of aName when it is an absolute path; XDG ignores anything else.
std::string AbsoluteVariable(const TqvnEnvironment& aEnvironment, const char* aName) {
  const char* value = aEnvironment(aName);
  return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

std::string HomeFolder(const TqvnEnvironment& aEnvironment) {
  std::string home = AbsoluteVariable(aEnvironment, "HOME");
  if (!home.empty()) return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return {};
}

// $aVariable, else the home folder's aFallback; "" without either.
std::string BaseFolder(const TqvnEnvironment& aEnvironment, const char* aVariable,
                       const char* aFallback) {
  std::string base = AbsoluteVariable(aEnvironment, aVariable);
  if (!base.empty()) return base;
  const std::string home = HomeFolder(aEnvironment);
  return home.empty() ? std::string() : (fs::path(home) / aFallback).string();
}

bool Exists(const fs::path& aPath, fs::file_type aType) {
  std::error_code error;
  return fs::status(aPath, error).type() == aType;
}

}  // namespace

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
  fs::path path = fs::read_symlink("/proc/self/exe", error);
  return error ? aFallback : path.string();
}

TqvnFilePlaces FilePlacesFor(const std::string& aProgramPath, const TqvnEnvironment& aEnvironment) {
  const fs::path beside = fs::path(aProgramPath).parent_path();
  TqvnFilePlaces places;
  places.SettingsFile = SettingsPathFor(aProgramPath);
  if (!Exists(places.SettingsFile, fs::file_type::regular)) {
    const std::string config = BaseFolder(aEnvironment, "XDG_CONFIG_HOME", ".config");
    if (!config.empty()) places.SettingsFile = (fs::path(config) / kFolder / kSettingsFile).string();
  }
  places.DatabaseDirectory = (beside / kDatabaseFolder).string();
  if (!Exists(places.DatabaseDirectory, fs::file_type::directory)) {
    const std::string data = BaseFolder(aEnvironment, "XDG_DATA_HOME", ".local/share");
    if (!data.empty()) {
      places.DatabaseDirectory = (fs::path(data) / kFolder / kDatabaseFolder).string();
    }
  }
  return places;
}

bool MakeFolderFor(const std::string& aFile) {
  const fs::path folder = fs::path(aFile).parent_path();
  if (folder.empty() || Exists(folder, fs::file_type::directory)) return true;
  std::error_code error;
  fs::create_directories(folder.parent_path(), error);
  if (error) return false;
  return ::mkdir(folder.c_str(), 0700) == 0 || Exists(folder, fs::file_type::directory);
}

}  // namespace qvn
