// The client without TDLib beside the program, and then with it put in place: this program is
// built into a folder of its own that starts without libtdjson.so.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "spine_test_support.h"

namespace qvn::test {
namespace {

namespace fs = std::filesystem;

fs::path LibraryBesideProgram() {
  return fs::read_symlink("/proc/self/exe").parent_path() / "libtdjson.so";
}

// Reads the journal of the fake TDLib that the client loaded, through its control API.
std::vector<std::string> LoadedFakeJournal() {
  void* library = dlopen("libtdjson.so", RTLD_NOW | RTLD_NOLOAD);
  if (library == nullptr) return {};
  auto count = reinterpret_cast<size_t (*)()>(dlsym(library, "fake_td_journal_count"));
  auto entry =
      reinterpret_cast<size_t (*)(size_t, char*, size_t)>(dlsym(library, "fake_td_journal_entry"));
  std::vector<std::string> journal;
  for (size_t i = 0; i < count(); ++i) {
    std::string text(entry(i, nullptr, 0), '\0');
    entry(i, text.data(), text.size() + 1);
    journal.push_back(text);
  }
  dlclose(library);
  return journal;
}

TEST(ClientWithoutTDLib, ReportsEachFailedLoadAndActivatesOnceTheLibraryIsInPlace) {
  const fs::path library = LibraryBesideProgram();
  fs::remove(library);

  TestClient client;
  EventRecorder recorder(client);
  client.SetActive(true);
  EXPECT_FALSE(client.Active());
  ASSERT_EQ(recorder.Exceptions().size(), 1u);
  EXPECT_THAT(recorder.Exceptions()[0], ::testing::HasSubstr("libtdjson.so"));
  EXPECT_THAT(recorder.Exceptions()[0], ::testing::HasSubstr("No such file"));

  // A request while inactive still tries the load, and reports it failing again.
  client.TDLibSend("{\"@type\": \"getMe\"}");
  EXPECT_EQ(recorder.Exceptions().size(), 2u);
  client.SetActive(false);  // inactive: touches nothing
  EXPECT_EQ(recorder.Exceptions().size(), 2u);

  fs::copy_file(QVN_FAKE_TDJSON_FILE, library, fs::copy_options::overwrite_existing);
  client.SetActive(true);
  EXPECT_TRUE(client.Active());
  EXPECT_EQ(recorder.Exceptions().size(), 2u) << recorder.Exceptions().back();
  const std::vector<std::string> journal = LoadedFakeJournal();
  ASSERT_GE(journal.size(), 2u);
  EXPECT_EQ(journal[0].rfind("execute {\"@type\": \"setLogVerbosityLevel\"", 0), 0u) << journal[0];
  EXPECT_EQ(journal[1], "create");

  client.SetActive(false);
  EXPECT_FALSE(client.Active());
  EXPECT_EQ(LoadedFakeJournal().back(), "destroy");
  fs::remove(library);
}

}  // namespace
}  // namespace qvn::test
