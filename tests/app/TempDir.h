// A fresh temporary folder for one test, removed with everything in it afterwards.
#ifndef QVN_TESTS_APP_TEMPDIR_H
#define QVN_TESTS_APP_TEMPDIR_H

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace qvn::testing {

class TTempDir {
 public:
  TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvn-app-XXXXXX").string();
    FPath = mkdtemp(pattern.data());
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  std::string File(const std::string& aName) const { return (FPath / aName).string(); }
  const std::filesystem::path& Path() const { return FPath; }

 private:
  std::filesystem::path FPath;
};

inline void WriteText(const std::string& aPath, const std::string& aText) {
  std::ofstream(aPath, std::ios::binary) << aText;
}

inline std::string ReadText(const std::string& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace qvn::testing

#endif  // QVN_TESTS_APP_TEMPDIR_H
