// Which TDLib library file the engine loads: one per process, at the first activation of any
// client (or the first synchronous TDLib call).
//
// The file is, in this order: the one the environment variable VELUNE_TDJSON_LIBRARY names (so
// a user can point any program at another TDLib without rebuilding it); the one named by
// SetTDJsonLibrary; "libtdjson.so" found by the platform's library search (the program's run
// path, LD_LIBRARY_PATH, the system's folders). A name with a "/" is that
// file; a bare name is searched for. The installed package tells programs where its own TDLib
// lies (Velune_TDJSON_LIBRARY, see the package's config file), and a program built with it
// passes that path here. Naming the file is the reliable way in a sanitizer build too, where
// the sanitizer's runtime makes the search ignore the program's run path.
//
// Any thread. A file that cannot be loaded is reported by the activation that tried it (the
// client's OnException) and leaves nothing loaded, so a program may name another file and
// activate again.
#ifndef QVN_CLIENT_QVNTELEGRAM_LIBRARY_H
#define QVN_CLIENT_QVNTELEGRAM_LIBRARY_H

#include <string>

namespace qvn {

// The environment variable that names the library file, over the program's choice.
inline constexpr const char* kTDJsonLibraryVariable = "VELUNE_TDJSON_LIBRARY";

// Names the library file to load. Once a library is loaded, naming another file raises
// std::logic_error (a process holds one TDLib; its clients share it); naming the loaded file
// again, or an empty name to go back to the default before a load, is allowed.
void SetTDJsonLibrary(std::string aFile);

// The file loaded, or to be loaded next, chosen as above.
std::string TDJsonLibrary();

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_LIBRARY_H
