// A fresh temporary folder for one test, removed with everything in it when the object goes, and
// whole-file helpers (text, permission bits) for the files tests put in it. Test-thread only; not copyable.
#ifndef QVN_TESTS_SUPPORT_TEMPDIR_H
#define QVN_TESTS_SUPPORT_TEMPDIR_H

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>

namespace qvn::test {

class TTempDir {
 public:
  TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvn-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot create a temporary folder from " + pattern);
    }
    FPath = pattern;
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  // The path of aName inside the folder (the folder itself for "").
  std::string File(const std::string& aName) const { return (FPath / aName).string(); }
  const std::filesystem::path& Path() const { return FPath; }

 private:
  std::filesystem::path FPath;
};

inline void WriteText(const std::string& aPath, const std::string& aText) {
  std::ofstream(aPath, std::ios::binary) << aText;
}

// The whole content of aPath; empty when it cannot be read.
inline std::string ReadText(const std::string& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The permission bits of aPath, or -1 when it does not exist.
inline int ModeOf(const std::string& aPath) {
  struct stat info {};
  if (stat(aPath.c_str(), &info) != 0) return -1;
  return static_cast<int>(info.st_mode & 07777);
}

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_TEMPDIR_H
