// The window's five login entries and the settings file that keeps them between runs: section
// "TELEGRAM", keys "ApiId", "ApiHash", "PhoneNumber", "BotToken" and "LoginBot" ("1" or "0");
// the window's own geometry in section "WINDOW": key "ChatListWidth" (pixels); and in section
// "SESSION" key "LoggedIn" ("1" or "0"), whether the account was logged in when the window
// closed. Other sections and keys of the file are left as they are.
//
// Loading first deletes the temporary files that a save cut short left beside the file, then
// reads it (a regular file of at most 1 MiB, made owner-only when others may read it); it never
// raises: whatever goes wrong becomes a notice for the user and the defaults. Saving writes all
// the keys in one atomic replacement, so the file always holds one whole save.
//
// Called by the main window (LoadSettings at creation, SaveSettings at each close) on the GUI
// thread; plain C++, no Qt.
#ifndef QVN_APP_QVNLOGINSETTINGS_H
#define QVN_APP_QVNLOGINSETTINGS_H

#include <string>
#include <vector>

namespace qvn {

struct TqvnLoginSettings {
  std::string ApiId;
  std::string ApiHash;
  std::string PhoneNumber;
  std::string BotToken;
  bool LoginBot = false;
  // The width the user gave the chat list; 0 (missing, not a positive number) for the default.
  int ChatListWidth = 0;
  // The account was logged in when the window last closed: TDLib keeps the session, so the next
  // launch starts the client by itself.
  bool LoggedIn = false;
};

struct TqvnLoadedLoginSettings {
  TqvnLoginSettings Settings;  // the defaults (empty, false) for whatever was not read
  // False when something is at the path that was not read (a FIFO, a folder, a file too large):
  // a save would replace it unread, so the window does not save over it.
  bool Saveable = true;
  std::vector<std::string> Notices;  // for the user, one line each; empty when all went well
};

TqvnLoadedLoginSettings LoadLoginSettings(const std::string& aPath);

// Raises std::runtime_error "Unable to write to <aPath>" when the file cannot be written; the
// file then holds what it held before.
void SaveLoginSettings(const std::string& aPath, const TqvnLoginSettings& aSettings);

}  // namespace qvn

#endif  // QVN_APP_QVNLOGINSETTINGS_H
