// A look at TDLib's library file before dlopen maps it.
//
// dlopen maps each loadable segment of a shared library from its file; a segment that reaches
// past the end of the file (a truncated copy, an interrupted download) maps without complaint
// and the process then dies of SIGBUS inside the loader, with no message. CheckLibraryBeforeLoad
// finds the file a dlopen of the library's name would take and raises a clear error when that file
// is damaged, so the failure reaches the caller (the client's OnException) instead.
//
// Which file: for a name with a "/", that file; for a bare name, the first one of that name in
// the folders dlopen searches for the program
// (LD_LIBRARY_PATH, the program's run path such as its own folder, the system's folders), as
// the loader reports them. A file there that is not an ELF shared object for this machine is
// skipped, as the loader skips it. When no file is found, or a library of that name is loaded
// already (dlopen then maps nothing), the check says nothing and dlopen goes on.
//
// Damaged means: not a regular file (a FIFO would block the loader), shorter than its ELF header,
// or program headers or a segment's bytes beyond the end of the file.
//
// Called by the binding (qvnLib_Telegram) just before its dlopen, under its load lock. Plain
// functions, any thread; they only read files.
#ifndef QVN_CLIENT_QVNELFCHECK_H
#define QVN_CLIENT_QVNELFCHECK_H

#include <string>

namespace qvn::tdjson {

// Raises std::runtime_error naming the file and what is wrong with it when the file a dlopen of
// aName would map is damaged.
void CheckLibraryBeforeLoad(const char* aName);

// What is wrong with the library file at aPath ("… is damaged: …"); empty when it can be mapped
// safely, or is no ELF shared object for this machine (dlopen rejects those itself).
std::string LibraryFileDamage(const std::string& aPath);

}  // namespace qvn::tdjson

#endif  // QVN_CLIENT_QVNELFCHECK_H
