#include "app/qvnLoginSettings.h"

#include <algorithm>
#include <exception>

#include "app/qvnIniFile.h"
#include "app/qvnIntegerText.h"
#include "app/qvnPrivateFile.h"

namespace qvn {

namespace {

const char kSection[] = "TELEGRAM";
const char kWindowSection[] = "WINDOW";
const char kSessionSection[] = "SESSION";

}  // namespace

TqvnLoadedLoginSettings LoadLoginSettings(const std::string& aPath) {
  TqvnLoadedLoginSettings loaded;
  try {
    RemoveStrayTemporaries(aPath);
    const TqvnIniFile ini(aPath);
    if (!ini.Refusal().empty()) {
      loaded.Saveable = false;
      loaded.Notices.push_back("Settings not read: " + ini.Refusal() +
                               ". The entries start empty and are not saved on closing.");
      return loaded;
    }
    if (!ini.Notice().empty()) loaded.Notices.push_back(ini.Notice());
    TqvnLoginSettings& s = loaded.Settings;
    s.ApiId = ini.ReadString(kSection, "ApiId", "");
    s.ApiHash = ini.ReadString(kSection, "ApiHash", "");
    s.PhoneNumber = ini.ReadString(kSection, "PhoneNumber", "");
    s.BotToken = ini.ReadString(kSection, "BotToken", "");
    // Any non-zero integer is true; text that is not an integer counts as false.
    s.LoginBot = StrToIntDef(ini.ReadString(kSection, "LoginBot", ""), 0) != 0;
    s.LoggedIn = StrToIntDef(ini.ReadString(kSessionSection, "LoggedIn", ""), 0) != 0;
    s.ChatListWidth =
        std::max(StrToIntDef(ini.ReadString(kWindowSection, "ChatListWidth", ""), 0), 0);
  } catch (const std::exception& e) {
    loaded = {};
    loaded.Saveable = false;
    loaded.Notices.push_back("Settings not read from " + aPath + ": " + e.what() +
                             ". The entries start empty and are not saved on closing.");
  }
  return loaded;
}

void SaveLoginSettings(const std::string& aPath, const TqvnLoginSettings& aSettings) {
  TqvnIniFile ini(aPath);
  ini.WriteString(kSection, "ApiId", aSettings.ApiId);
  ini.WriteString(kSection, "ApiHash", aSettings.ApiHash);
  ini.WriteString(kSection, "PhoneNumber", aSettings.PhoneNumber);
  ini.WriteString(kSection, "BotToken", aSettings.BotToken);
  ini.WriteString(kSection, "LoginBot", aSettings.LoginBot ? "1" : "0");
  if (aSettings.ChatListWidth > 0) {
    ini.WriteString(kWindowSection, "ChatListWidth", std::to_string(aSettings.ChatListWidth));
  }
  ini.WriteString(kSessionSection, "LoggedIn", aSettings.LoggedIn ? "1" : "0");
  ini.UpdateFile();
}

}  // namespace qvn
