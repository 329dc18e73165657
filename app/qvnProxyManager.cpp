#include "app/qvnProxyManager.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <cmath>

#include "app/qvnErrorText.h"
#include "app/qvnProxyLink.h"

namespace qvn {
namespace {

constexpr int kMaxPortDigits = 5;

// The combo box's entries, in the order of TqvnProxyKind.
constexpr const char* kKindNames[] = {"SOCKS5", "HTTP", "MTProto"};

QString KindText(TqvnProxyKind aKind) {
  return QString::fromLatin1(kKindNames[static_cast<int>(aKind)]);
}

QString LastUsedText(int32_t aDate) {
  if (aDate == 0) return QStringLiteral("never");
  return QDateTime::fromSecsSinceEpoch(aDate).toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

// The port typed, or 0 when it is not a number (ProxyProblem then refuses it).
int32_t PortOf(const QString& aText) {
  const std::string text = aText.trimmed().toStdString();
  if (text.empty() || text.size() > kMaxPortDigits ||
      !std::all_of(text.begin(), text.end(),
                   [](char aChar) { return std::isdigit(static_cast<unsigned char>(aChar)) != 0; })) {
    return 0;
  }
  return std::stoi(text);
}

QPushButton* NamedButton(const char* aName, const char* aCaption, QWidget* aParent) {
  auto* button = new QPushButton(QString::fromUtf8(aCaption), aParent);
  button->setObjectName(QString::fromLatin1(aName));
  button->setAutoDefault(false);
  return button;
}

template <typename T>
T* Named(T* aWidget, const char* aName) {
  aWidget->setObjectName(QString::fromLatin1(aName));
  return aWidget;
}

}  // namespace

TqvnProxyManager::TqvnProxyManager(TqvnTDLib_Telegram& aTelegram, IqvnDialogs& aDialogs,
                                   TAnswered aAnswered, QWidget* aParent)
    : QDialog(aParent), FTelegram(aTelegram), FDialogs(aDialogs), FAnswered(std::move(aAnswered)) {
  setObjectName(QStringLiteral("ProxyManager1"));
  setWindowTitle(QStringLiteral("Proxy Manager"));
  BuildControls();
  CloseForm();
  UpdateButtons();
  resize(720, 460);
}

void TqvnProxyManager::BuildControls() {
  FTable = Named(new QTableWidget(0, colCount, this), "tblProxies");
  FTable->setHorizontalHeaderLabels({QStringLiteral("Id"), QStringLiteral("Server"),
                                     QStringLiteral("Port"), QStringLiteral("Type"),
                                     QStringLiteral("Enabled"), QStringLiteral("Last used"),
                                     QStringLiteral("Ping")});
  FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  FTable->setSelectionMode(QAbstractItemView::SingleSelection);
  FTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FTable->verticalHeader()->hide();
  for (const int column : {colId, colPort, colType, colEnabled, colLastUsed}) {
    FTable->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
  FTable->horizontalHeader()->setSectionResizeMode(colServer, QHeaderView::Stretch);
  FTable->horizontalHeader()->setSectionResizeMode(colPing, QHeaderView::Stretch);

  auto* add = NamedButton("btnProxyAdd", "Add…", this);
  FEdit = NamedButton("btnProxyEdit", "Edit…", this);
  FRemove = NamedButton("btnProxyRemove", "Remove", this);
  FEnable = NamedButton("btnProxyEnable", "Enable", this);
  auto* disable = NamedButton("btnProxyDisable", "Disable", this);
  disable->setToolTip(QStringLiteral("Connect directly, without any proxy"));
  FPing = NamedButton("btnProxyPing", "Ping", this);
  auto* paste = NamedButton("btnProxyPasteLink", "Paste link", this);
  paste->setToolTip(QStringLiteral("Add the proxy of a tg://proxy, tg://socks or t.me link copied"));
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {add, FEdit, FRemove, FEnable, disable, FPing, paste}) {
    buttons->addWidget(button);
  }
  buttons->addStretch(1);

  FForm = Named(new QGroupBox(this), "grpProxyForm");
  FType = Named(new QComboBox(FForm), "cmbProxyType");
  for (const char* name : kKindNames) FType->addItem(QString::fromLatin1(name));
  FServer = Named(new QLineEdit(FForm), "txtProxyServer");
  FServer->setPlaceholderText(QStringLiteral("host name or IP address"));
  FPort = Named(new QLineEdit(FForm), "txtProxyPort");
  FPort->setMaxLength(kMaxPortDigits);
  FPort->setPlaceholderText(QStringLiteral("1–65535"));
  FUser = Named(new QLineEdit(FForm), "txtProxyUser");
  FPassword = Named(new QLineEdit(FForm), "txtProxyPassword");
  FPassword->setEchoMode(QLineEdit::Password);
  FShowPassword = Named(new QCheckBox(QStringLiteral("Show"), FForm), "chkProxyShowPassword");
  FHTTPOnly = Named(new QCheckBox(QStringLiteral("HTTP only (no TCP tunnel)"), FForm),
                    "chkProxyHTTPOnly");
  FSecret = Named(new QLineEdit(FForm), "txtProxySecret");
  FSecret->setPlaceholderText(QStringLiteral("32 hex digits, dd… or ee…, or base64url"));
  FUserLabel = new QLabel(QStringLiteral("User name"), FForm);
  FPasswordLabel = new QLabel(QStringLiteral("Password"), FForm);
  FSecretLabel = new QLabel(QStringLiteral("Secret"), FForm);
  auto* password = new QHBoxLayout;
  password->addWidget(FPassword, 1);
  password->addWidget(FShowPassword);
  FSave = NamedButton("btnProxySave", "Add", FForm);
  FSave->setDefault(true);
  auto* cancel = NamedButton("btnProxyCancel", "Cancel", FForm);
  auto* formButtons = new QHBoxLayout;
  formButtons->addStretch(1);
  formButtons->addWidget(FSave);
  formButtons->addWidget(cancel);
  auto* form = new QFormLayout(FForm);
  form->addRow(QStringLiteral("Type"), FType);
  form->addRow(QStringLiteral("Server"), FServer);
  form->addRow(QStringLiteral("Port"), FPort);
  form->addRow(FUserLabel, FUser);
  form->addRow(FPasswordLabel, password);
  form->addRow(QString(), FHTTPOnly);
  form->addRow(FSecretLabel, FSecret);
  form->addRow(formButtons);

  FStatus = Named(new QLabel(this), "lblProxyStatus");
  FStatus->setWordWrap(true);
  FStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* close = NamedButton("btnProxyClose", "Close", this);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(FStatus, 1);
  bottom->addWidget(close, 0, Qt::AlignBottom);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(FTable, 1);
  layout->addLayout(buttons);
  layout->addWidget(FForm);
  layout->addLayout(bottom);

  const auto on = [this](QPushButton* aButton, void (TqvnProxyManager::*aHandler)()) {
    connect(aButton, &QPushButton::clicked, this,
            [this, aHandler] { RunShowingErrors(FDialogs, [&] { (this->*aHandler)(); }); });
  };
  on(add, &TqvnProxyManager::AddClick);
  on(FEdit, &TqvnProxyManager::EditClick);
  on(FRemove, &TqvnProxyManager::RemoveClick);
  on(FEnable, &TqvnProxyManager::EnableClick);
  on(disable, &TqvnProxyManager::DisablePressed);
  on(FPing, &TqvnProxyManager::PingClick);
  on(paste, &TqvnProxyManager::PasteLinkClick);
  on(FSave, &TqvnProxyManager::SaveClick);
  on(cancel, &TqvnProxyManager::CloseForm);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  connect(FType, &QComboBox::currentIndexChanged, this, &TqvnProxyManager::TypeChanged);
  connect(FShowPassword, &QCheckBox::toggled, this, [this](bool aShown) {
    FPassword->setEchoMode(aShown ? QLineEdit::Normal : QLineEdit::Password);
  });
  connect(FTable, &QTableWidget::itemSelectionChanged, this, &TqvnProxyManager::UpdateButtons);
  connect(FTable, &QTableWidget::cellDoubleClicked, this,
          [this] { RunShowingErrors(FDialogs, [this] { EditClick(); }); });
}

void TqvnProxyManager::Refresh() {
  QPointer<TqvnProxyManager> self(this);
  FTelegram.GetProxies(FAnswered([self](const TqvnTelegramAnswer& aAnswer) {
    if (self == nullptr) return;
    if (aAnswer.IsError()) {
      self->ShowStatus("The proxies could not be listed: " + FailureText(aAnswer), true);
      return;
    }
    self->ShowProxies(ReadProxies(aAnswer.Object()));
  }));
}

void TqvnProxyManager::ShowProxies(const std::vector<TqvnAddedProxy>& aProxies) {
  const TqvnAddedProxy* selected = Selected();
  const int32_t selectedId = selected != nullptr ? selected->Id : 0;
  FProxies = aProxies;
  FTable->setRowCount(0);
  FTable->setRowCount(static_cast<int>(FProxies.size()));
  for (int row = 0; row < FTable->rowCount(); ++row) {
    const TqvnAddedProxy& added = FProxies[static_cast<size_t>(row)];
    const auto ping = FPings.find(added.Id);
    const QString cells[colCount] = {
        QString::number(added.Id),
        QString::fromStdString(added.Proxy.Server),
        QString::number(added.Proxy.Port),
        KindText(added.Proxy.Kind),
        added.Enabled ? QStringLiteral("✓") : QString(),
        LastUsedText(added.LastUsedDate),
        ping != FPings.end() ? QString::fromStdString(ping->second) : QString()};
    for (int column = 0; column < colCount; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (column == colEnabled) item->setTextAlignment(Qt::AlignCenter);
      FTable->setItem(row, column, item);
    }
    if (added.Id == selectedId) FTable->selectRow(row);
  }
  UpdateButtons();
}

const TqvnAddedProxy* TqvnProxyManager::Selected() const {
  const QList<QTableWidgetSelectionRange> ranges = FTable->selectedRanges();
  if (ranges.isEmpty()) return nullptr;
  const auto row = static_cast<size_t>(ranges.front().topRow());
  return row < FProxies.size() ? &FProxies[row] : nullptr;
}

void TqvnProxyManager::UpdateButtons() {
  const bool selected = Selected() != nullptr;
  for (QPushButton* button : {FEdit, FRemove, FEnable, FPing}) button->setEnabled(selected);
}

void TqvnProxyManager::AddClick() {
  OpenForm(TqvnProxy{}, 0);
}

void TqvnProxyManager::EditClick() {
  if (const TqvnAddedProxy* selected = Selected()) OpenForm(selected->Proxy, selected->Id);
}

void TqvnProxyManager::RemoveClick() {
  if (Selected() == nullptr) return;
  // A copy: the table may change while the question is open.
  const TqvnAddedProxy selected = *Selected();
  const std::string name = selected.Proxy.Server + ":" + std::to_string(selected.Proxy.Port);
  if (!FDialogs.ConfirmDestructive("Remove the proxy " + name + "?", "Remove")) return;
  FPings.erase(selected.Id);
  FTelegram.RemoveProxy(selected.Id, Changed("The proxy could not be removed", false));
}

void TqvnProxyManager::EnableClick() {
  if (const TqvnAddedProxy* selected = Selected()) {
    FTelegram.EnableProxy(selected->Id, Changed("The proxy could not be enabled", false));
  }
}

void TqvnProxyManager::DisablePressed() {
  FTelegram.DisableProxy(Changed("The proxy could not be disabled", false));
}

void TqvnProxyManager::PingClick() {
  if (Selected() == nullptr) return;
  const TqvnAddedProxy selected = *Selected();
  const int32_t id = selected.Id;
  FPings[id] = "pinging…";
  ShowProxies(FProxies);
  QPointer<TqvnProxyManager> self(this);
  FTelegram.PingProxy(id, selected.Proxy, FAnswered([self, id](const TqvnTelegramAnswer& aAnswer) {
    if (self == nullptr) return;
    self->FPings[id] =
        aAnswer.IsError()
            ? FailureText(aAnswer)
            : std::to_string(std::lround(aAnswer.Get<double>("seconds") * 1000)) + " ms";
    self->ShowProxies(self->FProxies);
  }));
}

void TqvnProxyManager::PasteLinkClick() {
  OpenLink(QApplication::clipboard()->text().toStdString());
}

void TqvnProxyManager::OpenLink(const std::string& aLink) {
  const TqvnParsedProxyLink parsed = ParseProxyLink(aLink);
  if (!parsed.Problem.empty()) {
    ShowStatus(parsed.Problem, true);
    return;
  }
  OpenForm(parsed.Proxy, 0);
  ShowStatus("Check the proxy of the link and press Add to keep it.", false);
}

void TqvnProxyManager::OpenForm(const TqvnProxy& aProxy, int32_t aEditId) {
  FEditId = aEditId;
  FForm->setTitle(aEditId == 0 ? QStringLiteral("New proxy")
                               : QStringLiteral("Proxy %1").arg(aEditId));
  FSave->setText(aEditId == 0 ? QStringLiteral("Add") : QStringLiteral("Save"));
  FType->setCurrentIndex(static_cast<int>(aProxy.Kind));
  FServer->setText(QString::fromStdString(aProxy.Server));
  FPort->setText(aProxy.Port == 0 ? QString() : QString::number(aProxy.Port));
  FUser->setText(QString::fromStdString(aProxy.UserName));
  FPassword->setText(QString::fromStdString(aProxy.Password));
  FShowPassword->setChecked(false);
  FHTTPOnly->setChecked(aProxy.HTTPOnly);
  FSecret->setText(QString::fromStdString(aProxy.Secret));
  TypeChanged();
  FForm->show();
  ShowStatus({}, false);
  FServer->setFocus();
}

void TqvnProxyManager::CloseForm() {
  FForm->hide();
  // Nothing typed stays behind a hidden form.
  FPassword->clear();
  FSecret->clear();
}

void TqvnProxyManager::TypeChanged() {
  const auto kind = static_cast<TqvnProxyKind>(FType->currentIndex());
  const bool credentials = kind != TqvnProxyKind::mtproto;
  for (QWidget* widget : std::initializer_list<QWidget*>{FUserLabel, FUser, FPasswordLabel,
                                                         FPassword, FShowPassword}) {
    widget->setVisible(credentials);
  }
  FHTTPOnly->setVisible(kind == TqvnProxyKind::http);
  FSecretLabel->setVisible(!credentials);
  FSecret->setVisible(!credentials);
}

void TqvnProxyManager::SaveClick() {
  TqvnProxy proxy;
  proxy.Kind = static_cast<TqvnProxyKind>(FType->currentIndex());
  proxy.Server = FServer->text().trimmed().toStdString();
  proxy.Port = PortOf(FPort->text());
  if (proxy.Kind == TqvnProxyKind::mtproto) {
    proxy.Secret = FSecret->text().trimmed().toStdString();
  } else {
    proxy.UserName = FUser->text().toStdString();
    proxy.Password = FPassword->text().toStdString();
    proxy.HTTPOnly = proxy.Kind == TqvnProxyKind::http && FHTTPOnly->isChecked();
  }
  if (const std::string problem = ProxyProblem(proxy); !problem.empty()) {
    ShowStatus(problem, true);
    return;
  }
  if (FEditId == 0) {
    FTelegram.AddProxy(proxy, Changed("The proxy could not be added", true));
    return;
  }
  // Every TDLib release the engine speaks to has editProxy, so an edit keeps the proxy's id
  // (and its place in the list) rather than removing it and adding a new one.
  const auto edited = std::find_if(FProxies.begin(), FProxies.end(),
                                   [this](const TqvnAddedProxy& aAdded) { return aAdded.Id == FEditId; });
  const bool enabled = edited != FProxies.end() && edited->Enabled;
  FPings.erase(FEditId);
  FTelegram.EditProxy(FEditId, proxy, enabled, Changed("The proxy could not be changed", true));
}

TqvnTelegramOnAnswer TqvnProxyManager::Changed(const std::string& aWhat, bool aClosesForm) {
  QPointer<TqvnProxyManager> self(this);
  return FAnswered([self, aWhat, aClosesForm](const TqvnTelegramAnswer& aAnswer) {
    if (self == nullptr) return;
    if (aAnswer.IsError()) {
      self->ShowStatus(aWhat + ": " + FailureText(aAnswer), true);
      return;
    }
    if (aClosesForm) self->CloseForm();
    self->ShowStatus({}, false);
    self->Refresh();
  });
}

void TqvnProxyManager::ShowStatus(const std::string& aText, bool aError) {
  FStatus->setText(QString::fromStdString(aText));
  FStatus->setStyleSheet(aError ? QStringLiteral("color: #b00020;") : QString());
}

std::string TqvnProxyManager::FailureText(const TqvnTelegramAnswer& aAnswer) {
  return aAnswer.Kind == takTDLibError ? TDLibErrorText(aAnswer.Code, aAnswer.Message)
                                       : aAnswer.Message;
}

}  // namespace qvn
