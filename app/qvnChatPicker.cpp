#include "app/qvnChatPicker.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace qvn {
namespace {

constexpr int kChatIdRole = Qt::UserRole;

// Up and Down move through the chats shown while the search box keeps the focus.
class TSearchKeys : public QObject {
 public:
  TSearchKeys(QListWidget* aList, QObject* aParent) : QObject(aParent), FList(aList) {}

 protected:
  bool eventFilter(QObject* aWatched, QEvent* aEvent) override {
    if (aEvent->type() != QEvent::KeyPress) return QObject::eventFilter(aWatched, aEvent);
    const int key = static_cast<QKeyEvent*>(aEvent)->key();
    if (key != Qt::Key_Up && key != Qt::Key_Down) return QObject::eventFilter(aWatched, aEvent);
    const int step = key == Qt::Key_Up ? -1 : 1;
    for (int row = FList->currentRow() + step; row >= 0 && row < FList->count(); row += step) {
      if (FList->item(row)->isHidden()) continue;
      FList->setCurrentRow(row);
      break;
    }
    return true;
  }

 private:
  QListWidget* FList;
};

}  // namespace

TqvnChatPicker::TqvnChatPicker(const QString& aCaption, const std::vector<TqvnChatChoice>& aChats,
                               QWidget* aParent)
    : QDialog(aParent) {
  setWindowTitle(aCaption);
  setObjectName(QStringLiteral("ChatPicker"));
  FSearch = new QLineEdit(this);
  FSearch->setObjectName(QStringLiteral("txtChatSearch"));
  FSearch->setPlaceholderText(QStringLiteral("Search chats by name"));
  FSearch->setClearButtonEnabled(true);
  FList = new QListWidget(this);
  FList->setObjectName(QStringLiteral("listChatChoices"));
  FList->setSelectionMode(QAbstractItemView::SingleSelection);
  for (const TqvnChatChoice& chat : aChats) {
    auto* row = new QListWidgetItem(
        chat.Title.empty() ? QStringLiteral("Chat %1").arg(chat.Id) : QString::fromStdString(chat.Title),
        FList);
    row->setData(kChatIdRole, static_cast<qint64>(chat.Id));
  }
  FButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(FSearch);
  layout->addWidget(FList, 1);
  layout->addWidget(FButtons);
  resize(320, 380);

  FSearch->installEventFilter(new TSearchKeys(FList, this));
  connect(FSearch, &QLineEdit::textChanged, this, &TqvnChatPicker::Filter);
  connect(FSearch, &QLineEdit::returnPressed, this, [this] {
    if (Chosen()) accept();
  });
  connect(FList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  connect(FList, &QListWidget::currentRowChanged, this, &TqvnChatPicker::SelectionChanged);
  connect(FButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(FButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  Filter(QString());
}

void TqvnChatPicker::Filter(const QString& aText) {
  int first = -1;
  for (int i = 0; i < FList->count(); ++i) {
    QListWidgetItem* row = FList->item(i);
    const bool shown = row->text().contains(aText.trimmed(), Qt::CaseInsensitive);
    row->setHidden(!shown);
    if (shown && first < 0) first = i;
  }
  FList->setCurrentRow(first);
  SelectionChanged();
}

void TqvnChatPicker::SelectionChanged() {
  FButtons->button(QDialogButtonBox::Ok)->setEnabled(Chosen().has_value());
}

std::optional<int64_t> TqvnChatPicker::Chosen() const {
  const QListWidgetItem* row = FList->currentItem();
  if (row == nullptr || row->isHidden()) return std::nullopt;
  return row->data(kChatIdRole).toLongLong();
}

}  // namespace qvn
