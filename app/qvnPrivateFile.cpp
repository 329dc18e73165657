#include "app/qvnPrivateFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace qvn {

namespace {

// The temporary file of a save is the target's name, this infix and mkstemp's six characters.
constexpr char kTemporaryInfix[] = ".saving-";
constexpr std::size_t kTemporaryRandomLength = 6;

// Closes a descriptor when it goes out of scope.
class TDescriptor {
 public:
  explicit TDescriptor(int aFd) : FFd(aFd) {}
  ~TDescriptor() {
    if (FFd >= 0) ::close(FFd);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  int Get() const { return FFd; }
  // Closes now; false when closing reported an error (a write that did not reach the file).
  bool Close() {
    const int fd = FFd;
    FFd = -1;
    return ::close(fd) == 0;
  }

 private:
  int FFd;
};

std::string ModeText(mode_t aMode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(aMode & 07777));
  return text;
}

std::string SizeText(std::size_t aBytes) {
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  if (aBytes % kMiB == 0) return std::to_string(aBytes / kMiB) + " MiB";
  return std::to_string(aBytes) + " bytes";
}

const char* KindOf(mode_t aMode) {
  if (S_ISDIR(aMode)) return "a folder";
  if (S_ISFIFO(aMode)) return "a named pipe";
  if (S_ISSOCK(aMode)) return "a socket";
  if (S_ISCHR(aMode) || S_ISBLK(aMode)) return "a device";
  return "something else";
}

// Where aPath leads when it is a link (or lies in a linked folder); aPath itself otherwise.
std::string Resolved(const std::string& aPath) {
  char* resolved = ::realpath(aPath.c_str(), nullptr);
  if (resolved == nullptr) return aPath;
  std::string result = resolved;
  std::free(resolved);
  return result;
}

std::string FolderOf(const std::string& aPath) {
  const std::size_t slash = aPath.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : aPath.substr(0, slash);
}

std::string NameOf(const std::string& aPath) {
  const std::size_t slash = aPath.find_last_of('/');
  return slash == std::string::npos ? aPath : aPath.substr(slash + 1);
}

bool WriteAll(int aFd, const std::string& aText) {
  std::size_t done = 0;
  while (done < aText.size()) {
    const ssize_t n = ::write(aFd, aText.data() + done, aText.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Makes a file open to others owner-only; what was done, for the user.
std::string MakeOwnerOnly(int aFd, const struct stat& aInfo, const std::string& aPath) {
  if ((aInfo.st_mode & 077) == 0) return {};
  const std::string wide = aPath + " is open to other users (mode " + ModeText(aInfo.st_mode) + ")";
  if (aInfo.st_uid != ::geteuid()) {
    return wide + " and belongs to another user: make it owner-only (chmod 600)";
  }
  const mode_t ownerOnly = aInfo.st_mode & 0600;
  if (::fchmod(aFd, ownerOnly) != 0) {
    return wide + " and could not be made owner-only: " + std::strerror(errno);
  }
  return aPath + " was open to other users (mode " + ModeText(aInfo.st_mode) +
         "); it is now readable by its owner only (" + ModeText(ownerOnly) + ")";
}

// The folder's entry for a renamed file reaches the disk only when the folder is synced.
bool SyncFolder(const std::string& aFolder) {
  TDescriptor folder(::open(aFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() < 0) return false;
  // Some file systems cannot sync a folder; their renames are as durable as they get.
  return ::fsync(folder.Get()) == 0 || errno == EINVAL;
}

}  // namespace

TqvnPrivateFileRead ReadPrivateFile(const std::string& aPath, std::size_t aMaxBytes) {
  TqvnPrivateFileRead result;
  // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
  TDescriptor file(::open(aPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.Get() < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return result;  // nothing there
    result.Exists = true;
    result.Refusal = aPath + " cannot be opened: " + std::strerror(errno);
    return result;
  }
  result.Exists = true;
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) {
    result.Refusal = aPath + " cannot be read: " + std::strerror(errno);
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.Refusal = aPath + " is " + KindOf(info.st_mode) + ", not a regular file";
    return result;
  }
  const std::string tooLarge = aPath + " is larger than " + SizeText(aMaxBytes);
  if (static_cast<std::size_t>(info.st_size) > aMaxBytes) {
    result.Refusal = tooLarge + " (" + std::to_string(info.st_size) + " bytes)";
    return result;
  }
  result.Notice = MakeOwnerOnly(file.Get(), info, aPath);

  // Read until the end, or one chunk past the bound: the file may have grown since fstat.
  std::string text;
  char chunk[16 * 1024];
  for (;;) {
    const ssize_t n = ::read(file.Get(), chunk, sizeof chunk);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      result.Refusal = aPath + " cannot be read: " + std::strerror(errno);
      return result;
    }
    text.append(chunk, static_cast<std::size_t>(n));
    if (text.size() > aMaxBytes) {
      result.Refusal = tooLarge;
      return result;
    }
  }
  result.Text = std::move(text);
  return result;
}

void ReplacePrivateFile(const std::string& aPath, const std::string& aText) {
  const auto fail = [&aPath] { throw std::runtime_error("Unable to write to " + aPath); };
  const std::string target = Resolved(aPath);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  // A file its user made read-only, or something that is no file, stays as it is.
  if (exists && (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0)) fail();

  // Owner-only from its creation (mkstemp); an existing file's owner bits are kept, never more:
  // the file holds the API hash and the bot token.
  std::string temporary = target + kTemporaryInfix + std::string(kTemporaryRandomLength, 'X');
  TDescriptor file(::mkstemp(temporary.data()));
  if (file.Get() < 0) fail();
  const mode_t mode = exists ? existing.st_mode & 0600 : 0600;
  bool written = ::fchmod(file.Get(), mode) == 0 && WriteAll(file.Get(), aText) &&
                 ::fsync(file.Get()) == 0;
  if (!file.Close()) written = false;
  if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    fail();
  }
  if (!SyncFolder(FolderOf(target))) fail();
}

std::size_t RemoveStrayTemporaries(const std::string& aPath) {
  const std::string target = Resolved(aPath);
  const std::string folder = FolderOf(target);
  const std::string prefix = NameOf(target) + kTemporaryInfix;
  DIR* entries = ::opendir(folder.c_str());
  if (entries == nullptr) return 0;
  const auto ours = [&prefix](const std::string& aName) {
    if (aName.size() != prefix.size() + kTemporaryRandomLength) return false;
    if (aName.compare(0, prefix.size(), prefix) != 0) return false;
    for (std::size_t i = prefix.size(); i < aName.size(); ++i) {
      const char c = aName[i];
      const bool alphanumeric =
          (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      if (!alphanumeric) return false;
    }
    return true;
  };
  std::size_t removed = 0;
  while (const dirent* entry = ::readdir(entries)) {
    const std::string name = entry->d_name;
    if (!ours(name)) continue;
    struct stat info {};
    if (::fstatat(::dirfd(entries), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) continue;
    if (::unlinkat(::dirfd(entries), name.c_str(), 0) == 0) ++removed;
  }
  ::closedir(entries);
  return removed;
}

}  // namespace qvn
