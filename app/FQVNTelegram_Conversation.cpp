// What the window does with each event text: the chat model learns from it, the stream of every
// chat shows new messages, the chat rows and the conversation shown follow, and the answers to
// the window's own requests (chat list, history, sends, downloads) find what they were for.
// Also the conversation itself: opening a chat, its history page by page, marking messages
// read, sending failed messages again, and downloading and opening files.
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <filesystem>
#include <stdexcept>

#include "app/FQVNTelegram.h"
#include "app/qvnChatRows.h"
#include "app/qvnConversationView.h"
#include "app/qvnMessageText.h"
#include "app/qvnStatusText.h"
#include "app/qvnWindowRequests.h"

namespace qvn {

namespace {

// Messages asked of TDLib per page of history.
constexpr int32_t kHistoryPage = 50;

std::string ErrorText(const TqvnError& aError) {
  return aError.Message + " (error " + std::to_string(aError.Code) + ")";
}

}  // namespace

// ---- Events ----

void TFRMQVNTelegram::ApplyEvent(const TqvnJSON& aEvent) {
  TqvnModelChange change;
  try {
    change = FModel.Apply(aEvent);
  } catch (const std::exception& e) {
    DoLog(std::string("The window could not read this event: ") + e.what());
    return;
  }
  switch (change.Kind) {
    case TqvnModelChange::none:
      break;
    case TqvnModelChange::myId:
      UpdateTitle();
      break;
    case TqvnModelChange::user:
      if (change.UserId == FModel.MyId()) UpdateTitle();
      break;
    case TqvnModelChange::chat:
      FChangedChats.insert(change.ChatId);
      if (change.ChatId == FShownChat) FConversationChanged = true;
      break;
    case TqvnModelChange::newMessage: {
      const TqvnMessage& message = change.Messages.front();
      AppendLine(memoMessages, StreamLine(FModel, message, UnixNow()));
      if (message.ChatId == FShownChat) {
        FConversationChanged = true;
        ViewMessages(message.ChatId, change.Messages);
      }
      break;
    }
    case TqvnModelChange::messageSent: {
      const TqvnMessage& message = change.Messages.front();
      if (message.ChatId == FShownChat) FConversationChanged = true;
      if (message.State == TqvnSendState::failed && message.ChatId != FShownChat) {
        DoLog("A message was not sent: " + message.ErrorMessage);
      }
      break;
    }
    case TqvnModelChange::messageChanged:
    case TqvnModelChange::messagesDeleted:
      if (change.ChatId == FShownChat) FConversationChanged = true;
      break;
    case TqvnModelChange::file: {
      if (FShownChat != 0) FConversationChanged = true;
      const TqvnFile* file = FModel.File(change.FileId);
      if (file != nullptr && file->Downloaded && FOpenWhenDownloaded.erase(file->Id) > 0) {
        OpenDownloaded(*file);
      }
      break;
    }
    case TqvnModelChange::answer:
      ApplyAnswer(change);
      break;
  }
}

void TFRMQVNTelegram::ApplyAnswer(const TqvnModelChange& aChange) {
  const std::optional<TqvnPendingRequest> request = FTags.Take(aChange.Extra);
  const bool failed = aChange.Type == "error";
  if (!request) {
    if (failed) ReportError(aChange.Error);
    return;
  }
  switch (request->Kind) {
    case TqvnPendingRequest::loadChats:
      FChatsLoading = false;
      if (failed && aChange.Error.Code == 404) FChatsComplete = true;  // every chat is loaded
      if (failed && aChange.Error.Code != 404) {
        DoLog("The chat list could not be loaded: " + ErrorText(aChange.Error));
      }
      break;
    case TqvnPendingRequest::history: {
      TqvnConversation& conversation = FModel.Track(request->ChatId);
      conversation.HistoryLoading = false;
      if (failed) {
        conversation.HistoryComplete = true;  // asking again would fail again
        DoLog("Older messages could not be loaded: " + ErrorText(aChange.Error));
        break;
      }
      if (FModel.AddHistory(request->ChatId, aChange.Messages) == 0) {
        conversation.HistoryComplete = true;
      }
      if (request->ChatId == FShownChat) {
        FConversationChanged = true;
        ViewMessages(request->ChatId, aChange.Messages);
      }
      break;
    }
    case TqvnPendingRequest::send:
      if (failed) {
        FModel.FailLocalEcho(request->LocalKey, aChange.Error);
        const TqvnMessage* echo = FModel.FindLocalEcho(request->LocalKey);
        if (request->ChatId != FShownChat && echo != nullptr) {
          ReportLater("The message \"" + std::string(FirstLine(MessageBody(*echo))) +
                      "\" was not sent: " + ErrorText(aChange.Error));
        }
      } else if (!aChange.Messages.empty()) {
        // From here on TDLib holds the message: sending it again is TDLib's (resendMessages).
        FModel.BindLocalEcho(request->LocalKey, aChange.Messages.front());
        FSentRequests.erase(request->LocalKey);
      }
      if (request->ChatId == FShownChat) FConversationChanged = true;
      break;
    case TqvnPendingRequest::resend:
      if (failed) {
        ReportLater("The message could not be sent again: " + ErrorText(aChange.Error));
      } else {
        FModel.ReplaceMessage(request->ChatId, request->MessageId, aChange.Messages);
      }
      if (request->ChatId == FShownChat) FConversationChanged = true;
      break;
    case TqvnPendingRequest::download: {
      if (failed) {
        FOpenWhenDownloaded.erase(request->FileId);
        ReportLater("The file could not be downloaded: " + ErrorText(aChange.Error));
        break;
      }
      const TqvnFile* file = FModel.File(request->FileId);
      if (file != nullptr && file->Downloaded && FOpenWhenDownloaded.erase(file->Id) > 0) {
        OpenDownloaded(*file);
      }
      if (FShownChat != 0) FConversationChanged = true;
      break;
    }
    case TqvnPendingRequest::openChat:
    case TqvnPendingRequest::closeChat:
    case TqvnPendingRequest::viewMessages:
      if (failed) DoLog("TDLib refused a request: " + ErrorText(aChange.Error));
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
    std::string all;
    for (const std::string& notice : FNotices) all += (all.empty() ? "" : "\n\n") + notice;
    FNotices.clear();
    FDialogs.ShowError(all);
  });
}

void TFRMQVNTelegram::SendTagged(const TqvnPendingRequest& aRequest,
                                 const std::function<std::string(const std::string&)>& aBuild) {
  FTelegram->TDLibSend(aBuild(FTags.Add(aRequest)));
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
    SendTagged({TqvnPendingRequest::closeChat, closing},
               [closing](const std::string& aTag) { return BuildCloseChat(closing, aTag); });
  }
  FShownChat = aChatId;
  if (aChatId == 0) {
    FStackMessages->setCurrentWidget(memoMessages);
    return;
  }
  FStackMessages->setCurrentWidget(listConversation);
  FModel.Track(aChatId);
  if (LoggedIn()) {
    FOpenChat = aChatId;
    SendTagged({TqvnPendingRequest::openChat, aChatId},
               [aChatId](const std::string& aTag) { return BuildOpenChat(aChatId, aTag); });
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
  SendTagged({TqvnPendingRequest::history, chatId}, [chatId, oldest](const std::string& aTag) {
    return BuildChatHistory(chatId, oldest, kHistoryPage, aTag);
  });
}

void TFRMQVNTelegram::ViewMessages(int64_t aChatId, const std::vector<TqvnMessage>& aMessages) {
  std::vector<int64_t> ids;
  for (const TqvnMessage& message : aMessages) {
    if (message.Id != 0 && !message.Outgoing) ids.push_back(message.Id);
  }
  if (ids.empty() || !LoggedIn()) return;
  SendTagged({TqvnPendingRequest::viewMessages, aChatId}, [aChatId, &ids](const std::string& aTag) {
    return BuildViewMessages(aChatId, ids, aTag);
  });
}

void TFRMQVNTelegram::FlushViews() {
  if (!FChangedChats.empty()) RefreshChatRows();
  if (FConversationChanged) RenderConversation(/*aToBottom=*/false);
  // Until the list can scroll, its end is in view: the user sees no more chats, so load more.
  if (listChats->verticalScrollBar()->maximum() == 0) LoadMoreChats();
}

void TFRMQVNTelegram::RenderConversation(bool aToBottom) {
  FConversationChanged = false;
  if (FShownChat == 0) return;
  std::vector<TqvnConversationView::TRow> rows;
  if (const TqvnConversation* conversation = FModel.Conversation(FShownChat)) {
    const int64_t now = UnixNow();
    rows.reserve(conversation->Messages.size());
    for (const TqvnMessage& message : conversation->Messages) {
      rows.push_back({QString::fromStdString(ConversationLine(FModel, message, now)), message.Id,
                      QString::fromStdString(message.LocalKey), TransferPercent(FModel, message),
                      message.State == TqvnSendState::failed});
    }
  }
  listConversation->ShowRows(rows, aToBottom);
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
    auto request = FSentRequests.find(aMessage.LocalKey);
    if (request == FSentRequests.end()) return;
    const std::string key = aMessage.LocalKey;
    FModel.RetryLocalEcho(key);
    const std::string tag = FTags.Add({TqvnPendingRequest::send, chatId, 0, 0, key});
    FTelegram->TDLibSend(WithTag(request->second, tag));
  } else if (aMessage.CanRetry) {
    const int64_t messageId = aMessage.Id;
    FModel.SetPending(chatId, messageId);
    SendTagged({TqvnPendingRequest::resend, chatId, messageId},
               [chatId, messageId](const std::string& aTag) {
                 return BuildResendMessages(chatId, {messageId}, aTag);
               });
  } else {
    // TDLib cannot send it again as it is: the text goes back into the box to be edited.
    txtMessage->setText(QString::fromStdString(aMessage.Text));
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
  SendTagged({TqvnPendingRequest::download, aMessage.ChatId, aMessage.Id, fileId},
             [fileId](const std::string& aTag) { return BuildDownloadFile(fileId, aTag); });
}

bool TFRMQVNTelegram::OpenDownloaded(const TqvnFile& aFile) {
  if (FDialogs.OpenWithDesktop(aFile.LocalPath)) return true;
  ReportLater("No program could open " + aFile.LocalPath +
              ". The file is downloaded there; open it from your file manager.");
  return false;
}

}  // namespace qvn
