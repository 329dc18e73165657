// The main window's controls, their placement, tab order and the main menu.
//
// The design is laid out at 96 dpi; Qt layouts keep its docking: the configuration panel on top
// and the message bar at the bottom keep their heights, the tabbed body takes the rest, and the
// message box stretches with the window's width and grows with its lines. The chat list and the
// conversation side share a splitter (splitMessages): the list keeps the width the user gives it
// as the window grows. On the conversation side, under the chat header, the stream of every chat
// (memoMessages) and the conversation of the chat selected share one place (stackMessages).
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/FQVNTelegram.h"
#include "app/qvnChatHeader.h"
#include "app/qvnChatRows.h"
#include "app/qvnComposer.h"
#include "app/qvnConversationModel.h"
#include "app/qvnConversationView.h"
#include "app/qvnLineView.h"

namespace qvn {

namespace {

constexpr int kMargin = 3;  // kept around every panel and memo
// The chat list's width until the user drags the splitter, and the least either side keeps.
constexpr int kChatListWidth = 230;
constexpr int kChatListMinimumWidth = 140;
constexpr int kConversationMinimumWidth = 220;
// How often the rows' times and the header's status are brought up to date.
constexpr int kClockMilliseconds = 30000;

template <typename T>
T* Named(T* aWidget, const char* aName) {
  aWidget->setObjectName(QString::fromLatin1(aName));
  return aWidget;
}

QFrame* Panel(QWidget* aParent, const char* aName) {
  auto* panel = Named(new QFrame(aParent), aName);
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setFrameShadow(QFrame::Raised);
  return panel;
}

QPushButton* Button(QWidget* aParent, const char* aName, const char* aCaption, int aWidth) {
  auto* button = Named(new QPushButton(QString::fromLatin1(aCaption), aParent), aName);
  button->setFixedSize(aWidth, 25);
  button->setAutoDefault(false);
  return button;
}

QLineEdit* Edit(QWidget* aParent, const char* aName, int aWidth) {
  auto* edit = Named(new QLineEdit(aParent), aName);
  if (aWidth > 0) edit->setFixedWidth(aWidth);
  return edit;
}

TqvnLineView* Memo(QWidget* aParent, const char* aName) {
  return Named(new TqvnLineView(aParent), aName);
}

}  // namespace

void TFRMQVNTelegram::BuildControls() {
  setWindowTitle(QStringLiteral("Velune Telegram Client"));
  setWindowIcon(QIcon::fromTheme(QStringLiteral("velune-telegram"),
                                 QIcon(QStringLiteral(":/velune/velune-telegram.png"))));
  setFont(QFont(QStringLiteral("Tahoma"), 8));

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  column->setSpacing(2 * kMargin);
  setCentralWidget(client);

  // Top: the login entries with Start and Stop.
  pnlConfiguration = Panel(client, "pnlConfiguration");
  pnlConfiguration->setFixedHeight(142 - 2 * kMargin);
  btnStart = Button(pnlConfiguration, "btnStart", "Start", 75);
  btnStop = Button(pnlConfiguration, "btnStop", "Stop", 75);
  Label2 = Named(new QLabel(QStringLiteral("API Id"), pnlConfiguration), "Label2");
  Label1 = Named(new QLabel(QStringLiteral("API Hash"), pnlConfiguration), "Label1");
  Label3 = Named(new QLabel(QStringLiteral("Phone Number"), pnlConfiguration), "Label3");
  Label4 = Named(new QLabel(QStringLiteral("Bot Token"), pnlConfiguration), "Label4");
  txtApiId = Edit(pnlConfiguration, "txtApiId", 201);
  txtApiHash = Edit(pnlConfiguration, "txtApiHash", 297);
  txtPhoneNumber = Edit(pnlConfiguration, "txtPhoneNumber", 297);
  txtBotToken = Edit(pnlConfiguration, "txtBotToken", 297);
  txtBotToken->setEnabled(false);
  chkLoginBot =
      Named(new QCheckBox(QStringLiteral("Login as Bot"), pnlConfiguration), "chkLoginBot");
  auto* grid = new QGridLayout(pnlConfiguration);
  grid->setContentsMargins(17, 14, 8, 14);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);
  grid->addWidget(btnStart, 0, 0, Qt::AlignLeft | Qt::AlignVCenter);
  grid->addWidget(btnStop, 3, 0, Qt::AlignLeft | Qt::AlignVCenter);
  QLabel* labels[] = {Label2, Label1, Label3, Label4};
  QLineEdit* edits[] = {txtApiId, txtApiHash, txtPhoneNumber, txtBotToken};
  for (int row = 0; row < 4; ++row) {
    labels[row]->setBuddy(edits[row]);
    grid->addWidget(labels[row], row, 1, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(edits[row], row, 2, Qt::AlignLeft | Qt::AlignVCenter);
  }
  grid->addWidget(chkLoginBot, 3, 3, Qt::AlignLeft | Qt::AlignVCenter);
  grid->setColumnMinimumWidth(0, 75 + 30);
  grid->setColumnStretch(4, 1);
  column->addWidget(pnlConfiguration);

  // Middle: the two pages, messages (chat list and message view) and log.
  pnlBody = Panel(client, "pnlBody");
  auto* bodyLayout = new QVBoxLayout(pnlBody);
  bodyLayout->setContentsMargins(0, 0, 0, 0);
  PageControl1 = Named(new QTabWidget(pnlBody), "PageControl1");
  bodyLayout->addWidget(PageControl1);
  tabMessages = Named(new QWidget(PageControl1), "tabMessages");
  FSplitMessages = Named(new QSplitter(Qt::Horizontal, tabMessages), "splitMessages");
  FSplitMessages->setChildrenCollapsible(false);
  // Rows are as wide as the list: titles and previews elide, never a sideways scroll bar.
  listChats = Named(new QListWidget(FSplitMessages), "listChats");
  listChats->setMinimumWidth(kChatListMinimumWidth);
  listChats->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  listChats->setUniformItemSizes(true);
  listChats->setSelectionMode(QAbstractItemView::SingleSelection);
  listChats->setItemDelegate(new TqvnChatRowDelegate(listChats));
  listChats->setTextElideMode(Qt::ElideRight);
  FAllChatsRow = new TqvnChatRow();
  listChats->addItem(FAllChatsRow);
  listChats->setCurrentItem(FAllChatsRow);
  auto* conversationSide = Named(new QWidget(FSplitMessages), "pnlConversation");
  conversationSide->setMinimumWidth(kConversationMinimumWidth);
  FChatHeader = Named(new TqvnChatHeader(conversationSide), "pnlChatHeader");
  FStackMessages = Named(new QStackedWidget(conversationSide), "stackMessages");
  memoMessages = Memo(FStackMessages, "memoMessages");
  listConversation = Named(new TqvnConversationView(FStackMessages), "listConversation");
  FConversationModel = new TqvnConversationModel(FModel, listConversation);
  listConversation->setModel(FConversationModel);
  FStackMessages->addWidget(memoMessages);
  FStackMessages->addWidget(listConversation);
  FStackMessages->setCurrentWidget(memoMessages);
  auto* conversationColumn = new QVBoxLayout(conversationSide);
  conversationColumn->setContentsMargins(0, 0, 0, 0);
  conversationColumn->setSpacing(0);
  conversationColumn->addWidget(FChatHeader);
  conversationColumn->addWidget(FStackMessages, 1);
  FSplitMessages->addWidget(listChats);
  FSplitMessages->addWidget(conversationSide);
  FSplitMessages->setStretchFactor(0, 0);
  FSplitMessages->setStretchFactor(1, 1);
  SetChatListWidth(kChatListWidth);
  auto* messagesLayout = new QHBoxLayout(tabMessages);
  messagesLayout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  messagesLayout->addWidget(FSplitMessages);
  UpdateChatHeader();
  FClockTimer = new QTimer(this);
  FClockTimer->start(kClockMilliseconds);
  tabLog = Named(new QWidget(PageControl1), "tabLog");
  memoLog = Memo(tabLog, "memoLog");
  auto* logLayout = new QVBoxLayout(tabLog);
  logLayout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  logLayout->addWidget(memoLog);
  PageControl1->addTab(tabMessages, QStringLiteral("Messages"));
  PageControl1->addTab(tabLog, QStringLiteral("Log"));
  PageControl1->setCurrentWidget(tabMessages);
  column->addWidget(pnlBody, 1);

  // Bottom: the message replied to or edited, the formatting preview, and the row of file
  // button, message box and Send. The panel grows with the box's lines.
  pnlMessage = Panel(client, "pnlMessage");
  pnlMessage->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  auto* messageColumn = new QVBoxLayout(pnlMessage);
  messageColumn->setContentsMargins(5, 4, 5, 4);
  messageColumn->setSpacing(3);
  pnlContext = Named(new QFrame(pnlMessage), "pnlContext");
  lblContext = Named(new QLabel(pnlContext), "lblContext");
  lblContext->setTextFormat(Qt::PlainText);
  lblContext->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  btnCancelContext = Button(pnlContext, "btnCancelContext", "", 25);
  btnCancelContext->setText(QString(QChar(0x2715)));  // a multiplication x
  btnCancelContext->setToolTip(QStringLiteral("Cancel (Escape)"));
  auto* contextRow = new QHBoxLayout(pnlContext);
  contextRow->setContentsMargins(54, 0, 0, 0);
  contextRow->addWidget(lblContext, 1);
  contextRow->addWidget(btnCancelContext);
  pnlContext->hide();
  messageColumn->addWidget(pnlContext);
  lblPreview = Named(new QLabel(pnlMessage), "lblPreview");
  lblPreview->setTextFormat(Qt::RichText);
  lblPreview->setWordWrap(true);
  lblPreview->setToolTip(QStringLiteral("How the message will look"));
  lblPreview->setContentsMargins(54, 0, 0, 0);
  lblPreview->hide();
  messageColumn->addWidget(lblPreview);
  btnSendFile = Button(pnlMessage, "btnSendFile", "File", 49);
  txtMessage = Named(new TqvnComposer(pnlMessage), "txtMessage");
  btnSendMessage = Button(pnlMessage, "btnSendMessage", "Send", 75);
  auto* messageRow = new QHBoxLayout();
  messageRow->setSpacing(6);
  messageRow->addWidget(btnSendFile, 0, Qt::AlignBottom);
  messageRow->addWidget(txtMessage, 1);
  messageRow->addWidget(btnSendMessage, 0, Qt::AlignBottom);
  messageColumn->addLayout(messageRow);
  column->addWidget(pnlMessage);

  // The status bar: connection status, current chat id, last log line.
  StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
  const int widths[] = {130, 100, 50};
  for (int i = 0; i < 3; ++i) {
    auto* panel = new QLabel(StatusBar1);
    panel->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
    panel->setMinimumWidth(widths[i]);
    panel->setTextFormat(Qt::PlainText);
    if (i < 2) panel->setFixedWidth(widths[i]);
    StatusBar1->addWidget(panel, i == 2 ? 1 : 0);
    FStatusPanels[i] = panel;
  }
  setStatusBar(StatusBar1);

}

std::vector<QWidget*> TFRMQVNTelegram::TabOrder() const {
  return {txtApiId,       txtApiHash,       txtPhoneNumber, btnStart,   btnStop,
          txtBotToken,    chkLoginBot,      PageControl1,   listChats,  memoMessages,
          listConversation, memoLog,        txtMessage,     btnSendMessage, btnSendFile};
}

bool TFRMQVNTelegram::focusNextPrevChild(bool aNext) {
  const std::vector<QWidget*> order = TabOrder();
  const QWidget* focused = QApplication::focusWidget();
  // The innermost control holding the focus (the tab pages hold the views after them).
  const auto at = std::find_if(order.rbegin(), order.rend(), [focused](const QWidget* aControl) {
    return aControl == focused || aControl->isAncestorOf(focused);
  });
  if (at == order.rend()) return QMainWindow::focusNextPrevChild(aNext);
  const auto count = static_cast<std::ptrdiff_t>(order.size());
  std::ptrdiff_t index = order.rend() - at - 1;
  for (std::ptrdiff_t step = 1; step < count; ++step) {
    index = (index + (aNext ? 1 : count - 1)) % count;
    QWidget* candidate = order[static_cast<size_t>(index)];
    if (candidate->isVisible() && candidate->isEnabled() &&
        (candidate->focusPolicy() & Qt::TabFocus) != 0) {
      candidate->setFocus(aNext ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return true;
    }
  }
  return true;
}

QMenu* TFRMQVNTelegram::AddSubmenu(QMenu* aParent, const char* aName, const char* aCaption) {
  QMenu* menu = aParent ? aParent->addMenu(QString::fromLatin1(aCaption))
                        : MainMenu1->addMenu(QString::fromLatin1(aCaption));
  menu->setObjectName(QString::fromLatin1(aName));
  menu->menuAction()->setObjectName(QString::fromLatin1(aName));
  return menu;
}

QAction* TFRMQVNTelegram::AddCommand(QMenu* aMenu, const char* aName, const char* aCaption,
                                     void (TFRMQVNTelegram::*aHandler)()) {
  QAction* action = aMenu->addAction(QString::fromUtf8(aCaption));
  action->setObjectName(QString::fromLatin1(aName));
  connect(action, &QAction::triggered, this, [this, aHandler] { Guarded(aHandler); });
  return action;
}

void TFRMQVNTelegram::AddSeparator(QMenu* aMenu, const char* aName) {
  aMenu->addSeparator()->setObjectName(QString::fromLatin1(aName));
}

void TFRMQVNTelegram::BuildMenu() {
  MainMenu1 = Named(new QMenuBar(this), "MainMenu1");
  setMenuBar(MainMenu1);

  QMenu* menu = AddSubmenu(nullptr, "Menu", "Menu");
  AddCommand(menu, "Logout1", "Log Out…", &TFRMQVNTelegram::Logout1Click);
  Notifications1 = AddCommand(menu, "Notifications1", "Notifications",
                              &TFRMQVNTelegram::Notifications1Click);
  Notifications1->setCheckable(true);
  AddSeparator(menu, "N3");
  AddCommand(menu, "Exit1", "Exit", &TFRMQVNTelegram::Exit1Click);

  QMenu* chats = AddSubmenu(nullptr, "Chats1", "Chats");
  AddCommand(AddSubmenu(chats, "PrivateChat1", "Private Chat"), "PrivateChatCreate1", "New…",
             &TFRMQVNTelegram::PrivateChatCreate1Click);
  AddCommand(AddSubmenu(chats, "SecretChat1", "Secret Chat"), "SecretChatCreate1", "New…",
             &TFRMQVNTelegram::SecretChatCreate1Click);
  QMenu* superGroups = AddSubmenu(chats, "SuperGroups1", "Supergroups");
  AddCommand(superGroups, "SuperGroupsCreate1", "New…",
             &TFRMQVNTelegram::SuperGroupsCreate1Click);
  AddCommand(superGroups, "SuperGroupDelete1", "Delete…", &TFRMQVNTelegram::SuperGroupDelete1Click);
  AddCommand(superGroups, "GetMembers1", "Members in the Log…", &TFRMQVNTelegram::GetMembers1Click);
  AddCommand(AddSubmenu(chats, "BasicGroups1", "Basic Groups"), "BasicGroupsCreate1", "New…",
             &TFRMQVNTelegram::BasicGroupsCreate1Click);
  AddSeparator(chats, "N4");
  QMenu* members = AddSubmenu(chats, "Members1", "Members");
  AddCommand(members, "AddChatMember1", "Add a Member…", &TFRMQVNTelegram::AddChatMember1Click);
  AddCommand(members, "JoinChatByInviteLink1", "Join by Invite Link…",
             &TFRMQVNTelegram::JoinChatByInviteLink1Click);
  AddSeparator(chats, "N1");
  AddCommand(chats, "GetChat1", "Chat Details in the Log…", &TFRMQVNTelegram::GetChat1Click);
  AddCommand(chats, "GetChats1", "Reload the Chat List", &TFRMQVNTelegram::GetChats1Click);

  QMenu* proxies = AddSubmenu(nullptr, "Proxy1", "Proxies");
  AddCommand(proxies, "ProxyManager1", "Proxy Manager…", &TFRMQVNTelegram::ProxyManager1Click);
  AddCommand(proxies, "GetProxies1", "Proxies in the Log", &TFRMQVNTelegram::GetProxies1Click);
  AddSeparator(proxies, "N5");
  QMenu* add = AddSubmenu(proxies, "Add4", "Add");
  AddCommand(add, "HTTP1", "HTTP…", &TFRMQVNTelegram::HTTP1Click);
  AddCommand(add, "MTProto1", "MTProto…", &TFRMQVNTelegram::MTProto1Click);
  AddCommand(add, "Socks51", "SOCKS5…", &TFRMQVNTelegram::Socks51Click);
  AddCommand(proxies, "Remove1", "Remove…", &TFRMQVNTelegram::Remove1Click);
  AddSeparator(proxies, "N2");
  AddCommand(proxies, "Enable1", "Enable…", &TFRMQVNTelegram::Enable1Click);
  AddCommand(proxies, "Disable1", "Disable All", &TFRMQVNTelegram::Disable1Click);
}

void TFRMQVNTelegram::ConnectControls() {
  connect(btnStart, &QPushButton::clicked, this,
          [this] { Guarded(&TFRMQVNTelegram::btnStartClick); });
  connect(btnStop, &QPushButton::clicked, this,
          [this] { Guarded(&TFRMQVNTelegram::btnStopClick); });
  // A change of state, by the user or by LoadSettings, runs the click handler.
  connect(chkLoginBot, &QCheckBox::toggled, this,
          [this] { Guarded(&TFRMQVNTelegram::chkLoginBotClick); });
  connect(listChats, &QListWidget::itemClicked, this,
          [this] { Guarded(&TFRMQVNTelegram::listChatsClick); });
  // Moving the selection with the keyboard picks a chat as a click does.
  connect(listChats, &QListWidget::currentRowChanged, this, [this] {
    if (listChats->hasFocus()) Guarded(&TFRMQVNTelegram::listChatsClick);
  });
  // Reaching the end of the list loads more of TDLib's chats; the photos of the rows that come
  // into view are asked for.
  connect(listChats->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int aValue) {
    if (aValue == listChats->verticalScrollBar()->maximum()) {
      Guarded(&TFRMQVNTelegram::LoadMoreChats);
    }
    Guarded(&TFRMQVNTelegram::RequestShownPhotos);
  });
  connect(FClockTimer, &QTimer::timeout, this, [this] { Guarded(&TFRMQVNTelegram::RefreshClock); });
  connect(listConversation, &TqvnConversationView::OlderWanted, this,
          [this] { Guarded(&TFRMQVNTelegram::RequestOlderMessages); });
  connect(listConversation, &TqvnConversationView::MessageClicked, this,
          [this](qint64 aMessageId, const QString& aLocalKey) {
            RunShowingErrors(FDialogs,
                             [&] { ConversationClick(aMessageId, aLocalKey.toStdString()); });
          });
  connect(listConversation, &TqvnConversationView::LinkClicked, this,
          [this](const QString& aType, const QString& aValue, qint64 aUserId) {
            RunShowingErrors(FDialogs, [&] {
              LinkClick(aType.toStdString(), aValue.toStdString(), aUserId);
            });
          });
  connect(listConversation, &TqvnConversationView::ReplyClicked, this, [this](qint64 aMessageId) {
    RunShowingErrors(FDialogs, [&] { ShowMessage(aMessageId); });
  });
  connect(listConversation, &TqvnConversationView::PictureWanted, this, [this](int aFileId) {
    RunShowingErrors(FDialogs, [&] { DownloadPicture(aFileId); });
  });
  connect(btnSendMessage, &QPushButton::clicked, this,
          [this] { Guarded(&TFRMQVNTelegram::btnSendMessageClick); });
  connect(btnSendFile, &QPushButton::clicked, this,
          [this] { Guarded(&TFRMQVNTelegram::btnSendFileClick); });
  connect(txtMessage, &TqvnComposer::SendWanted, this,
          [this] { Guarded(&TFRMQVNTelegram::btnSendMessageClick); });
  connect(txtMessage, &TqvnComposer::CancelWanted, this,
          [this] { Guarded(&TFRMQVNTelegram::CancelComposing); });
  connect(btnCancelContext, &QPushButton::clicked, this,
          [this] { Guarded(&TFRMQVNTelegram::CancelComposing); });
  connect(txtMessage, &TqvnComposer::ImagePasted, this, [this](const QImage& aImage) {
    RunShowingErrors(FDialogs, [&] { SendPastedImage(aImage); });
  });
  connect(txtMessage, &TqvnComposer::FilesGiven, this, [this](const QStringList& aPaths) {
    RunShowingErrors(FDialogs, [&] { SendFiles(aPaths); });
  });
  connect(listConversation, &TqvnConversationView::FilesDropped, this,
          [this](const QStringList& aPaths) {
            RunShowingErrors(FDialogs, [&] { SendFiles(aPaths); });
          });
  connect(txtMessage, &TqvnComposer::EditLastWanted, this,
          [this] { Guarded(&TFRMQVNTelegram::EditLastMessage); });
  listConversation->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(listConversation, &QWidget::customContextMenuRequested, this, [this](QPoint aPosition) {
    RunShowingErrors(FDialogs, [&] { ConversationMenuRequested(aPosition); });
  });
  AddMessageShortcuts();
  connect(txtMessage, &QPlainTextEdit::textChanged, this,
          [this] { Guarded(&TFRMQVNTelegram::UpdatePreview); });
  memoLog->viewport()->installEventFilter(this);
  memoMessages->viewport()->installEventFilter(this);
  listChats->viewport()->installEventFilter(this);
}

bool TFRMQVNTelegram::eventFilter(QObject* aWatched, QEvent* aEvent) {
  // A taller list shows more rows, whose photos are wanted.
  if (aEvent->type() == QEvent::Resize && aWatched == listChats->viewport()) {
    Guarded(&TFRMQVNTelegram::RequestShownPhotos);
  }
  if (aEvent->type() == QEvent::MouseButtonDblClick) {
    for (TqvnLineView* memo : {memoLog, memoMessages}) {
      if (aWatched == memo->viewport()) {
        CopyFullLine(memo, static_cast<QMouseEvent*>(aEvent)->position().toPoint());
      }
    }
  }
  return QMainWindow::eventFilter(aWatched, aEvent);
}

int TFRMQVNTelegram::ChatListWidth() const {
  return FSplitMessages->sizes().value(0);
}

void TFRMQVNTelegram::SetChatListWidth(int aWidth) {
  // The conversation side takes the rest; the splitter keeps both sides at their minimums.
  FSplitMessages->setSizes({aWidth, std::max(1, FSplitMessages->width() - aWidth)});
}

void TFRMQVNTelegram::Guarded(void (TFRMQVNTelegram::*aHandler)()) {
  RunShowingErrors(FDialogs, [&] { (this->*aHandler)(); });
}

}  // namespace qvn
