// Acting on the messages of the conversation shown: reply, edit, delete, forward and copy, from
// the rows' context menu and from the keyboard, and the reply or edit under way above the
// message box. What TDLib allows (can_be_edited, can_be_deleted_...) is asked once per message
// (getMessageProperties) unless the message carried it; every result comes from TDLib's answer
// and updates, and a refusal is shown in words.
#include <QAction>
#include <algorithm>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include "app/FQVNTelegram.h"
#include "app/qvnComposer.h"
#include "app/qvnConversationModel.h"
#include "app/qvnConversationView.h"
#include "app/qvnMessageText.h"
#include "app/qvnTelegramReader.h"

namespace qvn {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

struct TActionInfo {
  TFRMQVNTelegram::TMessageAction Action;
  const char* Name;
  const char* Caption;
  QKeyCombination Keys;
};

const TActionInfo kActions[] = {
    {TFRMQVNTelegram::TMessageAction::reply, "actReply", "Reply", Qt::CTRL | Qt::Key_R},
    {TFRMQVNTelegram::TMessageAction::edit, "actEdit", "Edit", Qt::CTRL | Qt::Key_E},
    {TFRMQVNTelegram::TMessageAction::forward, "actForward", "Forward…",
     Qt::CTRL | Qt::SHIFT | Qt::Key_F},
    {TFRMQVNTelegram::TMessageAction::copy, "actCopy", "Copy text", Qt::CTRL | Qt::Key_C},
    {TFRMQVNTelegram::TMessageAction::deleteForMe, "actDeleteForMe", "Delete for me",
     QKeyCombination(Qt::Key_Delete)},
    {TFRMQVNTelegram::TMessageAction::deleteForAll, "actDeleteForAll", "Delete for everyone",
     Qt::SHIFT | Qt::Key_Delete},
};

// What the user is told when TDLib does not allow an action on a message.
const char* NotAllowedText(TFRMQVNTelegram::TMessageAction aAction) {
  switch (aAction) {
    case TFRMQVNTelegram::TMessageAction::reply:
      return "This message cannot be replied to yet.";
    case TFRMQVNTelegram::TMessageAction::edit:
      return "Telegram does not allow editing this message.";
    case TFRMQVNTelegram::TMessageAction::forward:
      return "This message cannot be forwarded yet.";
    case TFRMQVNTelegram::TMessageAction::copy:
      return "This message has no text to copy.";
    case TFRMQVNTelegram::TMessageAction::deleteForMe:
      return "Telegram does not allow deleting this message only for you.";
    case TFRMQVNTelegram::TMessageAction::deleteForAll:
      return "Telegram does not allow deleting this message for everyone.";
  }
  return "";
}

}  // namespace

void TFRMQVNTelegram::AddMessageShortcuts() {
  for (const TActionInfo& info : kActions) {
    auto* action = new QAction(QString::fromUtf8(info.Caption), listConversation);
    action->setObjectName(QString::fromLatin1(info.Name));
    action->setShortcut(QKeySequence(info.Keys));
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    const TMessageAction kind = info.Action;
    connect(action, &QAction::triggered, this,
            [this, kind] { RunShowingErrors(FDialogs, [&] { ActOnCurrentMessage(kind); }); });
    listConversation->addAction(action);
  }
}

// ---- Which message, and what TDLib allows ----

const TqvnMessage* TFRMQVNTelegram::MessageOfRow(const QModelIndex& aRow) const {
  return aRow.isValid() ? FConversationModel->MessageAt(aRow.row()) : nullptr;
}

void TFRMQVNTelegram::WithRights(const TqvnMessage& aMessage,
                                 std::function<void(const TqvnMessage&)> aThen) {
  if (aMessage.Id == 0 || aMessage.Rights || !LoggedIn()) {
    aThen(aMessage);
    return;
  }
  const int64_t chatId = aMessage.ChatId;
  const int64_t messageId = aMessage.Id;
  FTelegram->GetMessageProperties(
      chatId, messageId, Answered([this, chatId, messageId, then = std::move(aThen)](const auto& aAnswer) {
        std::optional<TqvnMessageRights> rights;
        if (aAnswer.IsError()) {
          DoLog("Telegram did not say what may be done with the message: " + RefusalText(aAnswer));
        } else {
          rights = ReadMessageRights(*aAnswer.Document);
        }
        FModel.SetRights(chatId, messageId, rights.value_or(TqvnMessageRights{}));
        const TqvnMessage* message = FModel.FindMessage(chatId, messageId);
        if (message != nullptr && chatId == FShownChat) then(*message);
      }));
}

bool TFRMQVNTelegram::Allowed(const TqvnMessage& aMessage, TMessageAction aAction) const {
  const bool held = aMessage.Id != 0;
  const bool sent = held && aMessage.State == TqvnSendState::sent;
  const TqvnMessageRights rights = aMessage.Rights.value_or(TqvnMessageRights{});
  switch (aAction) {
    case TMessageAction::reply:
    case TMessageAction::forward:
      return sent;
    case TMessageAction::edit:
      return sent && rights.CanBeEdited && aMessage.ContentType == "messageText";
    case TMessageAction::copy:
      return !aMessage.Text.empty();
    case TMessageAction::deleteForMe:
      return held && rights.CanBeDeletedOnlyForSelf;
    case TMessageAction::deleteForAll:
      return held && rights.CanBeDeletedForAllUsers;
  }
  return false;
}

// ---- The context menu and the keyboard ----

void TFRMQVNTelegram::ConversationMenuRequested(QPoint aPosition) {
  const QModelIndex row = listConversation->indexAt(aPosition);
  const TqvnMessage* message = MessageOfRow(row);
  if (message == nullptr) return;
  listConversation->setCurrentIndex(row);
  const QPoint global = listConversation->viewport()->mapToGlobal(aPosition);
  WithRights(*message, [this, global](const TqvnMessage& aMessage) { ShowMessageMenu(aMessage, global); });
}

void TFRMQVNTelegram::ShowMessageMenu(const TqvnMessage& aMessage, QPoint aGlobalPosition) {
  delete FMessageMenu;
  FMessageMenu = new QMenu(this);
  FMessageMenu->setObjectName(QStringLiteral("mnuMessage"));
  const int64_t chatId = aMessage.ChatId;
  const int64_t messageId = aMessage.Id;
  const std::string localKey = aMessage.LocalKey;
  for (const TActionInfo& info : kActions) {
    if (info.Action == TMessageAction::deleteForMe) FMessageMenu->addSeparator();
    QAction* action = FMessageMenu->addAction(QString::fromUtf8(info.Caption));
    action->setObjectName(QString::fromLatin1(info.Name));
    action->setShortcut(QKeySequence(info.Keys));
    action->setEnabled(Allowed(aMessage, info.Action));
    const TMessageAction kind = info.Action;
    connect(action, &QAction::triggered, this, [this, kind, chatId, messageId, localKey] {
      RunShowingErrors(FDialogs, [&] {
        const TqvnMessage* message = messageId != 0 ? FModel.FindMessage(chatId, messageId)
                                                    : FModel.FindLocalEcho(localKey);
        if (message != nullptr) Act(*message, kind);
      });
    });
  }
  FMessageMenu->popup(aGlobalPosition);
}

void TFRMQVNTelegram::ActOnCurrentMessage(TMessageAction aAction) {
  const TqvnMessage* message = MessageOfRow(listConversation->currentIndex());
  if (message == nullptr) return;
  WithRights(*message, [this, aAction](const TqvnMessage& aMessage) {
    if (Allowed(aMessage, aAction)) {
      Act(aMessage, aAction);
    } else {
      DoLog(NotAllowedText(aAction));
    }
  });
}

void TFRMQVNTelegram::Act(const TqvnMessage& aMessage, TMessageAction aAction) {
  switch (aAction) {
    case TMessageAction::reply:
      StartComposing(TComposing::reply, aMessage);
      break;
    case TMessageAction::edit:
      StartComposing(TComposing::edit, aMessage);
      break;
    case TMessageAction::forward:
      ForwardMessage(aMessage);
      break;
    case TMessageAction::copy:
      QGuiApplication::clipboard()->setText(Q(aMessage.Text));
      DoLog("The message's text is on the clipboard.");
      break;
    case TMessageAction::deleteForMe:
    case TMessageAction::deleteForAll:
      DeleteMessage(aMessage, aAction == TMessageAction::deleteForAll);
      break;
  }
}

// ---- Reply and edit, shown above the message box ----

void TFRMQVNTelegram::StartComposing(TComposing::TKind aKind, const TqvnMessage& aMessage) {
  if (FComposing.Kind != TComposing::edit) FComposing.TextBefore = txtMessage->toPlainText();
  FComposing.Kind = aKind;
  FComposing.ChatId = aMessage.ChatId;
  FComposing.MessageId = aMessage.Id;
  const std::string firstLine(FirstLine(MessageBody(FModel, aMessage)));
  if (aKind == TComposing::reply) {
    lblContext->setText(Q("Replying to " + SenderName(FModel, aMessage) + ": " + firstLine));
    if (FComposing.TextBefore != txtMessage->toPlainText()) txtMessage->setPlainText(FComposing.TextBefore);
  } else {
    lblContext->setText(Q("Editing: " + firstLine));
    txtMessage->setPlainText(Q(aMessage.Text));
    txtMessage->moveCursor(QTextCursor::End);
  }
  pnlContext->show();
  txtMessage->setFocus();
}

void TFRMQVNTelegram::CancelComposing() {
  if (FComposing.Kind == TComposing::none) return;
  if (FComposing.Kind == TComposing::edit) txtMessage->setPlainText(FComposing.TextBefore);
  FinishComposing();
}

void TFRMQVNTelegram::FinishComposing() {
  FComposing = {};
  pnlContext->hide();
  lblContext->clear();
}

void TFRMQVNTelegram::EditLastMessage() {
  if (FShownChat == 0) return;
  const TqvnConversation* conversation = FModel.Conversation(FShownChat);
  if (conversation == nullptr) return;
  for (auto message = conversation->Messages.rbegin(); message != conversation->Messages.rend();
       ++message) {
    if (!message->Outgoing || message->Id == 0 || message->State != TqvnSendState::sent) continue;
    WithRights(*message, [this](const TqvnMessage& aMessage) {
      if (Allowed(aMessage, TMessageAction::edit)) {
        StartComposing(TComposing::edit, aMessage);
      } else {
        DoLog(NotAllowedText(TMessageAction::edit));
      }
    });
    return;
  }
}

void TFRMQVNTelegram::SendEdit(const std::string& aText) {
  const int64_t chatId = FComposing.ChatId;
  const int64_t messageId = FComposing.MessageId;
  FTelegram->EditTextMessage(std::to_string(chatId), std::to_string(messageId), aText, nullptr,
                             nullptr, Answered([this](const auto& aAnswer) {
                               if (aAnswer.IsError()) {
                                 ReportLater("The message was not edited: " + RefusalText(aAnswer));
                               }
                             }));
  FComposing.TextBefore.clear();
  FinishComposing();
  txtMessage->clear();
}

// ---- Delete and forward ----

void TFRMQVNTelegram::DeleteMessage(const TqvnMessage& aMessage, bool aForAll) {
  if (!LoggedIn()) return;
  const std::string question = aForAll ? "Delete this message for everyone in the chat?"
                                       : "Delete this message for you? The others keep it.";
  if (!FDialogs.ConfirmDestructive(question, "Delete")) return;
  FTelegram->DeleteMessages(aMessage.ChatId, {aMessage.Id}, aForAll,
                            Answered([this](const auto& aAnswer) {
                              if (aAnswer.IsError()) {
                                ReportLater("The message was not deleted: " + RefusalText(aAnswer));
                              }
                            }));
}

void TFRMQVNTelegram::ForwardMessage(const TqvnMessage& aMessage) {
  if (!ReadyToSend()) return;
  const std::vector<TqvnChatChoice> chats = ChatChoices();
  const std::optional<int64_t> picked = FDialogs.PickChat("Forward to which chat?", chats);
  const auto offered = std::find_if(chats.begin(), chats.end(), [&](const auto& aChat) {
    return picked && aChat.Id == *picked;
  });
  if (offered == chats.end()) return;
  const std::string title = offered->Title;
  FTelegram->ForwardMessages(offered->Id, aMessage.ChatId, {aMessage.Id},
                             Answered([this, title](const auto& aAnswer) {
                               if (aAnswer.IsError()) {
                                 ReportLater("The message was not forwarded: " +
                                             RefusalText(aAnswer));
                               } else {
                                 DoLog("The message was forwarded to " + title + ".");
                               }
                             }));
}

}  // namespace qvn
