#include "client/qvnElfCheck.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace qvn::tdjson {

namespace {

// Closes a descriptor when it goes out of scope.
struct TFile {
  explicit TFile(int aFd) : Fd(aFd) {}
  ~TFile() {
    if (Fd >= 0) ::close(Fd);
  }
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;
  const int Fd;
};

bool ReadAt(int aFd, void* aBuffer, std::size_t aSize, off_t aOffset) {
  auto* bytes = static_cast<char*>(aBuffer);
  std::size_t done = 0;
  while (done < aSize) {
    const ssize_t n = ::pread(aFd, bytes + done, aSize - done, aOffset + static_cast<off_t>(done));
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The machine the running program is built for, from its own ELF header; 0 when unknown.
Elf64_Half OwnMachine() {
  static const Elf64_Half kMachine = [] {
    TFile self(::open("/proc/self/exe", O_RDONLY | O_CLOEXEC));
    ElfW(Ehdr) header{};
    return self.Fd >= 0 && ReadAt(self.Fd, &header, sizeof header, 0) ? header.e_machine
                                                                        : Elf64_Half{0};
  }();
  return kMachine;
}

enum class TVerdict { kLoadable, kNotForUs, kDamaged };

struct TCheck {
  TVerdict Verdict;
  std::string Damage;  // for kDamaged
};

TCheck Damaged(const std::string& aPath, const std::string& aWhat) {
  return {TVerdict::kDamaged, aPath + " is damaged: " + aWhat +
                                  "; replace it with a whole copy of the library"};
}

TCheck Check(const std::string& aPath) {
  // Non-blocking: the loader's own open of a FIFO would wait for a writer for ever.
  TFile file(::open(aPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.Fd < 0) return {TVerdict::kNotForUs, {}};
  struct stat info {};
  if (::fstat(file.Fd, &info) != 0 || S_ISDIR(info.st_mode)) return {TVerdict::kNotForUs, {}};
  if (!S_ISREG(info.st_mode)) return Damaged(aPath, "it is not a regular file");
  const auto size = static_cast<std::uint64_t>(info.st_size);
  const std::string ofTheFile = " past the end of the file (" + std::to_string(size) + " bytes)";

  unsigned char ident[EI_NIDENT] = {};
  if (size >= SELFMAG && ReadAt(file.Fd, ident, SELFMAG, 0) &&
      std::memcmp(ident, ELFMAG, SELFMAG) != 0) {
    return {TVerdict::kNotForUs, {}};  // no ELF file at all: dlopen says so
  }
  ElfW(Ehdr) header{};
  if (size < sizeof header || !ReadAt(file.Fd, &header, sizeof header, 0)) {
    return Damaged(aPath, "its ELF header ends" + ofTheFile);
  }
  const bool ours = header.e_ident[EI_CLASS] == (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) &&
                    header.e_ident[EI_DATA] == (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
                                                    ? ELFDATA2LSB
                                                    : ELFDATA2MSB) &&
                    header.e_type == ET_DYN &&
                    (OwnMachine() == 0 || header.e_machine == OwnMachine());
  if (!ours) return {TVerdict::kNotForUs, {}};
  if (header.e_phentsize != sizeof(ElfW(Phdr))) {
    return Damaged(aPath, "its program header size is " + std::to_string(header.e_phentsize));
  }

  const std::uint64_t tableEnd =
      std::uint64_t{header.e_phoff} + std::uint64_t{header.e_phnum} * sizeof(ElfW(Phdr));
  if (header.e_phoff > size || tableEnd > size) {
    return Damaged(aPath, "its program headers end at byte " + std::to_string(tableEnd) + "," +
                              ofTheFile);
  }
  std::vector<ElfW(Phdr)> segments(header.e_phnum);
  if (!segments.empty() && !ReadAt(file.Fd, segments.data(), segments.size() * sizeof(ElfW(Phdr)),
                                   static_cast<off_t>(header.e_phoff))) {
    return Damaged(aPath, "its program headers cannot be read");
  }
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const ElfW(Phdr)& segment = segments[i];
    if (segment.p_filesz == 0) continue;
    if (segment.p_offset > size || segment.p_filesz > size - segment.p_offset) {
      return Damaged(aPath, "its segment " + std::to_string(i) + " ends at byte " +
                                std::to_string(std::uint64_t{segment.p_offset} + segment.p_filesz) +
                                "," + ofTheFile);
    }
  }
  return {TVerdict::kLoadable, {}};
}

// The folders a dlopen from the program searches, in order, as the loader reports them.
std::vector<std::string> SearchedFolders() {
  std::vector<std::string> folders;
  void* program = ::dlopen(nullptr, RTLD_LAZY);
  if (program == nullptr) return folders;
  Dl_serinfo size{};
  if (::dlinfo(program, RTLD_DI_SERINFOSIZE, &size) == 0 && size.dls_size >= sizeof(Dl_serinfo)) {
    std::unique_ptr<Dl_serinfo, decltype(&std::free)> info(
        static_cast<Dl_serinfo*>(std::malloc(size.dls_size)), &std::free);
    if (info != nullptr && ::dlinfo(program, RTLD_DI_SERINFOSIZE, info.get()) == 0 &&
        ::dlinfo(program, RTLD_DI_SERINFO, info.get()) == 0) {
      for (unsigned i = 0; i < info->dls_cnt; ++i) folders.push_back(info->dls_serpath[i].dls_name);
    }
  }
  ::dlclose(program);
  return folders;
}

}  // namespace

std::string LibraryFileDamage(const std::string& aPath) {
  return Check(aPath).Damage;
}

void CheckLibraryBeforeLoad(const char* aName) {
  if (void* loaded = ::dlopen(aName, RTLD_LAZY | RTLD_NOLOAD)) {
    ::dlclose(loaded);
    return;
  }
  if (std::strchr(aName, '/') != nullptr) {  // a path: dlopen takes that file and no other
    const TCheck check = Check(aName);
    if (check.Verdict == TVerdict::kDamaged) throw std::runtime_error(check.Damage);
    return;
  }
  for (const std::string& folder : SearchedFolders()) {
    const std::string path = (folder.empty() ? std::string(".") : folder) + "/" + aName;
    const TCheck check = Check(path);
    if (check.Verdict == TVerdict::kDamaged) throw std::runtime_error(check.Damage);
    if (check.Verdict == TVerdict::kLoadable) return;
  }
}

}  // namespace qvn::tdjson
