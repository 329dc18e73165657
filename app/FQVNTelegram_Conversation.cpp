// What the window does with each event text: the chat model learns from it, the stream of every
// chat shows new messages, and the chat rows and the conversation shown follow (the
// conversation's rows by each change alone, TqvnConversationModel). The answers to the window's
// own requests (chat list, history, sends, downloads) go to a handler per kind, each holding what
// its request was for. Also the conversation itself: opening a chat, its history page by page,
// marking messages read, sending failed messages again, downloading and opening files and
// pictures, and the clicks on a message's links and reply quote.
#include <QLineEdit>
#include <QListWidget>
#include <QStatusBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <filesystem>
#include <stdexcept>

#include "app/FQVNTelegram.h"
#include "app/qvnChatRows.h"
#include "app/qvnComposer.h"
#include "app/qvnConversationModel.h"
#include "app/qvnConversationView.h"
#include "app/qvnLineView.h"
#include "app/qvnMessageText.h"
#include "app/qvnStatusText.h"

namespace qvn {

namespace {

// Messages asked of TDLib per page of history.
constexpr int32_t kHistoryPage = 50;
// TDLib's priority (1..32, higher first) for the download of a file the user clicked, and of a
// picture that came into view.
constexpr int32_t kDownloadPriority = 1;
constexpr int32_t kPicturePriority = 1;
// Pages of history loaded at most to find a quoted message.
constexpr int kSoughtPagesMax = 20;

std::string ErrorText(const TqvnError& aError) {
  return aError.Message + " (error " + std::to_string(aError.Code) + ")";
}

// TDLib's error, or the engine's reason why no answer came (code 0).
TqvnError ErrorOf(const TqvnTelegramAnswer& aAnswer) {
  return {aAnswer.Code, aAnswer.Message};
}

std::string ErrorText(const TqvnTelegramAnswer& aAnswer) {
  return ErrorText(ErrorOf(aAnswer));
}

}  // namespace

std::string TFRMQVNTelegram::RefusalText(const TqvnTelegramAnswer& aAnswer) {
  return ErrorText(aAnswer);
}

// ---- Events ----

void TFRMQVNTelegram::ApplyEvent(const TqvnJSON& aEvent, const std::string& aText) {
  ReportUnclaimedError();
  TqvnModelChange change;
  try {
    change = FModel.Apply(aEvent);
  } catch (const std::exception& e) {
    DoLog(std::string("The window could not read this event: ") + e.what());
    return;
  }
  ChatFactsChanged(change);
  NoteForDesktop(change);
  switch (change.Kind) {
    case TqvnModelChange::none:
    case TqvnModelChange::chatAction:
      break;
    case TqvnModelChange::myId:
      UpdateTitle();
      break;
    case TqvnModelChange::user:
      if (change.UserId == FModel.MyId()) UpdateTitle();
      break;
    case TqvnModelChange::chat:
      FChangedChats.insert(change.ChatId);
      if (change.ChatId == FShownChat) {
        FConversationModel->Apply(change);
        DraftChanged();
      }
      break;
    case TqvnModelChange::newMessage: {
      const TqvnMessage& message = change.Messages.front();
      AppendLine(memoMessages, StreamLine(FModel, message, UnixNow()));
      if (message.ChatId == FShownChat) {
        FConversationModel->Apply(change);
        ViewMessages(message.ChatId, change.Messages);
      }
      break;
    }
    case TqvnModelChange::messageSent: {
      const TqvnMessage& message = change.Messages.front();
      if (message.ChatId == FShownChat) FConversationModel->Apply(change);
      if (message.State == TqvnSendState::failed && message.ChatId != FShownChat) {
        DoLog("A message was not sent: " + message.ErrorMessage);
      }
      break;
    }
    case TqvnModelChange::messageChanged:
    case TqvnModelChange::messagesDeleted:
      if (change.ChatId == FShownChat) FConversationModel->Apply(change);
      break;
    case TqvnModelChange::file: {
      FConversationModel->Apply(change);
      const TqvnFile* file = FModel.File(change.FileId);
      if (file != nullptr && file->Downloaded && FOpenWhenDownloaded.erase(file->Id) > 0) {
        OpenDownloaded(*file);
      }
      break;
    }
    case TqvnModelChange::answer:
      if (change.Type == "error") FUnclaimedError = TUnclaimedError{aText, change.Error};
      break;
  }
}

void TFRMQVNTelegram::ReportError(const TqvnError& aError) {
  const std::string step =
      LoginStepText(FAuthorizationState, !FTelegram->Telegram().BotToken().empty());
  if (!step.empty()) {
    // The engine reports a rejected login answer through OnAuthenticationError, which shows it
    // and asks again; the log keeps the step it answered.
    DoLog("Telegram did not accept " + step + ": " + ErrorText(aError) + ".");
  } else {
    ReportLater("Telegram refused the request: " + ErrorText(aError) + ".");
  }
}

void TFRMQVNTelegram::ReportLater(const std::string& aMessage) {
  DoLog(aMessage);
  FNotices.push_back(aMessage);
  if (FNotices.size() > 1) return;  // already on its way
  QTimer::singleShot(0, this, [this] {
    ReportUnclaimedError();  // an error of the same moment joins the box
    std::string all;
    for (const std::string& notice : FNotices) all += (all.empty() ? "" : "\n\n") + notice;
    FNotices.clear();
    FDialogs.ShowError(all);
  });
}

void TFRMQVNTelegram::ReportUnclaimedError() {
  if (!FUnclaimedError) return;
  const TqvnError error = std::move(FUnclaimedError->Error);
  FUnclaimedError.reset();
  ReportError(error);
}

// ---- Answers to the window's requests ----

TqvnTelegramOnAnswer TFRMQVNTelegram::Answered(
    std::function<void(const TqvnTelegramAnswer& aAnswer)> aHandle) {
  return [this, handle = std::move(aHandle)](TqvnTDLib_Telegram_Client*,
                                             const TqvnTelegramAnswer& aAnswer) {
    if (aAnswer.Kind == takDeactivated || aAnswer.Kind == takDestroyed) return;
    if (FUnclaimedError && FUnclaimedError->Text == aAnswer.Text) FUnclaimedError.reset();
    handle(aAnswer);
  };
}

void TFRMQVNTelegram::ChatsLoaded(const TqvnTelegramAnswer& aAnswer) {
  FChatsLoading = false;
  if (!aAnswer.IsError()) return;
  if (aAnswer.Code == 404) {
    FChatsComplete = true;  // every chat is loaded
  } else {
    DoLog("The chat list could not be loaded: " + ErrorText(aAnswer));
  }
}

void TFRMQVNTelegram::HistoryLoaded(int64_t aChatId, const TqvnTelegramAnswer& aAnswer) {
  TqvnConversation& conversation = FModel.Track(aChatId);
  conversation.HistoryLoading = false;
  if (aAnswer.IsError()) {
    conversation.HistoryComplete = true;  // asking again would fail again
    DoLog("Older messages could not be loaded: " + ErrorText(aAnswer));
    return;
  }
  const std::vector<TqvnMessage> page = FModel.Apply(*aAnswer.Document).Messages;
  if (FModel.AddHistory(aChatId, page) == 0) conversation.HistoryComplete = true;
  if (aChatId == FShownChat) {
    FConversationModel->Sync();
    ViewMessages(aChatId, page);
    if (FSoughtMessage != 0) ShowMessage(FSoughtMessage);
  }
}

void TFRMQVNTelegram::MessageSent(const std::string& aLocalKey, int64_t aChatId,
                                  const TqvnTelegramAnswer& aAnswer) {
  if (aAnswer.IsError()) {
    FModel.FailLocalEcho(aLocalKey, ErrorOf(aAnswer));
    if (aChatId == FShownChat) FConversationModel->Sync();
    const TqvnMessage* echo = FModel.FindLocalEcho(aLocalKey);
    if (aChatId != FShownChat && echo != nullptr) {
      ReportLater("The message \"" + std::string(FirstLine(MessageBody(FModel, *echo))) +
                  "\" was not sent: " + ErrorText(aAnswer));
    }
    return;
  }
  const std::vector<TqvnMessage> sent = FModel.Apply(*aAnswer.Document).Messages;
  if (sent.empty()) return;
  // From here on TDLib holds the message: sending it again is TDLib's (resendMessages).
  FModel.BindLocalEcho(aLocalKey, sent.front());
  FMessageSends.erase(aLocalKey);
  if (aChatId == FShownChat) FConversationModel->Sync();
}

void TFRMQVNTelegram::MessageResent(int64_t aChatId, int64_t aMessageId,
                                    const TqvnTelegramAnswer& aAnswer) {
  if (aAnswer.IsError()) {
    ReportLater("The message could not be sent again: " + ErrorText(aAnswer));
    return;
  }
  FModel.ReplaceMessage(aChatId, aMessageId, FModel.Apply(*aAnswer.Document).Messages);
  if (aChatId == FShownChat) FConversationModel->Sync();
}

void TFRMQVNTelegram::FileDownloading(int32_t aFileId, const TqvnTelegramAnswer& aAnswer) {
  if (aAnswer.IsError()) {
    FOpenWhenDownloaded.erase(aFileId);
    ReportLater("The file could not be downloaded: " + ErrorText(aAnswer));
    return;
  }
  FModel.Apply(*aAnswer.Document);
  const TqvnFile* file = FModel.File(aFileId);
  if (file != nullptr && file->Downloaded && FOpenWhenDownloaded.erase(file->Id) > 0) {
    OpenDownloaded(*file);
  }
  FConversationModel->FileChanged(aFileId);
}

void TFRMQVNTelegram::ChatStateAnswered(const TqvnTelegramAnswer& aAnswer) {
  if (aAnswer.IsError()) DoLog("TDLib refused a request: " + ErrorText(aAnswer));
}

bool TFRMQVNTelegram::LoggedIn() const {
  return FTelegram->Active() && FAuthorizationState == "authorizationStateReady";
}

// ---- The conversation shown ----

void TFRMQVNTelegram::ShowConversation(int64_t aChatId) {
  if (aChatId == FShownChat && (aChatId == 0 || aChatId == FOpenChat)) return;
  if (FOpenChat != 0) {
    const int64_t closing = FOpenChat;
    FOpenChat = 0;
    FTelegram->CloseChat(closing, Answered([this](const auto& aAnswer) {
      ChatStateAnswered(aAnswer);
    }));
  }
  if (aChatId != FShownChat) {
    CancelComposing();
    KeepDraft();
  }
  FShownChat = aChatId;
  FSoughtMessage = 0;
  if (aChatId == 0) {
    FConversationModel->Show(0);
    FStackMessages->setCurrentWidget(memoMessages);
    return;
  }
  FModel.Track(aChatId);
  if (FConversationModel->ChatId() != aChatId) FConversationModel->Show(aChatId);
  FStackMessages->setCurrentWidget(listConversation);
  RestoreDraft();
  if (LoggedIn()) {
    FOpenChat = aChatId;
    FTelegram->OpenChat(aChatId, Answered([this](const auto& aAnswer) {
      ChatStateAnswered(aAnswer);
    }));
    if (const TqvnConversation* conversation = FModel.Conversation(aChatId)) {
      ViewMessages(aChatId, conversation->Messages);
    }
  }
  RenderConversation(/*aToBottom=*/true);
}

void TFRMQVNTelegram::RequestOlderMessages() {
  if (FShownChat == 0 || !LoggedIn()) return;
  TqvnConversation& conversation = FModel.Track(FShownChat);
  if (conversation.HistoryLoading || conversation.HistoryComplete) return;
  int64_t oldest = 0;
  for (const TqvnMessage& message : conversation.Messages) {
    if (message.Id != 0) {
      oldest = message.Id;
      break;
    }
  }
  conversation.HistoryLoading = true;
  const int64_t chatId = FShownChat;
  FTelegram->GetChatHistory(chatId, oldest, 0, kHistoryPage,
                            Answered([this, chatId](const auto& aAnswer) {
                              HistoryLoaded(chatId, aAnswer);
                            }));
}

void TFRMQVNTelegram::ViewMessages(int64_t aChatId, const std::vector<TqvnMessage>& aMessages) {
  std::vector<int64_t> ids;
  for (const TqvnMessage& message : aMessages) {
    if (message.Id != 0 && !message.Outgoing) ids.push_back(message.Id);
  }
  if (ids.empty() || !LoggedIn()) return;
  // Forced: they count as read at once.
  FTelegram->ViewMessages(aChatId, ids, /*aForceRead=*/true,
                          Answered([this](const auto& aAnswer) { ChatStateAnswered(aAnswer); }));
}

void TFRMQVNTelegram::FlushViews() {
  ReportUnclaimedError();
  if (!FChangedChats.empty()) RefreshChatRows();
  if (FUnreadTotal.TakeChanged()) UpdateTitle();
  // Until the list can scroll, its end is in view: the user sees no more chats, so load more.
  if (listChats->verticalScrollBar()->maximum() == 0) LoadMoreChats();
}

void TFRMQVNTelegram::RenderConversation(bool aToBottom) {
  if (FShownChat == 0) return;
  FConversationModel->Sync();
  if (aToBottom) listConversation->scrollToBottom();
}

// ---- Clicks on messages: send again, download, open ----

void TFRMQVNTelegram::ConversationClick(int64_t aMessageId, const std::string& aLocalKey) {
  const TqvnMessage* message = aMessageId != 0 ? FModel.FindMessage(FShownChat, aMessageId)
                                               : FModel.FindLocalEcho(aLocalKey);
  if (message == nullptr || message->State == TqvnSendState::pending) return;
  if (message->State == TqvnSendState::failed) {
    SendAgain(*message);
  } else if (message->FileId != 0 && message->ContentType != "messageSticker") {
    OpenOrDownload(*message);
  }
}

void TFRMQVNTelegram::SendAgain(const TqvnMessage& aMessage) {
  if (!ReadyToSend()) return;
  const int64_t chatId = aMessage.ChatId;
  if (aMessage.Id == 0) {
    // TDLib refused the request itself: send the same request again.
    if (!FMessageSends.contains(aMessage.LocalKey)) return;
    const std::string key = aMessage.LocalKey;
    FModel.RetryLocalEcho(key);
    SendLocalEcho(key, chatId);
  } else if (aMessage.CanRetry) {
    const int64_t messageId = aMessage.Id;
    FModel.SetPending(chatId, messageId);
    FTelegram->ResendMessages(chatId, {messageId},
                              Answered([this, chatId, messageId](const auto& aAnswer) {
                                MessageResent(chatId, messageId, aAnswer);
                              }));
  } else {
    // TDLib cannot send it again as it is: the text goes back into the box to be edited.
    txtMessage->setPlainText(QString::fromStdString(aMessage.Text));
    txtMessage->setFocus();
    return;
  }
  RenderConversation(/*aToBottom=*/false);
}

void TFRMQVNTelegram::OpenOrDownload(const TqvnMessage& aMessage) {
  const TqvnFile* file = FModel.File(aMessage.FileId);
  std::error_code error;
  if (file != nullptr && file->Downloaded && !file->LocalPath.empty() &&
      std::filesystem::exists(file->LocalPath, error)) {
    OpenDownloaded(*file);
    return;
  }
  if (file != nullptr && file->Downloading) {
    FOpenWhenDownloaded.insert(file->Id);
    return;
  }
  if (!LoggedIn()) throw std::runtime_error("Not connected: press Start and log in to download the file.");
  const int32_t fileId = aMessage.FileId;
  FOpenWhenDownloaded.insert(fileId);
  FTelegram->DownloadFile(fileId, kDownloadPriority, Answered([this, fileId](const auto& aAnswer) {
    FileDownloading(fileId, aAnswer);
  }));
}

bool TFRMQVNTelegram::OpenDownloaded(const TqvnFile& aFile) {
  if (FDialogs.OpenWithDesktop(aFile.LocalPath)) return true;
  ReportLater("No program could open " + aFile.LocalPath +
              ". The file is downloaded there; open it from your file manager.");
  return false;
}

// ---- Links, quotes and pictures of messages ----

void TFRMQVNTelegram::LinkClick(const std::string& aType, const std::string& aValue,
                                int64_t aUserId) {
  if (aType == "Url" || aType == "TextUrl") {
    const std::string url = aValue.find("://") == std::string::npos && aValue.rfind("mailto:", 0) != 0
                                ? "http://" + aValue
                                : aValue;
    if (!FDialogs.ConfirmOpenLink(url)) return;
    if (!FDialogs.OpenUrl(url)) ReportLater("No program could open the link " + url + ".");
  } else if (aType == "EmailAddress") {
    if (!FDialogs.OpenUrl("mailto:" + aValue)) {
      ReportLater("No mail program could write to " + aValue + ".");
    }
  } else if (aType == "Mention") {
    if (!LoggedIn()) return;
    const std::string name = aValue.rfind('@', 0) == 0 ? aValue.substr(1) : aValue;
    FTelegram->SearchPublicChat(name, Answered([this, aValue](const auto& aAnswer) {
      if (aAnswer.IsError()) {
        ReportLater("No chat was found for " + aValue + ": " + ErrorText(aAnswer));
        return;
      }
      const TqvnModelChange change = FModel.Apply(*aAnswer.Document);
      if (change.ChatId != 0) OpenChatOf(change.ChatId);
    }));
  } else if (aType == "MentionName") {
    if (!LoggedIn() || aUserId == 0) return;
    FTelegram->CreatePrivateChat(aUserId, false, Answered([this](const auto& aAnswer) {
      if (aAnswer.IsError()) {
        ReportLater("The chat could not be opened: " + ErrorText(aAnswer));
        return;
      }
      const TqvnModelChange change = FModel.Apply(*aAnswer.Document);
      if (change.ChatId != 0) OpenChatOf(change.ChatId);
    }));
  } else if (aType == "Hashtag" || aType == "Cashtag") {
    FindHashtag(aValue);
  } else if (aType == "BotCommand") {
    txtMessage->setPlainText(QString::fromStdString(aValue));
    txtMessage->setFocus();
  }
}

void TFRMQVNTelegram::OpenChatOf(int64_t aChatId) {
  FChangedChats.insert(aChatId);
  RefreshChatRows();
  auto row = FChatRows.find(aChatId);
  if (row == FChatRows.end()) return;
  listChats->setCurrentItem(row->second);
  listChatsClick();
}

void TFRMQVNTelegram::FindHashtag(const std::string& aHashtag) {
  const QString tag = QString::fromStdString(aHashtag);
  const QModelIndex current = listConversation->currentIndex();
  const int from = current.isValid() ? current.row() - 1 : FConversationModel->rowCount() - 1;
  for (int row = from; row >= 0; --row) {
    const TqvnMessage* message = FConversationModel->MessageAt(row);
    if (message == nullptr) continue;
    const QString text = QString::fromStdString(message->Text);
    for (const TqvnTextEntity& entity : message->Entities) {
      if (text.mid(entity.Offset, entity.Length).compare(tag, Qt::CaseInsensitive) == 0) {
        listConversation->Flash(FConversationModel->index(row));
        return;
      }
    }
  }
  DoLog("No earlier message loaded here has " + aHashtag + ".");
}

void TFRMQVNTelegram::ShowMessage(int64_t aMessageId) {
  if (FShownChat == 0 || aMessageId == 0) return;
  const int row = FConversationModel->RowOfMessage(aMessageId);
  if (row >= 0) {
    FSoughtMessage = 0;
    listConversation->Flash(FConversationModel->index(row));
    return;
  }
  const TqvnConversation* conversation = FModel.Conversation(FShownChat);
  const int64_t oldest =
      conversation != nullptr && !conversation->Messages.empty() ? conversation->Messages.front().Id : 0;
  if (oldest != 0 && aMessageId > oldest) {
    FSoughtMessage = 0;
    DoLog("The quoted message was deleted.");
    return;
  }
  if (FSoughtMessage != aMessageId) FSoughtPages = 0;
  if (conversation == nullptr || conversation->HistoryComplete || FSoughtPages >= kSoughtPagesMax) {
    FSoughtMessage = 0;
    DoLog("The quoted message is not loaded.");
    return;
  }
  FSoughtMessage = aMessageId;
  ++FSoughtPages;
  RequestOlderMessages();
}

void TFRMQVNTelegram::DownloadPicture(int32_t aFileId) {
  const TqvnFile* file = FModel.File(aFileId);
  if (!LoggedIn() || (file != nullptr && (file->Downloaded || file->Downloading))) return;
  FTelegram->DownloadFile(aFileId, kPicturePriority, Answered([this, aFileId](const auto& aAnswer) {
    if (aAnswer.IsError()) {
      DoLog("A picture could not be downloaded: " + ErrorText(aAnswer));
      return;
    }
    FModel.Apply(*aAnswer.Document);
    FConversationModel->FileChanged(aFileId);
  }));
}

}  // namespace qvn
