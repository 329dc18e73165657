#include "app/qvnMessageText.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <vector>

namespace qvn {
namespace {

std::string Joined(const std::vector<std::string>& aParts, std::string_view aSeparator) {
  std::string joined;
  for (const std::string& part : aParts) {
    if (part.empty()) continue;
    if (!joined.empty()) joined += aSeparator;
    joined += part;
  }
  return joined;
}

// "messageChatAddMembers" as "chat add members".
std::string ContentWords(std::string_view aType) {
  if (aType.rfind("message", 0) == 0) aType.remove_prefix(7);
  std::string words;
  for (char c : aType) {
    if (std::isupper(static_cast<unsigned char>(c))) {
      if (!words.empty()) words += ' ';
      words += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else {
      words += c;
    }
  }
  return words.empty() ? "message" : words;
}

const TqvnFile* FileOf(const TqvnChatModel& aModel, const TqvnMessage& aMessage) {
  return aMessage.FileId == 0 ? nullptr : aModel.File(aMessage.FileId);
}

std::string Percent(int aPercent) {
  return std::to_string(aPercent) + "%";
}

}  // namespace

std::string UserName(const TqvnUser& aUser) {
  std::string name = Joined({aUser.FirstName, aUser.LastName}, " ");
  if (!name.empty()) return name;
  if (!aUser.Username.empty()) return "@" + aUser.Username;
  if (!aUser.PhoneNumber.empty()) return "+" + aUser.PhoneNumber;
  return "User " + std::to_string(aUser.Id);
}

std::string SenderName(const TqvnChatModel& aModel, const TqvnMessage& aMessage) {
  if (aMessage.SenderChatId != 0) {
    const TqvnChat* chat = aModel.Chat(aMessage.SenderChatId);
    return chat != nullptr && !chat->Title.empty() ? chat->Title
                                                    : "Chat " + std::to_string(aMessage.SenderChatId);
  }
  const TqvnUser* user = aModel.User(aMessage.SenderUserId);
  return user != nullptr ? UserName(*user) : "User " + std::to_string(aMessage.SenderUserId);
}

std::string FileSizeText(int64_t aBytes) {
  if (aBytes < 1024) return std::to_string(aBytes) + " B";
  const char* units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(aBytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

std::string DurationText(int32_t aSeconds) {
  char text[32];
  if (aSeconds >= 3600) {
    std::snprintf(text, sizeof text, "%d:%02d:%02d", aSeconds / 3600, aSeconds / 60 % 60,
                  aSeconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%d:%02d", aSeconds / 60, aSeconds % 60);
  }
  return text;
}

std::string ClockText(int64_t aDate, int64_t aNow) {
  const time_t date = static_cast<time_t>(aDate);
  const time_t now = static_cast<time_t>(aNow);
  std::tm day{}, today{};
  localtime_r(&date, &day);
  localtime_r(&now, &today);
  const bool sameDay = day.tm_year == today.tm_year && day.tm_yday == today.tm_yday;
  char text[32];
  std::strftime(text, sizeof text, sameDay ? "%H:%M" : "%Y-%m-%d %H:%M", &day);
  return text;
}

int64_t UnixNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string_view FirstLine(std::string_view aText) {
  return aText.substr(0, aText.find('\n'));
}

std::string MessageBody(const TqvnChatModel& /*aModel*/, const TqvnMessage& aMessage) {
  const std::string& type = aMessage.ContentType;
  if (type == "messageText") return aMessage.Text;
  if (type == "messageSticker") return Joined({"Sticker", aMessage.Emoji}, " ");
  const struct {
    const char* Content;
    const char* Label;
    bool Named;     // shows the file name
    bool Timed;     // shows the duration
    bool Measured;  // shows width x height
  } kMedia[] = {
      {"messagePhoto", "Photo", false, false, true},
      {"messageDocument", "Document", true, false, false},
      {"messageVideo", "Video", true, true, false},
      {"messageAnimation", "Animation", true, true, false},
      {"messageAudio", "Audio", true, true, false},
      {"messageVoiceNote", "Voice message", false, true, false},
      {"messageVideoNote", "Video message", false, true, false},
  };
  for (const auto& media : kMedia) {
    if (type != media.Content) continue;
    std::vector<std::string> details;
    if (media.Measured && aMessage.Width > 0 && aMessage.Height > 0) {
      details.push_back(std::to_string(aMessage.Width) + "×" + std::to_string(aMessage.Height));
    }
    if (media.Timed) details.push_back(DurationText(aMessage.Duration));
    if (aMessage.FileSize > 0) details.push_back(FileSizeText(aMessage.FileSize));
    std::string line = Joined({media.Label, media.Named ? aMessage.FileName : ""}, " ");
    if (!details.empty()) line += " (" + Joined(details, ", ") + ")";
    if (!aMessage.Text.empty()) line += ": " + aMessage.Text;
    return line;
  }
  std::string unknown = "(";
  unknown += ContentWords(type);
  return unknown + ")";
}

std::string ConversationLine(const TqvnChatModel& aModel, const TqvnMessage& aMessage,
                             int64_t aNow) {
  std::string line = SenderName(aModel, aMessage) + ", " + ClockText(aMessage.Date, aNow) + ": " +
                     MessageBody(aModel, aMessage) + (aMessage.Edited ? " (edited)" : "");
  const TqvnFile* file = FileOf(aModel, aMessage);
  switch (aMessage.State) {
    case TqvnSendState::pending:
      if (file != nullptr && file->Uploading) {
        return line + " — uploading " + Percent(TransferPercent(aModel, aMessage));
      }
      return line + " — sending…";
    case TqvnSendState::failed:
      return line + " — not sent: " + aMessage.ErrorMessage + " (error " +
             std::to_string(aMessage.ErrorCode) + ")" +
             (aMessage.CanRetry ? "; click to send again" : "; click to edit it");
    case TqvnSendState::sent:
      break;
  }
  if (aMessage.Outgoing) line += " ✓";
  if (aMessage.FileId == 0 || aMessage.ContentType == "messageSticker") return line;
  if (file != nullptr && file->Downloading) {
    return line + " — downloading " + Percent(TransferPercent(aModel, aMessage));
  }
  if (file != nullptr && file->Downloaded && !file->LocalPath.empty()) {
    return line + " — click to open";
  }
  return line + " — click to download";
}

std::string StreamLine(const TqvnChatModel& aModel, const TqvnMessage& aMessage, int64_t aNow) {
  const std::string name = SenderName(aModel, aMessage);
  const TqvnChat* chat = aModel.Chat(aMessage.ChatId);
  const std::string title =
      chat != nullptr ? chat->Title : "Chat " + std::to_string(aMessage.ChatId);
  const std::string prefix = title.empty() || title == name ? "" : "[" + title + "] ";
  return prefix + name + ", " + ClockText(aMessage.Date, aNow) + ": " + MessageBody(aModel, aMessage);
}

std::string ChatPreview(const TqvnChatModel& aModel, const TqvnChat& aChat) {
  if (!aChat.DraftText.empty()) return "Draft: " + std::string(FirstLine(aChat.DraftText));
  if (!aChat.LastMessage) return {};
  const std::string body(FirstLine(MessageBody(aModel, *aChat.LastMessage)));
  const bool group = aChat.Type == "chatTypeBasicGroup" ||
                     (aChat.Type == "chatTypeSupergroup" && aChat.LastMessage->SenderUserId != 0);
  return group ? SenderName(aModel, *aChat.LastMessage) + ": " + body : body;
}

std::string ChatStatusText(const TqvnChatModel& aModel, const TqvnChat& aChat, int64_t /*aNow*/) {
  const int32_t members = aModel.MemberCount(aChat.Id);
  if (members <= 0) return {};
  return std::to_string(members) + (aChat.IsChannel ? " subscribers" : " members");
}

int TransferPercent(const TqvnChatModel& aModel, const TqvnMessage& aMessage) {
  const TqvnFile* file = FileOf(aModel, aMessage);
  if (file == nullptr || (!file->Downloading && !file->Uploading)) return -1;
  const int64_t done = file->Downloading ? file->DownloadedSize : file->UploadedSize;
  if (file->Size <= 0) return 0;
  const int64_t percent = done * 100 / file->Size;
  return static_cast<int>(percent < 0 ? 0 : percent > 100 ? 100 : percent);
}

}  // namespace qvn
