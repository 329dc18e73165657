// The TDLib release a release test process runs against (qvn_add_test ... TDLIB releases).
//
// CTest runs the test executable once per release, naming it in the environment:
// QVN_TDLIB_RELEASE ("1.8.5") and QVN_TDLIB_FOLDERS, the ":"-separated folders where its
// libtdjson.so may sit, which LD_LIBRARY_PATH also names, so the engine's bare-name load finds
// that release. TDLibReleaseTest is the fixture of such tests: it skips, with a message, when
// the release is not installed here, and fails when the library this process loads is another
// file than the release's. Every message names the release. Test-thread only.
#ifndef QVN_TESTS_SUPPORT_TDLIBRELEASE_H
#define QVN_TESTS_SUPPORT_TDLIBRELEASE_H

#include <dlfcn.h>
#include <link.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace qvn::test {

struct TTDLibRelease {
  std::string Name;     // "1.8.5"; empty when the process was not started for a release
  std::string Folders;  // where its library may sit
  std::string Library;  // the libtdjson.so found in Folders; empty when it is not installed
};

inline const TTDLibRelease& CurrentTDLibRelease() {
  static const TTDLibRelease kRelease = [] {
    TTDLibRelease result;
    const char* name = getenv("QVN_TDLIB_RELEASE");
    const char* folders = getenv("QVN_TDLIB_FOLDERS");
    if (name == nullptr || folders == nullptr) return result;
    result.Name = name;
    result.Folders = folders;
    std::stringstream list(result.Folders);
    for (std::string folder; std::getline(list, folder, ':');) {
      const std::filesystem::path library = std::filesystem::path(folder) / "libtdjson.so";
      if (std::filesystem::is_regular_file(library)) {
        result.Library = std::filesystem::canonical(library).string();
        break;
      }
    }
    return result;
  }();
  return kRelease;
}

// The file this process loads for "libtdjson.so", or a text saying why there is none.
inline std::string LoadedTDJsonFile() {
  void* handle = dlopen("libtdjson.so", RTLD_NOW);
  if (handle == nullptr) return std::string("(not loadable: ") + dlerror() + ")";
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return "(unknown file)";
  return std::filesystem::canonical(map->l_name).string();
}

class TDLibReleaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const TTDLibRelease& release = CurrentTDLibRelease();
    if (release.Name.empty()) {
      GTEST_SKIP() << "no TDLib release named: run this test through ctest, which runs it once "
                      "per release (QVN_TDLIB_RELEASE, QVN_TDLIB_FOLDERS)";
    }
    if (release.Library.empty()) {
      GTEST_SKIP() << "TDLib " << release.Name << " is not installed here (no libtdjson.so in "
                   << release.Folders << "); scripts/setup installs it";
    }
    ASSERT_EQ(LoadedTDJsonFile(), release.Library)
        << "this process would load another TDLib than " << release.Name;
    RecordProperty("tdlib_release", release.Name);
  }

  static const std::string& Release() { return CurrentTDLibRelease().Name; }
};

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_TDLIBRELEASE_H
