#include "app/qvnIniFile.h"

#include <string_view>

#include "app/qvnPrivateFile.h"

namespace qvn {

namespace {

constexpr size_t kNpos = std::string::npos;

std::string_view Trim(std::string_view s) {
  const char* blanks = " \t\r";
  size_t first = s.find_first_not_of(blanks);
  if (first == kNpos) return {};
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
bool SectionName(std::string_view aLine, std::string_view& aName) {
  std::string_view t = Trim(aLine);
  if (t.empty() || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == kNpos) return false;
  aName = Trim(t.substr(1, close - 1));
  return true;
}

bool KeyName(std::string_view aLine, std::string_view& aKey) {
  size_t eq = aLine.find('=');
  if (eq == kNpos) return false;
  aKey = Trim(aLine.substr(0, eq));
  return !aKey.empty();
}

}  // namespace

TqvnIniFile::TqvnIniFile(std::string aPath) : FPath(std::move(aPath)) {
  TqvnPrivateFileRead file = ReadPrivateFile(FPath, kMaxFileSize);
  FRefusal = std::move(file.Refusal);
  FNotice = std::move(file.Notice);
  const std::string& text = file.Text;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == kNpos) end = text.size();
    FLines.emplace_back(text, start, end - start);
    start = end + 1;
  }
  if (!FLines.empty() && !FLines.front().empty() && FLines.front().back() == '\r')
    FNewLine = "\r\n";
}

TqvnIniFile::TLocation TqvnIniFile::Locate(const std::string& aSection,
                                           const std::string& aKey) const {
  TLocation at{kNpos, kNpos, kNpos};
  for (size_t i = 0; i < FLines.size(); ++i) {
    std::string_view name;
    if (SectionName(FLines[i], name)) {
      if (at.SectionLine != kNpos) break;  // the section ended
      if (SameName(name, aSection)) {
        at.SectionLine = i;
        at.InsertAt = i + 1;
      }
      continue;
    }
    if (at.SectionLine == kNpos) continue;
    std::string_view key;
    if (KeyName(FLines[i], key)) {
      at.InsertAt = i + 1;
      if (at.KeyLine == kNpos && SameName(key, aKey)) at.KeyLine = i;
    }
  }
  return at;
}

std::string TqvnIniFile::ReadString(const std::string& aSection, const std::string& aKey,
                                    const std::string& aDefault) const {
  TLocation at = Locate(aSection, aKey);
  if (at.KeyLine == kNpos) return aDefault;
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
  if (at.KeyLine != kNpos) {
    FLines[at.KeyLine] = entry;
  } else if (at.SectionLine != kNpos) {
    FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(at.InsertAt), entry);
  } else {
    std::string header = "[" + aSection + "]";
    if (FNewLine == "\r\n") header += '\r';
    FLines.push_back(header);
    FLines.push_back(entry);
  }
}

void TqvnIniFile::UpdateFile() const {
  if (!FRefusal.empty()) throw std::runtime_error("Unable to write to " + FPath);
  std::string text;
  for (const std::string& line : FLines) text += line + "\n";
  ReplacePrivateFile(FPath, text);
}

}  // namespace qvn
