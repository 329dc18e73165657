#include "client/qvnTelegram_DatabaseFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace qvn {
namespace {

std::string InQuotes(const std::string& aFolder) { return "\"" + aFolder + "\""; }

std::string OctalMode(mode_t aMode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(aMode & 07777));
  return text;
}

// Creates aFolder and each missing folder above it, owner-only. Folders that exist are kept.
void CreateOwnerOnlyFolders(const std::string& aFolder) {
  for (size_t end = aFolder.find('/', 1);; end = aFolder.find('/', end + 1)) {
    const std::string folder = aFolder.substr(0, end);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      throw EqvnDatabaseFolderError("Cannot create the database directory " + InQuotes(aFolder) +
                                    ": " + std::strerror(errno));
    }
    if (end == std::string::npos) return;
  }
}

// Makes aFolder owner-only when its group or others may use it; returns what it did, or "".
std::string TightenFolder(const std::string& aFolder) {
  struct stat info {};
  if (stat(aFolder.c_str(), &info) != 0) {
    throw EqvnDatabaseFolderError("Cannot read the database directory " + InQuotes(aFolder) + ": " +
                                  std::strerror(errno));
  }
  if (!S_ISDIR(info.st_mode)) {
    throw EqvnDatabaseFolderError("The database directory " + InQuotes(aFolder) +
                                  " is not a folder");
  }
  if ((info.st_mode & 077) == 0) return "";
  const mode_t ownerOnly = info.st_mode & 07700;
  const std::string was = "The database directory " + InQuotes(aFolder) +
                          " could be read by other users (mode " + OctalMode(info.st_mode) + ")";
  if (chmod(aFolder.c_str(), ownerOnly) != 0) {
    return was + " and could not be made owner-only: " + std::strerror(errno);
  }
  return was + "; it is now owner-only (mode " + OctalMode(ownerOnly) + ")";
}

}  // namespace

TqvnDatabaseFolderLock::TqvnDatabaseFolderLock(std::string aFolder) : FFolder(std::move(aFolder)) {
  CreateOwnerOnlyFolders(FFolder);
  FNotice = TightenFolder(FFolder);
  const std::string path = FFolder + "/" + kLockFileName;
  FFile = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (FFile < 0) {
    throw EqvnDatabaseFolderError("Cannot open the lock file of the database directory " +
                                  InQuotes(FFolder) + ": " + std::strerror(errno));
  }
  if (flock(FFile, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(FFile);
    if (error == EWOULDBLOCK) {
      throw EqvnDatabaseFolderError(
          "The database directory " + InQuotes(FFolder) +
          " is in use by another Telegram client (its lock file " + kLockFileName +
          " is held); stop that client or give this one another database directory");
    }
    throw EqvnDatabaseFolderError("Cannot lock the database directory " + InQuotes(FFolder) + ": " +
                                  std::strerror(error));
  }
}

TqvnDatabaseFolderLock::~TqvnDatabaseFolderLock() { close(FFile); }

}  // namespace qvn
