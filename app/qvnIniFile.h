// A small INI file, read whole when opened, edited in memory and written back whole.
//
// Reads "[Section]" headers and "Key=Value" lines (names compared without regard to letter case,
// names and values trimmed of spaces; the first occurrence of a section or key wins). WriteString
// changes only the one line it writes: other sections, keys, comments, line order and line
// endings stay as they were; a new key goes after the last entry of its section, a new section at
// the end of the file. UpdateFile then writes every change at once, in one atomic replacement
// (ReplacePrivateFile): the file on disk holds either all of the changes or none, and a file that
// does not exist yet is created readable and writable by its owner only.
//
// The file is read through ReadPrivateFile: only a regular file of at most kMaxFileSize bytes is
// read (and made owner-only when others may read it). Anything else at the path reads as empty,
// and UpdateFile refuses to replace it: what was never read is never overwritten.
//
// Used by the window's settings (qvnLoginSettings), on the main thread. Not thread-safe.
#ifndef QVN_APP_QVNINIFILE_H
#define QVN_APP_QVNINIFILE_H

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace qvn {

class TqvnIniFile {
 public:
  static constexpr std::size_t kMaxFileSize = std::size_t{1} << 20;

  // Reads aPath now; a missing file, or one that is not read, reads as empty (every ReadString
  // gives its default).
  explicit TqvnIniFile(std::string aPath);

  // Why the file at the path was not read ("<path> is a named pipe, not a regular file"); empty
  // when it was read or does not exist.
  const std::string& Refusal() const { return FRefusal; }
  // What opening changed for the user to know (the file made owner-only); usually empty.
  const std::string& Notice() const { return FNotice; }

  // The value of aKey in aSection, or aDefault when either is absent.
  std::string ReadString(const std::string& aSection, const std::string& aKey,
                         const std::string& aDefault) const;

  // Sets aKey in aSection to aValue in memory (line breaks in it written as spaces, so a value
  // never spills into further lines).
  void WriteString(const std::string& aSection, const std::string& aKey, const std::string& aValue);

  // Writes the text with every change so far to the file. Raises std::runtime_error
  // "Unable to write to <path>" when the file cannot be written or was not read (Refusal); the
  // file then holds what it held before.
  void UpdateFile() const;

 private:
  struct TLocation {
    size_t SectionLine;  // index of the section header, or npos
    size_t KeyLine;      // index of the key's line, or npos
    size_t InsertAt;     // where a new key of this section goes
  };
  TLocation Locate(const std::string& aSection, const std::string& aKey) const;

  std::string FPath;
  std::string FRefusal;
  std::string FNotice;
  std::vector<std::string> FLines;  // without their "\n"; a "\r" before it stays in the line
  std::string FNewLine = "\n";      // the line ending used for lines this class adds
};

}  // namespace qvn

#endif  // QVN_APP_QVNINIFILE_H
