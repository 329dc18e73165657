// The window's part in the desktop: notifications of new messages the user is not looking at
// (rules and pacing in qvnNotifier.h), the urgency hint, the unread count of the title, opening
// the chat of an activated notification, and coming to the front when
// another start of the program hands over to this one.
#include <QApplication>
#include <QListWidget>
#include <QStringList>
#include <QUrl>

#include "app/FQVNTelegram.h"
#include "app/qvnChatRows.h"
#include "app/qvnMessageText.h"

namespace qvn {

namespace {

// A notification's body is one line; desktops show two or three lines of it at most.
constexpr int kBodyLength = 200;

// aText cut to kBodyLength UTF-16 units (never inside a character), "…" marking the cut.
std::string BodyLine(const std::string& aText) {
  QString text = QString::fromStdString(aText);
  if (text.size() <= kBodyLength) return aText;
  int cut = kBodyLength;
  if (text.at(cut - 1).isHighSurrogate()) --cut;
  return (text.left(cut) + QStringLiteral("…")).toStdString();
}

// tg://proxy, tg://socks and their https://t.me/ forms: the proxy manager takes them.
bool IsProxyLink(const QString& aArgument) {
  const QUrl url(aArgument.trimmed());
  const QString kind = url.scheme() == QLatin1String("tg") ? url.host() : url.path().mid(1);
  const bool telegramHost = url.scheme() == QLatin1String("tg") ||
                            QStringList{"t.me", "telegram.me", "telegram.dog"}.contains(url.host());
  return telegramHost && (kind == QLatin1String("proxy") || kind == QLatin1String("socks"));
}

}  // namespace

void TFRMQVNTelegram::SetNotificationSink(IqvnNotificationSink* aSink) {
  FNotifier.SetSink(aSink, [this](int64_t aChatId) {
    RunShowingErrors(FDialogs, [&] { OpenNotifiedChat(aChatId); });
  });
}

void TFRMQVNTelegram::CommandLineReceived(const QStringList& aArguments) {
  BringToFront();
  QStringList others;
  for (const QString& argument : aArguments) {
    if (IsProxyLink(argument)) {
      OpenProxyLink(argument.toStdString());
    } else {
      others.push_back(argument);
    }
  }
  if (!others.isEmpty()) {
    DoLog("Received from the command line: " + others.join(QLatin1Char(' ')).toStdString());
  }
}

void TFRMQVNTelegram::NoteForDesktop(const TqvnModelChange& aChange) {
  if (aChange.Kind == TqvnModelChange::chat) {
    const auto count = [this](int64_t aChatId) {
      const TqvnChat* chat = FModel.Chat(aChatId);
      FUnreadTotal.Set(aChatId, chat != nullptr ? TqvnUnreadTotal::Counted(*chat) : 0);
    };
    if (aChange.ChatId != 0) count(aChange.ChatId);
    for (int64_t id : aChange.ChatIds) count(id);
  } else if (aChange.Kind == TqvnModelChange::newMessage) {
    NotifyNewMessage(aChange.Messages.front());
  }
}

void TFRMQVNTelegram::NotifyNewMessage(const TqvnMessage& aMessage) {
  const TqvnChat* chat = FModel.Chat(aMessage.ChatId);
  if (chat == nullptr || !TqvnNotifier::Worth(*chat, aMessage, UnixNow())) return;
  // In the active window, the chat's conversation or the stream of every chat shows it already.
  const bool active = isActiveWindow();
  if (active && (FShownChat == aMessage.ChatId || FShownChat == 0)) return;
  const std::string body = MessageBody(FModel, aMessage);
  const std::string line(FirstLine(body));
  const std::string said =
      IsServiceMessage(aMessage) ? line : SenderName(FModel, aMessage) + ": " + line;
  if (FNotifier.Add(chat->Id, chat->Title, BodyLine(said)) && !active) {
    QApplication::alert(this);
  }
}

void TFRMQVNTelegram::OpenNotifiedChat(int64_t aChatId) {
  BringToFront();
  TqvnChatRow* row = FAllChatsRow;
  if (aChatId != 0) {
    auto found = FChatRows.find(aChatId);
    if (found == FChatRows.end()) return;  // the account was stopped meanwhile
    row = found->second;
  }
  listChats->setCurrentItem(row);
  listChatsClick();
}

void TFRMQVNTelegram::BringToFront() {
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
}

}  // namespace qvn
