// The chat list, the current chat, the message view and sending text and files.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/FQVNTelegram.h"
#include "client/qvnTelegram_Records.h"

namespace qvn {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The sender shown for a message: the older layout's user id when TDLib gave one, otherwise the
// newer layout's sender user or sender chat. TDLib 1.8 sends only the newer layout, where the
// older id stays 0.
std::string SenderText(TqvnTelegramMessageBase& aMessage) {
  if (aMessage.SenderUserId() != 0) return std::to_string(aMessage.SenderUserId());
  if (!aMessage.SenderUser().UserId().empty()) return aMessage.SenderUser().UserId();
  if (!aMessage.SenderChat().ChatId().empty()) return aMessage.SenderChat().ChatId();
  return "0";
}

// The id in the first "title=id" entry whose text before the "=" equals aTitle, ignoring letter
// case; empty when none does.
std::string FindChatId(const std::vector<std::string>& aChats, const QString& aTitle) {
  const std::string title = aTitle.toStdString();
  for (const std::string& entry : aChats) {
    if (entry.size() <= title.size() || entry[title.size()] != '=') continue;
    if (QString::fromStdString(entry.substr(0, title.size()))
            .compare(aTitle, Qt::CaseInsensitive) == 0) {
      return entry.substr(title.size() + 1);
    }
  }
  return {};
}

}  // namespace

std::vector<std::string>& TFRMQVNTelegram::GetChatList() {
  return FChats;
}

void TFRMQVNTelegram::ClearChatList() {
  listChats->clear();
  GetChatList().clear();
}

void TFRMQVNTelegram::qvnTelegramNewChat(TqvnTelegramChat& Chat) {
  GetChatList().push_back(Chat.Title() + "=" + Chat.ChatId());
  listChats->addItem(Q(Chat.Title()));
}

void TFRMQVNTelegram::listChatsClick() {
  QListWidgetItem* selected = listChats->currentItem();
  if (selected == nullptr || selected->text().isEmpty()) return;
  FChatId = FindChatId(GetChatList(), selected->text());
  FStatusPanels[1]->setText(Q(FChatId));
}

std::string TFRMQVNTelegram::GetChatId() {
  while (FChatId.empty()) FChatId = FDialogs.InputBox("Set Chat Id", "Chat Id", "0");
  return FChatId;
}

void TFRMQVNTelegram::txtMessageKeyPress(char& Key) {
  if (Key == '\r') btnSendMessage->click();
}

void TFRMQVNTelegram::btnSendMessageClick() {
  if (txtMessage->text().isEmpty()) return;
  const std::string text = txtMessage->text().toStdString();
  const std::string chatId = GetChatId();
  FTelegram->SendRichTextMessage(chatId, text, nullptr, nullptr);
  txtMessage->clear();
}

void TFRMQVNTelegram::btnSendFileClick() {
  std::optional<std::string> path = FDialogs.OpenFileName();
  if (!path) return;
  const std::string chatId = GetChatId();
  FTelegram->SendDocumentMessage(chatId, *path, nullptr, nullptr);
}

void TFRMQVNTelegram::AddMessageLine(const std::string& aSender, const std::string& aBody) {
  AppendLine(memoMessages, "Sender[" + aSender + "] " + aBody);
}

void TFRMQVNTelegram::qvnTelegramMessageText(TqvnTelegramMessageText& MessageText) {
  AddMessageLine(SenderText(MessageText), MessageText.Text());
}

void TFRMQVNTelegram::qvnTelegramMessageDocument(TqvnTelegramMessageDocument& MessageDocument) {
  AddMessageLine(SenderText(MessageDocument), "New Document: " + MessageDocument.FileName());
}

void TFRMQVNTelegram::qvnTelegramMessagePhoto(TqvnTelegramMessagePhoto& MessagePhoto) {
  AddMessageLine(SenderText(MessagePhoto), "New Photo: " + MessagePhoto.PhotoId());
}

void TFRMQVNTelegram::qvnTelegramMessageVideo(TqvnTelegramMessageVideo& MessageVideo) {
  AddMessageLine(SenderText(MessageVideo), MessageVideo.VideoId());
}

}  // namespace qvn
