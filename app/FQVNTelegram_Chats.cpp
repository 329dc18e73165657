// The chat list with its rows' photos, the chat header, the current chat, each chat's draft,
// and sending text and files to it.
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "app/FQVNTelegram.h"
#include "app/qvnChatHeader.h"
#include "app/qvnChatRows.h"
#include "app/qvnComposer.h"
#include "app/qvnListTime.h"
#include "app/qvnMessageText.h"
#include "app/qvnRichTextPreview.h"
#include "client/qvnTelegram_RichText.h"

namespace qvn {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The picture formats Telegram shows as photos; other pictures go as documents.
const QList<QByteArray> kPhotoFormats = {"jpeg", "jpg", "png", "webp", "bmp"};

// Chats asked of TDLib at a time while the list is being filled.
constexpr int32_t kChatsPerLoad = 100;
// TDLib's priority (1..32) for the download of a chat's photo: after what the user asked for.
constexpr int32_t kPhotoPriority = 1;

// The photo a chat's avatar shows: the chat's own, for a private chat else its user's.
int32_t PhotoFileOf(const TqvnChatModel& aModel, const TqvnChat& aChat) {
  if (aChat.PhotoFileId != 0 || aChat.UserId == 0) return aChat.PhotoFileId;
  const TqvnUser* user = aModel.User(aChat.UserId);
  return user != nullptr ? user->PhotoFileId : 0;
}

std::string LastMessageTime(const TqvnChat& aChat, int64_t aNow) {
  return aChat.LastMessage ? ListTimeText(aChat.LastMessage->Date, aNow) : std::string();
}

}  // namespace

// ---- The chat list ----

void TFRMQVNTelegram::ClearChatList() {
  for (auto& [id, row] : FChatRows) delete row;
  FChatRows.clear();
  FChangedChats.clear();
  FPhotoChats.clear();
  FRequestedPhotos.clear();
  ShowConversation(0);
  listChats->setCurrentItem(FAllChatsRow);
  UpdateChatHeader();
  FModel.Clear();
  FUnclaimedError.reset();
  FMessageSends.clear();
  FOpenWhenDownloaded.clear();
  FChatsLoading = false;
  FChatsComplete = false;
}

void TFRMQVNTelegram::RebuildChatRows() {
  for (auto& [id, row] : FChatRows) delete row;
  FChatRows.clear();
  for (int64_t id : FModel.ChatIdsInOrder()) FChangedChats.insert(id);
  RefreshChatRows();
}

void TFRMQVNTelegram::RefreshChatRows() {
  bool reorder = false;
  const int64_t now = UnixNow();
  for (int64_t id : FChangedChats) {
    const TqvnChat* chat = FModel.Chat(id);
    if (chat == nullptr) continue;
    TqvnChatRow*& row = FChatRows[id];
    if (row == nullptr) {
      row = new TqvnChatRow(id);
      listChats->addItem(row);
      reorder = true;
    }
    const QString title = Q(chat->Title);
    row->setText(title);
    row->setData(TqvnChatRow::kInitialsRole, ChatInitials(title));
    row->setData(TqvnChatRow::kUnreadRole, chat->UnreadCount);
    row->setData(TqvnChatRow::kPreviewRole, Q(ChatPreview(FModel, *chat)));
    row->setData(TqvnChatRow::kDraftRole, !chat->DraftText.empty());
    row->setData(TqvnChatRow::kTimeRole, Q(LastMessageTime(*chat, now)));
    row->setData(TqvnChatRow::kPinnedRole, chat->IsPinned);
    row->setData(TqvnChatRow::kMutedRole, chat->Muted);
    if (PhotoFileOf(FModel, *chat) != row->PhotoFileId()) ShowRowPhoto(*row, *chat);
    const TqvnChatModel::TOrderKey key = FModel.OrderKey(id);
    if (!(key == row->Key())) {
      row->SetKey(key);
      reorder = true;
    }
  }
  const bool shownChanged = FChangedChats.contains(FShownChat);
  FChangedChats.clear();
  if (shownChanged) UpdateChatHeader();
  if (reorder) {
    listChats->sortItems(Qt::DescendingOrder);
    listChats->doItemsLayout();  // the scroll range tells whether more chats are wanted
  }
  RequestShownPhotos();
}

void TFRMQVNTelegram::ShowRowPhoto(TqvnChatRow& aRow, const TqvnChat& aChat) {
  const int32_t fileId = PhotoFileOf(FModel, aChat);
  aRow.SetPhotoFileId(fileId);
  const TqvnFile* file = FModel.File(fileId);
  const bool downloaded = file != nullptr && file->Downloaded && !file->LocalPath.empty();
  QPixmap photo;
  if (downloaded) photo.load(Q(file->LocalPath));
  if (photo.isNull() && !aChat.PhotoMinithumbnail.Jpeg.empty()) {
    const std::string& jpeg = aChat.PhotoMinithumbnail.Jpeg;
    photo.loadFromData(reinterpret_cast<const uchar*>(jpeg.data()), static_cast<uint>(jpeg.size()),
                       "JPEG");
  }
  aRow.setData(TqvnChatRow::kPhotoRole, photo.isNull() ? QVariant() : QVariant(photo));
  if (fileId != 0 && !downloaded) FPhotoChats[fileId] = aChat.Id;
}

void TFRMQVNTelegram::RequestShownPhotos() {
  if (FPhotoChats.empty() || !LoggedIn()) return;
  const QRect view = listChats->viewport()->rect();
  const QModelIndex first = listChats->indexAt(view.topLeft());
  for (int i = first.isValid() ? first.row() : 0; i < listChats->count(); ++i) {
    const auto* row = dynamic_cast<const TqvnChatRow*>(listChats->item(i));
    if (row == nullptr || !listChats->visualItemRect(row).intersects(view)) break;
    const int32_t fileId = row->PhotoFileId();
    if (!FPhotoChats.contains(fileId) || !FRequestedPhotos.insert(fileId).second) continue;
    FTelegram->DownloadFile(
        fileId, kPhotoPriority, Answered([this, fileId](const TqvnTelegramAnswer& aAnswer) {
          FRequestedPhotos.erase(fileId);
          if (aAnswer.IsError()) {
            DoLog("A chat photo could not be downloaded: " + RefusalText(aAnswer));
            return;
          }
          FModel.Apply(*aAnswer.Document);
          PhotoFileChanged(fileId);
        }));
  }
}

void TFRMQVNTelegram::PhotoFileChanged(int32_t aFileId) {
  const auto waiting = FPhotoChats.find(aFileId);
  if (waiting == FPhotoChats.end()) return;
  const TqvnFile* file = FModel.File(aFileId);
  if (file == nullptr || !file->Downloaded) return;
  const int64_t chatId = waiting->second;
  FPhotoChats.erase(waiting);
  const auto row = FChatRows.find(chatId);
  const TqvnChat* chat = FModel.Chat(chatId);
  if (row == FChatRows.end() || chat == nullptr || row->second->PhotoFileId() != aFileId) return;
  ShowRowPhoto(*row->second, *chat);
  if (chatId == FShownChat) UpdateChatHeader();
}

void TFRMQVNTelegram::ChatFactsChanged(const TqvnModelChange& aChange) {
  switch (aChange.Kind) {
    case TqvnModelChange::user: {
      // A private chat's id is its user's.
      const TqvnChat* chat = FModel.Chat(aChange.UserId);
      if (chat != nullptr && chat->UserId == aChange.UserId) FChangedChats.insert(chat->Id);
      break;
    }
    case TqvnModelChange::chatAction:
      if (aChange.ChatId == FShownChat) UpdateChatHeader();
      break;
    case TqvnModelChange::file:
      PhotoFileChanged(aChange.FileId);
      break;
    default:
      break;
  }
}

void TFRMQVNTelegram::UpdateChatHeader() {
  if (FShownChat == 0) {
    FChatHeader->ShowStream(FAllChatsRow->text(),
                            FAllChatsRow->data(TqvnChatRow::kPreviewRole).toString());
    return;
  }
  const TqvnChat* chat = FModel.Chat(FShownChat);
  const auto row = FChatRows.find(FShownChat);
  const QString title =
      chat != nullptr ? Q(chat->Title) : QStringLiteral("Chat %1").arg(FShownChat);
  const QString status = chat != nullptr ? Q(ChatStatusText(FModel, *chat, UnixNow())) : QString();
  const QPixmap photo = row != FChatRows.end()
                            ? row->second->data(TqvnChatRow::kPhotoRole).value<QPixmap>()
                            : QPixmap();
  FChatHeader->ShowChat(title, status, ChatInitials(title), AvatarColor(FShownChat), photo);
}

void TFRMQVNTelegram::RefreshClock() {
  const int64_t now = UnixNow();
  for (auto& [id, row] : FChatRows) {
    if (const TqvnChat* chat = FModel.Chat(id)) {
      row->setData(TqvnChatRow::kTimeRole, Q(LastMessageTime(*chat, now)));
    }
  }
  UpdateChatHeader();
}

void TFRMQVNTelegram::LoadMoreChats() {
  if (!LoggedIn() || FChatsLoading || FChatsComplete) return;
  if (!FTelegram->Telegram().BotToken().empty()) return;
  FChatsLoading = true;
  FTelegram->LoadChats(kChatsPerLoad,
                       Answered([this](const auto& aAnswer) { ChatsLoaded(aAnswer); }));
}

void TFRMQVNTelegram::listChatsClick() {
  auto* selected = dynamic_cast<TqvnChatRow*>(listChats->currentItem());
  if (selected == nullptr) return;
  FChatId = selected->AllChats() ? std::string() : std::to_string(selected->ChatId());
  FStatusPanels[1]->setText(Q(FChatId));
  ShowConversation(selected->ChatId());
  UpdateChatHeader();
}

std::vector<TqvnChatChoice> TFRMQVNTelegram::ChatChoices() const {
  std::vector<TqvnChatChoice> chats;
  for (int64_t id : FModel.ChatIdsInOrder()) chats.push_back({id, FModel.Chat(id)->Title});
  return chats;
}

std::optional<int64_t> TFRMQVNTelegram::ChatToSendTo() {
  if (FShownChat != 0) return FShownChat;
  const std::vector<TqvnChatChoice> chats = ChatChoices();
  if (chats.empty()) {
    FDialogs.ShowError(
        "Choose a chat in the list first: nothing was sent, and what you typed stays in the box.");
    return std::nullopt;
  }
  const std::optional<int64_t> picked = FDialogs.PickChat("Send to which chat?", chats);
  const bool offered = picked && std::any_of(chats.begin(), chats.end(), [&](const auto& aChat) {
                         return aChat.Id == *picked;
                       });
  if (!offered) {
    DoLog("Nothing was sent: no chat was chosen. What you typed stays in the box.");
    return std::nullopt;
  }
  return picked;
}

std::string TFRMQVNTelegram::GetChatId() {
  while (FChatId.empty()) FChatId = FDialogs.InputBox("Set Chat Id", "Chat Id", "0");
  return FChatId;
}

// ---- Drafts ----

void TFRMQVNTelegram::KeepDraft() {
  const int64_t chatId = FShownChat;
  const TqvnChat* chat = FModel.Chat(chatId);
  // Logged out, the text stays in the box: there is no TDLib to keep it.
  if (chatId == 0 || chat == nullptr || !LoggedIn()) return;
  const std::string text = txtMessage->toPlainText().toStdString();
  txtMessage->clear();
  FRestoredDraft.clear();
  if (text != chat->DraftText) SetDraft(chatId, text);
}

void TFRMQVNTelegram::SetDraft(int64_t aChatId, const std::string& aText) {
  FTelegram->SetChatDraftMessage(aChatId, aText, Answered([this](const auto& aAnswer) {
                                   if (aAnswer.IsError()) {
                                     DoLog("The draft was not kept: " + RefusalText(aAnswer));
                                   }
                                 }));
}

void TFRMQVNTelegram::RestoreDraft() {
  const TqvnChat* chat = FModel.Chat(FShownChat);
  FRestoredDraft = chat != nullptr ? chat->DraftText : std::string();
  txtMessage->setPlainText(QString::fromStdString(FRestoredDraft));
  txtMessage->moveCursor(QTextCursor::End);
}

void TFRMQVNTelegram::DraftChanged() {
  const TqvnChat* chat = FModel.Chat(FShownChat);
  if (chat == nullptr || chat->DraftText == FRestoredDraft) return;
  // A draft changed elsewhere replaces the one shown, not what the user typed since.
  if (FComposing.Kind == TComposing::none &&
      txtMessage->toPlainText().toStdString() == FRestoredDraft) {
    txtMessage->setPlainText(QString::fromStdString(chat->DraftText));
    txtMessage->moveCursor(QTextCursor::End);
  }
  FRestoredDraft = chat->DraftText;
}

// ---- Sending ----

bool TFRMQVNTelegram::ReadyToSend() {
  if (!FTelegram->Active()) {
    FDialogs.ShowError(
        "Not connected: press Start and log in first. What you typed stays in the box until "
        "it can be sent.");
    return false;
  }
  if (!LoggedIn()) {
    FDialogs.ShowError(
        "Not logged in yet: finish the login first. What you typed stays in the box until it "
        "can be sent.");
    return false;
  }
  return true;
}

void TFRMQVNTelegram::UpdatePreview() {
  const std::string text = txtMessage->toPlainText().toStdString();
  const QString html = RichTextPreviewHtml(text, FTelegram->RecognizedEntities(text));
  lblPreview->setText(html);
  lblPreview->setVisible(!html.isEmpty());
}

void TFRMQVNTelegram::btnSendMessageClick() {
  if (txtMessage->document()->isEmpty() || !ReadyToSend()) return;
  const std::string text = txtMessage->toPlainText().toStdString();
  if (FComposing.Kind == TComposing::edit) {
    SendEdit(text);
    return;
  }
  const std::optional<int64_t> target = ChatToSendTo();
  if (target) SendText(*target, text);
}

void TFRMQVNTelegram::SendText(int64_t aChatId, const std::string& aText) {
  const int64_t replyTo =
      FComposing.Kind == TComposing::reply && FComposing.ChatId == aChatId ? FComposing.MessageId : 0;
  // A text longer than TDLib takes goes as consecutive messages, the first one the reply.
  const std::vector<std::string> parts = SplitRichText(
      aText, static_cast<size_t>(FModel.MessageTextLengthMax()), FTelegram->RecognizedEntities(aText));
  for (size_t i = 0; i < parts.size(); ++i) {
    SendTextPart(aChatId, parts[i], FTelegram->RecognizedEntities(parts[i]), i == 0 ? replyTo : 0);
  }
  if (replyTo != 0) FinishComposing();
  txtMessage->clear();
  // TDLib keeps a chat's draft until it is replaced: the text sent was it.
  const TqvnChat* chat = FModel.Chat(aChatId);
  if (chat != nullptr && !chat->DraftText.empty()) SetDraft(aChatId, "");
}

void TFRMQVNTelegram::SendTextPart(int64_t aChatId, const std::string& aText,
                                   const std::vector<TqvnTextRange>& aKeep, int64_t aReplyTo) {
  TqvnMessage echo;
  echo.ChatId = aChatId;
  echo.ContentType = "messageText";
  std::string entities;
  ParseRichText(aText, aKeep, echo.Text, entities);
  SendMessageRequest(
      [this, aChatId, aText, aReplyTo](const TqvnTelegramOnAnswer& aOnAnswer) {
        if (aReplyTo != 0) {
          FTelegram->SendRichTextReply(aChatId, aReplyTo, aText, aOnAnswer);
        } else {
          FTelegram->SendRichTextMessage(std::to_string(aChatId), aText, nullptr, nullptr,
                                         aOnAnswer);
        }
      },
      std::move(echo));
}

void TFRMQVNTelegram::btnSendFileClick() {
  if (!ReadyToSend()) return;
  std::optional<std::string> path = FDialogs.OpenFileName();
  if (!path) return;
  const std::optional<int64_t> target = ChatToSendTo();
  if (target) SendFile(*target, *path, /*aAsPhoto=*/false);
}

void TFRMQVNTelegram::SendFiles(const QStringList& aPaths) {
  if (aPaths.isEmpty() || !ReadyToSend()) return;
  const std::optional<int64_t> target = ChatToSendTo();
  if (!target) return;
  // The text in the box goes with them: the last one's caption when it fits one, else the
  // message after them.
  std::string text;
  if (!txtMessage->document()->isEmpty() && FComposing.Kind == TComposing::none) {
    text = txtMessage->toPlainText().toStdString();
  }
  const bool fitsACaption =
      !text.empty() && SplitRichText(text, static_cast<size_t>(FModel.MessageCaptionLengthMax()),
                                     FTelegram->RecognizedEntities(text))
                               .size() == 1;
  for (qsizetype i = 0; i < aPaths.size(); ++i) {
    const bool last = i + 1 == aPaths.size();
    SendFile(*target, aPaths[i].toStdString(), /*aAsPhoto=*/true,
             last && fitsACaption ? text : std::string());
  }
  if (fitsACaption) {
    txtMessage->clear();
  } else if (!text.empty()) {
    SendText(*target, text);
  }
}

void TFRMQVNTelegram::SendPastedImage(const QImage& aImage) {
  if (aImage.isNull() || !ReadyToSend()) return;
  if (!FPastedImages || !FPastedImages->isValid()) {
    // QTemporaryDir makes the folder readable by its owner only.
    FPastedImages = std::make_unique<QTemporaryDir>();
    if (!FPastedImages->isValid()) {
      throw std::runtime_error("The pasted image could not be saved: " +
                               FPastedImages->errorString().toStdString());
    }
  }
  const QString path =
      FPastedImages->filePath(QStringLiteral("pasted image %1.png").arg(++FPastedCount));
  if (!aImage.save(path, "PNG")) {
    throw std::runtime_error("The pasted image could not be saved in " + path.toStdString());
  }
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  SendFiles({path});
}

void TFRMQVNTelegram::SendFile(int64_t aChatId, const std::string& aPath, bool aAsPhoto,
                               const std::string& aCaption) {
  const std::string chatId = std::to_string(aChatId);
  TqvnMessage echo;
  echo.ChatId = aChatId;
  if (!aCaption.empty()) {
    std::string entities;
    ParseRichText(aCaption, FTelegram->RecognizedEntities(aCaption), echo.Text, entities);
  }
  echo.FileName = std::filesystem::path(aPath).filename().string();
  std::error_code error;
  const auto size = std::filesystem::file_size(aPath, error);
  echo.FileSize = error ? 0 : static_cast<int64_t>(size);
  // Photos as photos (with their size), other files as documents.
  const QImageReader image(QString::fromStdString(aPath));
  const QSize pixels = aAsPhoto && image.canRead() ? image.size() : QSize();
  if (pixels.isValid() && kPhotoFormats.contains(image.format().toLower())) {
    echo.ContentType = "messagePhoto";
    echo.Width = pixels.width();
    echo.Height = pixels.height();
    SendMessageRequest(
        [this, aChatId, chatId, aPath, pixels, aCaption](const TqvnTelegramOnAnswer& aOnAnswer) {
          if (aCaption.empty()) {
            FTelegram->SendPhotoMessage(chatId, aPath, pixels.width(), pixels.height(), nullptr,
                                        nullptr, aOnAnswer);
          } else {
            FTelegram->SendPhotoWithCaption(aChatId, aPath, pixels.width(), pixels.height(),
                                            aCaption, aOnAnswer);
          }
        },
        std::move(echo));
    return;
  }
  echo.ContentType = "messageDocument";
  SendMessageRequest(
      [this, aChatId, chatId, aPath, aCaption](const TqvnTelegramOnAnswer& aOnAnswer) {
        if (aCaption.empty()) {
          FTelegram->SendDocumentMessage(chatId, aPath, nullptr, nullptr, aOnAnswer);
        } else {
          FTelegram->SendDocumentWithCaption(aChatId, aPath, aCaption, aOnAnswer);
        }
      },
      std::move(echo));
}

void TFRMQVNTelegram::SendMessageRequest(TSendMessage aSend, TqvnMessage aEcho) {
  aEcho.LocalKey = "sent " + std::to_string(++FLocalKeys);
  aEcho.SenderUserId = FModel.MyId();
  aEcho.Date = UnixNow();
  const std::string key = aEcho.LocalKey;
  const int64_t chatId = aEcho.ChatId;
  FModel.AddLocalEcho(std::move(aEcho));
  FMessageSends[key] = std::move(aSend);
  SendLocalEcho(key, chatId);
  if (chatId == FShownChat) RenderConversation(/*aToBottom=*/true);
}

void TFRMQVNTelegram::SendLocalEcho(const std::string& aLocalKey, int64_t aChatId) {
  const auto found = FMessageSends.find(aLocalKey);
  if (found == FMessageSends.end()) return;
  // A copy: the answer handler may forget the send before it returns.
  const TSendMessage send = found->second;
  send(Answered([this, aLocalKey, aChatId](const auto& aAnswer) {
    MessageSent(aLocalKey, aChatId, aAnswer);
  }));
}

}  // namespace qvn
