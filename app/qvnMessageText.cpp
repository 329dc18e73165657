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

// "Bob", "Bob and Carol", "Bob, Carol and Dan".
std::string Listed(const std::vector<std::string>& aNames) {
  std::string text;
  for (size_t i = 0; i < aNames.size(); ++i) {
    if (i > 0) text += i + 1 == aNames.size() ? " and " : ", ";
    text += aNames[i];
  }
  return text;
}

std::string NameOfUser(const TqvnChatModel& aModel, int64_t aUserId) {
  const TqvnUser* user = aModel.User(aUserId);
  return user != nullptr ? UserName(*user) : "User " + std::to_string(aUserId);
}

// "1,204" (aNumber ≥ 0).
std::string Grouped(int64_t aNumber) {
  const std::string digits = std::to_string(aNumber);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

std::string Quoted(std::string_view aText) {
  return "“" + std::string(aText) + "”";
}

std::string PollBody(const TqvnMessageDetails& aPoll) {
  std::vector<std::string> options;
  for (const TqvnPollOption& option : aPoll.PollOptions) {
    std::string text = option.Text;
    if (aPoll.PollVoterCount > 0) text += " " + std::to_string(option.VoterCount);
    if (option.Chosen) text += " ✓";
    options.push_back(std::move(text));
  }
  std::string body = (aPoll.IsQuiz ? "Quiz: " : "Poll: ") + aPoll.Title;
  if (!options.empty()) body += " — " + Joined(options, ", ");
  std::vector<std::string> notes;
  if (aPoll.PollVoterCount > 0) {
    notes.push_back(Grouped(aPoll.PollVoterCount) + (aPoll.PollVoterCount == 1 ? " vote" : " votes"));
  }
  if (aPoll.PollClosed) notes.push_back("closed");
  if (!notes.empty()) body += " (" + Joined(notes, ", ") + ")";
  return body;
}

std::string CallBody(const TqvnMessage& aMessage) {
  const TqvnMessageDetails& call = aMessage.Details;
  const std::string kind = call.IsVideoCall ? "video call" : "call";
  if (call.CallEnd == "Missed") return (aMessage.Outgoing ? "Cancelled " : "Missed ") + kind;
  if (call.CallEnd == "Declined") return "Declined " + kind;
  std::string body = (aMessage.Outgoing ? "Outgoing " : "Incoming ") + kind;
  if (aMessage.Duration > 0) body += " (" + DurationText(aMessage.Duration) + ")";
  return body;
}

std::string Degrees(double aValue) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", aValue);
  return text;
}

// Contents that hold neither a text nor a file, in words; "" for other kinds.
std::string DetailsBody(const TqvnMessage& aMessage) {
  const std::string& type = aMessage.ContentType;
  const TqvnMessageDetails& details = aMessage.Details;
  if (type == "messagePoll") return PollBody(details);
  if (type == "messageLocation") {
    return "Location " + Degrees(details.Latitude) + ", " + Degrees(details.Longitude);
  }
  if (type == "messageVenue") return "Venue " + Joined({details.Title, details.Address}, ", ");
  if (type == "messageContact") {
    const std::string phone = details.PhoneNumber.empty() || details.PhoneNumber[0] == '+'
                                  ? details.PhoneNumber
                                  : "+" + details.PhoneNumber;
    return Joined({"Contact", details.Title, phone}, " ");
  }
  if (type == "messageCall") return CallBody(aMessage);
  if (type == "messageDice") {
    return Joined({"Dice", aMessage.Emoji,
                   details.DiceValue > 0 ? std::to_string(details.DiceValue) : ""},
                  " ");
  }
  if (type == "messageAnimatedEmoji") return aMessage.Emoji;
  return {};
}

// A service message in words, the sender named first; "" for other kinds.
std::string ServiceBody(const TqvnChatModel& aModel, const TqvnMessage& aMessage) {
  const std::string& type = aMessage.ContentType;
  const TqvnMessageDetails& details = aMessage.Details;
  const TqvnChat* chat = aModel.Chat(aMessage.ChatId);
  const std::string place = chat != nullptr && chat->IsChannel ? "channel" : "group";
  const std::string who = SenderName(aModel, aMessage);
  std::vector<std::string> names;
  for (int64_t id : details.UserIds) names.push_back(NameOfUser(aModel, id));
  if (type == "messageChatAddMembers") {
    if (details.UserIds.size() == 1 && details.UserIds[0] == aMessage.SenderUserId) {
      return who + " joined the " + place;
    }
    return who + " added " + Listed(names);
  }
  if (type == "messageChatDeleteMember") {
    if (details.UserIds.empty() || details.UserIds[0] == aMessage.SenderUserId) {
      return who + " left the " + place;
    }
    return who + " removed " + Listed(names);
  }
  if (type == "messageChatJoinByLink") return who + " joined by link";
  if (type == "messageChatJoinByRequest") return who + " was accepted into the " + place;
  if (type == "messageChatChangeTitle") {
    return who + " changed the " + place + " name to " + Quoted(details.Title);
  }
  if (type == "messageBasicGroupChatCreate" || type == "messageSupergroupChatCreate") {
    if (place == "channel") return "Channel " + Quoted(details.Title) + " created";
    return who + " created the group " + Quoted(details.Title);
  }
  if (type == "messageChatChangePhoto") return who + " changed the " + place + " photo";
  if (type == "messageChatDeletePhoto") return who + " removed the " + place + " photo";
  if (type == "messagePinMessage") {
    const TqvnMessage* pinned = aModel.FindMessage(aMessage.ChatId, details.PinnedMessageId);
    if (pinned != nullptr && pinned->ContentType == "messageText") {
      return who + " pinned " + Quoted(FirstLine(pinned->Text));
    }
    return who + " pinned a message";
  }
  if (type == "messageContactRegistered") return who + " joined Telegram";
  if (type == "messageScreenshotTaken") return who + " took a screenshot";
  if (type == "messageChatUpgradeTo" || type == "messageChatUpgradeFrom") {
    return "The group was upgraded to a supergroup";
  }
  if (type == "messageCustomServiceAction") return aMessage.Text;
  return {};
}

// What TDLib's chat action is in words, after "is" / "are".
std::string ActionWords(std::string_view aAction) {
  const struct {
    const char* Action;
    const char* Words;
  } kWords[] = {
      {"Typing", "typing"},
      {"RecordingVoiceNote", "recording a voice message"},
      {"UploadingVoiceNote", "sending a voice message"},
      {"RecordingVideo", "recording a video"},
      {"UploadingVideo", "sending a video"},
      {"RecordingVideoNote", "recording a video message"},
      {"UploadingVideoNote", "sending a video message"},
      {"UploadingPhoto", "sending a photo"},
      {"UploadingDocument", "sending a file"},
      {"ChoosingSticker", "choosing a sticker"},
      {"ChoosingLocation", "choosing a location"},
      {"ChoosingContact", "choosing a contact"},
      {"StartPlayingGame", "playing a game"},
      {"WatchingAnimations", "watching an animation"},
  };
  for (const auto& entry : kWords) {
    if (aAction == entry.Action) return entry.Words;
  }
  return "doing something";
}

std::string ActionsText(const TqvnChatModel& aModel, const TqvnChat& aChat) {
  const auto& actions = aModel.ChatActions(aChat.Id);
  const std::string& action = actions.front().Action;
  const std::string words = ActionWords(action) + "…";
  if (aChat.Type == "chatTypePrivate" || aChat.Type == "chatTypeSecret") return words;
  std::vector<std::string> names;
  for (const auto& entry : actions) {
    if (entry.Action != action) continue;
    if (entry.SenderChatId != 0) {
      const TqvnChat* sender = aModel.Chat(entry.SenderChatId);
      names.push_back(sender != nullptr ? sender->Title
                                        : "Chat " + std::to_string(entry.SenderChatId));
      continue;
    }
    const TqvnUser* user = aModel.User(entry.SenderUserId);
    names.push_back(user != nullptr && !user->FirstName.empty()
                        ? user->FirstName
                        : NameOfUser(aModel, entry.SenderUserId));
  }
  if (names.size() == 1) return names[0] + " is " + words;
  if (names.size() == 2) return names[0] + " and " + names[1] + " are " + words;
  return std::to_string(names.size()) + " people are " + words;
}

// "last seen …" of a user whose status is Offline (or an expired Online) at aSeen.
std::string LastSeen(int64_t aSeen, int64_t aNow) {
  const time_t seen = static_cast<time_t>(aSeen);
  const time_t now = static_cast<time_t>(aNow);
  const time_t dayBefore = now - 86400;
  std::tm seenDay{}, today{}, yesterday{};
  localtime_r(&seen, &seenDay);
  localtime_r(&now, &today);
  localtime_r(&dayBefore, &yesterday);
  const auto sameDay = [](const std::tm& aLeft, const std::tm& aRight) {
    return aLeft.tm_year == aRight.tm_year && aLeft.tm_yday == aRight.tm_yday;
  };
  char text[32];
  if (sameDay(seenDay, today) || sameDay(seenDay, yesterday)) {
    std::strftime(text, sizeof text, "%H:%M", &seenDay);
    return std::string("last seen ") + (sameDay(seenDay, today) ? "today" : "yesterday") +
           " at " + text;
  }
  std::strftime(text, sizeof text, "%Y-%m-%d", &seenDay);
  return std::string("last seen ") + text;
}

std::string UserStatusText(const TqvnUser& aUser, int64_t aNow) {
  if (aUser.IsBot) return "bot";
  const std::string& status = aUser.Status;
  if (status == "Online") return aUser.StatusTime > aNow ? "online" : LastSeen(aUser.StatusTime, aNow);
  if (status == "Offline") return aUser.StatusTime > 0 ? LastSeen(aUser.StatusTime, aNow) : "";
  if (status == "Recently") return "last seen recently";
  if (status == "LastWeek") return "last seen within a week";
  if (status == "LastMonth") return "last seen within a month";
  return {};
}

const char* const kServiceContents[] = {
    "messageChatAddMembers",      "messageChatDeleteMember",     "messageChatJoinByLink",
    "messageChatJoinByRequest",   "messageChatChangeTitle",      "messageBasicGroupChatCreate",
    "messageSupergroupChatCreate", "messageChatChangePhoto",     "messageChatDeletePhoto",
    "messagePinMessage",          "messageContactRegistered",    "messageScreenshotTaken",
    "messageChatUpgradeTo",       "messageChatUpgradeFrom",      "messageCustomServiceAction",
};

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

bool IsServiceMessage(const TqvnMessage& aMessage) {
  for (const char* type : kServiceContents) {
    if (aMessage.ContentType == type) return true;
  }
  return false;
}

std::string MessageBody(const TqvnChatModel& aModel, const TqvnMessage& aMessage) {
  const std::string& type = aMessage.ContentType;
  if (type == "messageText") return aMessage.Text;
  if (IsServiceMessage(aMessage)) return ServiceBody(aModel, aMessage);
  if (std::string details = DetailsBody(aMessage); !details.empty()) return details;
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
  const bool group = !IsServiceMessage(*aChat.LastMessage) &&
                     (aChat.Type == "chatTypeBasicGroup" ||
                      (aChat.Type == "chatTypeSupergroup" && aChat.LastMessage->SenderUserId != 0));
  return group ? SenderName(aModel, *aChat.LastMessage) + ": " + body : body;
}

std::string ChatStatusText(const TqvnChatModel& aModel, const TqvnChat& aChat, int64_t aNow) {
  if (!aModel.ChatActions(aChat.Id).empty()) return ActionsText(aModel, aChat);
  if (aChat.Type == "chatTypePrivate" || aChat.Type == "chatTypeSecret") {
    const TqvnUser* user = aModel.User(aChat.UserId);
    return user != nullptr ? UserStatusText(*user, aNow) : "";
  }
  const int32_t members = aModel.MemberCount(aChat.Id);
  if (members <= 0) return {};
  const char* noun = aChat.IsChannel ? (members == 1 ? " subscriber" : " subscribers")
                                     : (members == 1 ? " member" : " members");
  return Grouped(members) + noun;
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
