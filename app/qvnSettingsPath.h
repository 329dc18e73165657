// Where the window keeps its settings file and TDLib its database.
//
// A new installation follows the XDG base directories: the settings in
// $XDG_CONFIG_HOME/velune/velune-telegram.ini, the database in $XDG_DATA_HOME/velune/tdlib, with
// ~/.config and ~/.local/share when those variables are unset, empty or not absolute paths. What
// earlier versions kept beside the program stays in use: a settings file there (the program's
// path with ".ini" for its extension, SettingsPathFor) that already exists, and an existing
// "tdlib" folder in the program's folder. Without a home folder both stay beside the program.
//
// Pure functions of their arguments and of the file system; any thread.
#ifndef QVN_APP_QVNSETTINGSPATH_H
#define QVN_APP_QVNSETTINGSPATH_H

#include <functional>
#include <string>

namespace qvn {

// aProgramPath with ".ini" in place of its extension: the part from the last "." of the file
// name (a "." followed by a "/" belongs to a folder name); a program without one gets ".ini"
// appended.
std::string SettingsPathFor(const std::string& aProgramPath);

// The full path of the running program (from /proc/self/exe), or aFallback when it cannot be
// read.
std::string RunningProgramPath(const std::string& aFallback);

struct TqvnFilePlaces {
  std::string SettingsFile;
  std::string DatabaseDirectory;
};

// Reads an environment variable: its value, or null when it is not set (std::getenv).
using TqvnEnvironment = std::function<const char*(const char*)>;

// The places for the program at aProgramPath, reading XDG_CONFIG_HOME, XDG_DATA_HOME and HOME
// through aEnvironment (the account's home folder from the password database when HOME is not
// set).
TqvnFilePlaces FilePlacesFor(const std::string& aProgramPath,
                             const TqvnEnvironment& aEnvironment = std::getenv);

// Creates the folder that is to hold aFile, owner-only, when it is missing. False when it
// cannot be created (saving the settings will then say so).
bool MakeFolderFor(const std::string& aFile);

}  // namespace qvn

#endif  // QVN_APP_QVNSETTINGSPATH_H
