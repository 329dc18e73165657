// A damaged TDLib library file (a truncated copy) gives a clear error through OnException
// instead of killing the process inside dlopen. This program is built into a folder of its own
// that starts without libtdjson.so; the tests put copies of the fake TDLib there.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <elf.h>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "client/qvnElfCheck.h"
#include "stress_support.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// A copy of the fake TDLib at aPath, cut to its first aBytes bytes (whole when aBytes is 0).
void CopyLibrary(const std::string& aPath, std::uintmax_t aBytes = 0) {
  fs::copy_file(QVN_FAKE_TDJSON_FILE, aPath, fs::copy_options::overwrite_existing);
  if (aBytes > 0) fs::resize_file(aPath, aBytes);
}

// Where the fake TDLib's last segment ends in its file: a cut before it leaves a segment short.
std::uintmax_t SegmentsEnd() {
  const std::string text = test::ReadText(QVN_FAKE_TDJSON_FILE);
  Elf64_Ehdr header;
  text.copy(reinterpret_cast<char*>(&header), sizeof header);
  std::uintmax_t end = 0;
  for (int i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment;
    text.copy(reinterpret_cast<char*>(&segment), sizeof segment,
              header.e_phoff + i * sizeof segment);
    end = std::max<std::uintmax_t>(end, segment.p_offset + segment.p_filesz);
  }
  return end;
}

TEST(LibraryFile, DamageIsFoundBeforeTheLoaderMapsIt) {
  const std::uintmax_t segmentsEnd = SegmentsEnd();
  ASSERT_GT(segmentsEnd, 4096u);
  const struct {
    const char* Name;
    std::function<void(const std::string&)> Make;
    const char* Damage;  // a part of the reason, or "" for a file dlopen may take
  } cases[] = {
      {"a whole copy", [](const std::string& p) { CopyLibrary(p); }, ""},
      {"cut after its segments, inside the debug sections",
       [&](const std::string& p) { CopyLibrary(p, segmentsEnd); }, ""},
      {"cut inside its last segment", [&](const std::string& p) { CopyLibrary(p, segmentsEnd - 1); },
       "is damaged: its segment"},
      {"cut to half of its segments", [&](const std::string& p) { CopyLibrary(p, segmentsEnd / 2); },
       "is damaged: its segment"},
      {"cut inside its program headers", [](const std::string& p) { CopyLibrary(p, 100); },
       "is damaged: its program headers end at byte"},
      {"cut inside its ELF header", [](const std::string& p) { CopyLibrary(p, 40); },
       "is damaged: its ELF header ends past the end of the file (40 bytes)"},
      {"empty", [](const std::string& p) { test::WriteText(p, ""); },
       "is damaged: its ELF header ends past the end of the file (0 bytes)"},
      {"a FIFO", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
       "is damaged: it is not a regular file"},
      {"no ELF file (dlopen says so)", [](const std::string& p) { test::WriteText(p, "text\n"); },
       ""},
      {"an ELF file for another machine (the loader skips it)",
       [](const std::string& p) {
         CopyLibrary(p, 1000);
         std::string text = test::ReadText(p);
         Elf64_Ehdr header;
         text.copy(reinterpret_cast<char*>(&header), sizeof header);
         header.e_machine = header.e_machine == EM_AARCH64 ? EM_X86_64 : EM_AARCH64;
         text.replace(0, sizeof header, reinterpret_cast<const char*>(&header), sizeof header);
         test::WriteText(p, text);
       },
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const test::TTempDir folder;
    const std::string path = folder.File("libtdjson.so");
    c.Make(path);
    const std::string damage = tdjson::LibraryFileDamage(path);
    if (*c.Damage == '\0') {
      EXPECT_EQ(damage, "");
    } else {
      EXPECT_EQ(damage.rfind(path + " is damaged: ", 0), 0u) << damage;
      EXPECT_THAT(damage, HasSubstr(c.Damage));
      EXPECT_THAT(damage, HasSubstr("replace it with a whole copy of the library"));
    }
  }
}

TEST(DamagedLibrary, ActivationReportsItAndSucceedsOnceAWholeCopyIsInPlace) {
  const std::string library = (fs::read_symlink("/proc/self/exe").parent_path() / "libtdjson.so");
  CopyLibrary(library, SegmentsEnd() / 2);  // as an interrupted copy leaves it

  TestClient client;
  EventProbe probe(client);
  for (int attempt = 0; attempt < 2; ++attempt) {
    SCOPED_TRACE(attempt);
    client.SetActive(true);
    EXPECT_FALSE(client.Active());
    ASSERT_EQ(probe.Of("Exception").size(), attempt + 1u);
    EXPECT_THAT(probe.Of("Exception").back(),
                HasSubstr(library + " is damaged: its segment"));
  }

  CopyLibrary(library);
  client.SetActive(true);
  EXPECT_TRUE(client.Active());
  EXPECT_EQ(probe.Of("Exception").size(), 2u);
  client.SetActive(false);
  PumpMainThreadQueue();
  fs::remove(library);
}

}  // namespace
}  // namespace qvn::test
