#include "app/qvnIniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

namespace qvn {

namespace {

constexpr size_t npos = std::string::npos;

std::string_view Trim(std::string_view s) {
  const char* blanks = " \t\r";
  size_t first = s.find_first_not_of(blanks);
  if (first == npos) return {};
  size_t last = s.find_last_not_of(blanks);
  return s.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The section name of a "[name]" line, or nothing when the line is not a section header.
bool SectionName(std::string_view line, std::string_view& name) {
  std::string_view t = Trim(line);
  if (t.empty() || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == npos) return false;
  name = Trim(t.substr(1, close - 1));
  return true;
}

bool KeyName(std::string_view line, std::string_view& key) {
  size_t eq = line.find('=');
  if (eq == npos) return false;
  key = Trim(line.substr(0, eq));
  return !key.empty();
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

TqvnIniFile::TqvnIniFile(std::string aPath) : FPath(std::move(aPath)) {
  std::ifstream in(FPath, std::ios::binary);
  if (!in) return;
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string text = buffer.str();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == npos) end = text.size();
    FLines.emplace_back(text, start, end - start);
    start = end + 1;
  }
  if (!FLines.empty() && !FLines.front().empty() && FLines.front().back() == '\r')
    FNewLine = "\r\n";
}

TqvnIniFile::TLocation TqvnIniFile::Locate(const std::string& aSection,
                                           const std::string& aKey) const {
  TLocation at{npos, npos, npos};
  for (size_t i = 0; i < FLines.size(); ++i) {
    std::string_view name;
    if (SectionName(FLines[i], name)) {
      if (at.SectionLine != npos) break;  // the section ended
      if (SameName(name, aSection)) {
        at.SectionLine = i;
        at.InsertAt = i + 1;
      }
      continue;
    }
    if (at.SectionLine == npos) continue;
    std::string_view key;
    if (KeyName(FLines[i], key)) {
      at.InsertAt = i + 1;
      if (at.KeyLine == npos && SameName(key, aKey)) at.KeyLine = i;
    }
  }
  return at;
}

std::string TqvnIniFile::ReadString(const std::string& aSection, const std::string& aKey,
                                    const std::string& aDefault) const {
  TLocation at = Locate(aSection, aKey);
  if (at.KeyLine == npos) return aDefault;
  const std::string& line = FLines[at.KeyLine];
  return std::string(Trim(std::string_view(line).substr(line.find('=') + 1)));
}

void TqvnIniFile::WriteString(const std::string& aSection, const std::string& aKey,
                              const std::string& aValue) {
  TLocation at = Locate(aSection, aKey);
  // A line break inside a value would end its line and turn the rest into entries of their own.
  std::string value = aValue;
  for (char& c : value) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  std::string entry = aKey + "=" + value;
  if (FNewLine == "\r\n") entry += '\r';
  if (at.KeyLine != npos) {
    FLines[at.KeyLine] = entry;
  } else if (at.SectionLine != npos) {
    FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(at.InsertAt), entry);
  } else {
    std::string header = "[" + aSection + "]";
    if (FNewLine == "\r\n") header += '\r';
    FLines.push_back(header);
    FLines.push_back(entry);
  }
  Save();
}

void TqvnIniFile::Save() const {
  std::string text;
  for (const std::string& line : FLines) text += line + "\n";
  const auto fail = [this] { throw std::runtime_error("Unable to write to " + FPath); };

  // A settings file reached through a link is written where the link points.
  std::string target = FPath;
  if (char* resolved = ::realpath(FPath.c_str(), nullptr)) {
    target = resolved;
    std::free(resolved);
  }
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  // A file its user made read-only, or something that is no file, stays as it is.
  if (exists && (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0)) fail();

  // The new text goes to a temporary file beside the old one, which then replaces it in one
  // rename: a failed write (a full disk) leaves the old file whole. mkstemp creates it readable
  // by its owner only, which a new settings file keeps (it holds the API hash and the bot
  // token); an existing file keeps its own mode.
  std::string temporary = target + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) fail();
  bool written = (!exists || ::fchmod(fd, existing.st_mode & 07777) == 0) && WriteAll(fd, text) &&
                 ::fsync(fd) == 0;
  if (::close(fd) != 0) written = false;
  if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    fail();
  }
}

}  // namespace qvn
