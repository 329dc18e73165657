// The words the window shows for users, chats and messages: "Alice Moreau, 14:02: text", media
// lines with their caption, file name and size, send states and transfer progress, and a chat
// row's preview of its last message.
//
// Times are shown in the local time zone: the time of day for a message of aNow's day, the
// date as well for older ones. Pure functions of their arguments (the model is only read);
// any thread.
#ifndef QVN_APP_QVNMESSAGETEXT_H
#define QVN_APP_QVNMESSAGETEXT_H

#include <cstdint>
#include <string>
#include <string_view>

#include "app/qvnChatModel.h"

namespace qvn {

// "First Last"; else "@username"; else "+phone"; else "User <id>".
std::string UserName(const TqvnUser& aUser);
// The user's or the sending chat's name, or "User <id>" / "Chat <id>" while it is unknown.
std::string SenderName(const TqvnChatModel& aModel, const TqvnMessage& aMessage);

// "512 B", "1.5 KB", "12.3 MB", "1.1 GB" (units of 1024).
std::string FileSizeText(int64_t aBytes);
// "0:42", "12:05", "1:02:03".
std::string DurationText(int32_t aSeconds);
// "14:02" for a time on aNow's day, "2025-03-12 14:02" for any other (local time).
std::string ClockText(int64_t aDate, int64_t aNow);
// The current Unix time, the aNow of the window's lines.
int64_t UnixNow();
std::string_view FirstLine(std::string_view aText);

// The message itself: its text, or a media line such as
// "Document report.pdf (1.2 MB): caption" or "Photo (1280×960, 350.2 KB)", or what it holds in
// one line ("Poll: Lunch? — Pasta 3, Sushi 5 ✓ (8 votes)", "Location 52.52, 13.40",
// "Contact Ana Lima +4915550123", "Outgoing call (1:02)", "Missed video call", "Dice 🎲 4"), or
// what happened in a service message ("Alice added Bob and Carol", "Alice left the group",
// "Alice changed the group name to “X”", "Alice pinned “Hello”"); names come from aModel, with
// "User <id>" for users it does not know. Other kinds read as "(chat upgrade to)".
std::string MessageBody(const TqvnChatModel& aModel, const TqvnMessage& aMessage);

// A message about the chat rather than from someone (members came or left, the title or photo
// changed, a message was pinned, ...): the window draws it centred, without a sender.
bool IsServiceMessage(const TqvnMessage& aMessage);

// "Name, 14:02: body" in a conversation (" (edited)" after the body once TDLib reports an edit),
// followed by the message's state: " ✓" once an
// outgoing message is sent; " — sending…" or " — uploading 40%" while pending; " — not sent:
// <TDLib's reason> (error <code>); click to send again" (or "...; click to edit it" when TDLib
// cannot send it again) after a failure; and for a file " — downloading 48%", " — click to
// open" or " — click to download".
std::string ConversationLine(const TqvnChatModel& aModel, const TqvnMessage& aMessage,
                             int64_t aNow);
// "[Chat title] Name, 14:02: body" for the stream of every chat's new messages; the title is
// left out when it is the sender's name (a private chat's own messages).
std::string StreamLine(const TqvnChatModel& aModel, const TqvnMessage& aMessage, int64_t aNow);
// The first line of a chat's last message for its row, after "Name: " in groups (not before a
// service message, which names its people itself); "" for none.
// A chat with a draft shows "Draft: " and the draft's first line instead.
std::string ChatPreview(const TqvnChatModel& aModel, const TqvnChat& aChat);

// Under a chat's title: for a private chat "online", "last seen today at 14:02", "last seen
// yesterday at 09:30", "last seen 2025-03-12", "last seen recently", "last seen within a week",
// "last seen within a month", "bot", or "" while unknown; for a group "12 members", for a
// channel "1,204 subscribers" ("" while the count is unknown). While someone acts, that instead:
// "typing…" (private chat), "Alice is typing…", "Alice and Bob are typing…", "3 people are
// typing…", "Alice is recording a voice message…" (the action of whoever started first; the
// people doing the same).
std::string ChatStatusText(const TqvnChatModel& aModel, const TqvnChat& aChat, int64_t aNow);

// How far the transfer of aMessage's file has come, 0 to 100; -1 while none is running.
int TransferPercent(const TqvnChatModel& aModel, const TqvnMessage& aMessage);

}  // namespace qvn

#endif  // QVN_APP_QVNMESSAGETEXT_H
