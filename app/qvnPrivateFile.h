// A small file that holds secrets (the window's settings: API hash, bot token), read and
// replaced safely.
//
// ReadPrivateFile reads only what can be read at once and whole: a regular file of at most
// aMaxBytes. Anything else at the path (a FIFO, a folder, a device, a file too large) is not
// read, and the result says why; opening never blocks. A file readable or writable by others is
// made owner-only first, and the result says so.
//
// ReplacePrivateFile writes the new text to a temporary file beside the old one (named
// "<file>.saving-XXXXXX", created owner-only), syncs it, renames it over the old file and syncs
// the folder: after a crash or a kill at any moment the path holds either the old text or the
// new, whole. A save cut short can leave its temporary file behind; RemoveStrayTemporaries
// deletes those, and nothing else.
//
// A path that is a link is read, written and cleaned up where the link points. Plain functions,
// any thread; two processes saving one file at once each leave a whole file (the last rename
// wins).
#ifndef QVN_APP_QVNPRIVATEFILE_H
#define QVN_APP_QVNPRIVATEFILE_H

#include <cstddef>
#include <string>

namespace qvn {

struct TqvnPrivateFileRead {
  bool Exists = false;  // something is at the path (read or not)
  std::string Text;     // the whole content, when it was read
  // Why the file was not read (it exists but is no regular file, is too large, cannot be
  // opened); empty when it was read or does not exist.
  std::string Refusal;
  // What was changed on the way (the mode tightened), for the user; empty when nothing was.
  std::string Notice;
};

TqvnPrivateFileRead ReadPrivateFile(const std::string& aPath, std::size_t aMaxBytes);

// Replaces the file at aPath with aText, owner-only (an existing file keeps its owner bits).
// Raises std::runtime_error "Unable to write to <aPath>" when the text cannot be written, or
// when something other than a regular file, or a file its user made read-only, is at the path;
// the previous file is then left as it was and no temporary file stays behind.
void ReplacePrivateFile(const std::string& aPath, const std::string& aText);

// Deletes the temporary files of ReplacePrivateFile that a cut-short save left beside aPath
// (regular files of the current user only). Returns how many were deleted.
std::size_t RemoveStrayTemporaries(const std::string& aPath);

}  // namespace qvn

#endif  // QVN_APP_QVNPRIVATEFILE_H
