// A small INI file reader and writer that edits a file in place.
//
// Reads "[Section]" headers and "Key=Value" lines (names compared without regard to letter case,
// names and values trimmed of spaces; the first occurrence of a section or key wins). Every
// WriteString rewrites the file at once, changing only the one line it writes: other sections,
// keys, comments, line order and line endings stay as they were; a new key goes after the last
// entry of its section, a new section at the end of the file. A file that does not exist yet is
// created readable and writable by its owner only. The file is replaced whole, through a
// temporary file beside it, so a write that fails leaves the previous file as it was.
//
// Used by the main window for its settings file, on the main thread. Not thread-safe.
#ifndef QVN_APP_QVNINIFILE_H
#define QVN_APP_QVNINIFILE_H

#include <stdexcept>
#include <string>
#include <vector>

namespace qvn {

class TqvnIniFile {
 public:
  // Reads aPath now; a missing or unreadable file reads as empty (every ReadString gives its
  // default).
  explicit TqvnIniFile(std::string aPath);

  // The value of aKey in aSection, or aDefault when either is absent.
  std::string ReadString(const std::string& aSection, const std::string& aKey,
                         const std::string& aDefault) const;

  // Sets aKey in aSection to aValue (line breaks in it written as spaces, so a value never
  // spills into further lines) and writes the file. Raises std::runtime_error
  // "Unable to write to <path>" when the file cannot be written; the in-memory text then still
  // holds the new value, the file what was last written successfully.
  void WriteString(const std::string& aSection, const std::string& aKey, const std::string& aValue);

 private:
  struct TLocation {
    size_t SectionLine;  // index of the section header, or npos
    size_t KeyLine;      // index of the key's line, or npos
    size_t InsertAt;     // where a new key of this section goes
  };
  TLocation Locate(const std::string& aSection, const std::string& aKey) const;
  void Save() const;

  std::string FPath;
  std::vector<std::string> FLines;  // without their "\n"; a "\r" before it stays in the line
  std::string FNewLine = "\n";      // the line ending used for lines this class adds
};

}  // namespace qvn

#endif  // QVN_APP_QVNINIFILE_H
