// TqvnDatabaseFolderLock: a client's own lock on its TDLib database folder.
//
// Activation takes it before it creates the TDLib client, and deactivation releases it once the
// TDLib client is gone. A second client on the same folder, in this process or another one, is
// then refused at once with a clear error, instead of TDLib failing to lock its binlog many
// seconds later (and aborting the process when that client is stopped meanwhile).
//
// Taking the lock:
//   1. creates the folder and each missing folder above it, owner-only (0700), since TDLib keeps
//      the session's keys there;
//   2. makes an existing folder that its group or others may use owner-only, and keeps a notice
//      saying so (Notice) for the client to pass on once;
//   3. opens "<folder>/velune.lock" (created 0600, never through a symbolic link, not inherited
//      by child processes) and locks it with flock without waiting.
// Every failure throws EqvnDatabaseFolderError naming the folder and the system's reason. The
// lock is released when the object goes; the lock file stays, as lock files do.
//
// Owned by one client and used on the thread that activates and deactivates it.
#ifndef QVN_CLIENT_QVNTELEGRAM_DATABASEFOLDER_H
#define QVN_CLIENT_QVNTELEGRAM_DATABASEFOLDER_H

#include <stdexcept>
#include <string>

namespace qvn {

// The database folder cannot be created, tightened or locked.
class EqvnDatabaseFolderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Not a failure: the client reports it through OnException so the program can show it once.
class EqvnDatabaseFolderNotice : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TqvnDatabaseFolderLock {
 public:
  // The lock file's name inside the folder.
  static constexpr const char* kLockFileName = "velune.lock";

  // Takes the lock on aFolder as above; throws EqvnDatabaseFolderError.
  explicit TqvnDatabaseFolderLock(std::string aFolder);
  ~TqvnDatabaseFolderLock();
  TqvnDatabaseFolderLock(const TqvnDatabaseFolderLock&) = delete;
  TqvnDatabaseFolderLock& operator=(const TqvnDatabaseFolderLock&) = delete;

  // The folder as given.
  const std::string& Folder() const { return FFolder; }
  // What step 2 did (or failed to do) to an existing folder; empty when it was owner-only.
  const std::string& Notice() const { return FNotice; }

 private:
  std::string FFolder;
  std::string FNotice;
  int FFile = -1;  // the locked lock file
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_DATABASEFOLDER_H
