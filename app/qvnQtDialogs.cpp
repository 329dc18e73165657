#include "app/qvnQtDialogs.h"

#include "app/qvnChatPicker.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

namespace qvn {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

std::string TqvnQtDialogs::InputBox(const std::string& aCaption, const std::string& aPrompt,
                                    const std::string& aDefault, bool aMasked) {
  // Held through a QPointer: the dialog's parent may go away while its nested loop runs.
  QPointer<QInputDialog> box = new QInputDialog(QApplication::activeWindow());
  box->setAttribute(Qt::WA_DeleteOnClose, false);
  box->setInputMode(QInputDialog::TextInput);
  box->setWindowTitle(Q(aCaption));
  box->setLabelText(Q(aPrompt));
  box->setTextEchoMode(aMasked ? QLineEdit::Password : QLineEdit::Normal);
  if (QLineEdit* edit = box->findChild<QLineEdit*>()) edit->setMaxLength(kMaxInputLength);
  box->setTextValue(Q(aDefault).left(kMaxInputLength));
  if (QLineEdit* edit = box->findChild<QLineEdit*>()) edit->selectAll();
  const bool accepted = box->exec() == QDialog::Accepted;
  std::string result = aDefault;
  if (box) {
    if (accepted) result = box->textValue().toStdString();
    delete box;
  }
  return result;
}

std::optional<std::string> TqvnQtDialogs::OpenFileName() {
  QPointer<QFileDialog> dialog = new QFileDialog(QApplication::activeWindow());
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::AnyFile);
  std::optional<std::string> chosen;
  const bool accepted = dialog->exec() == QDialog::Accepted;
  if (dialog) {
    if (accepted && !dialog->selectedFiles().isEmpty()) {
      chosen = dialog->selectedFiles().first().toStdString();
    }
    delete dialog;
  }
  return chosen;
}

std::optional<int64_t> TqvnQtDialogs::PickChat(const std::string& aCaption,
                                               const std::vector<TqvnChatChoice>& aChats) {
  QPointer<TqvnChatPicker> picker = new TqvnChatPicker(Q(aCaption), aChats, QApplication::activeWindow());
  std::optional<int64_t> chosen;
  const bool accepted = picker->exec() == QDialog::Accepted;
  if (picker) {
    if (accepted) chosen = picker->Chosen();
    delete picker;
  }
  return chosen;
}

void TqvnQtDialogs::ShowError(const std::string& aMessage) {
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), Q(aMessage));
}

bool TqvnQtDialogs::ConfirmCloseWithoutSaving(const std::string& aReason) {
  QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                  Q(aReason + "\n\nThe settings could not be saved."), QMessageBox::NoButton,
                  QApplication::activeWindow());
  QPushButton* close = box.addButton("Close without saving", QMessageBox::DestructiveRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(QMessageBox::Cancel);
  box.exec();
  return box.clickedButton() == close;
}

bool TqvnQtDialogs::ConfirmDestructive(const std::string& aQuestion, const std::string& aAction) {
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(), Q(aQuestion),
                  QMessageBox::NoButton, QApplication::activeWindow());
  QPushButton* act = box.addButton(Q(aAction), QMessageBox::DestructiveRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(QMessageBox::Cancel);
  box.exec();
  return box.clickedButton() == act;
}

bool TqvnQtDialogs::ConfirmOpenLink(const std::string& aUrl) {
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                  QStringLiteral("Open this link?\n\n") + Q(aUrl), QMessageBox::NoButton,
                  QApplication::activeWindow());
  QPushButton* open = box.addButton(QStringLiteral("Open"), QMessageBox::AcceptRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(QMessageBox::Cancel);
  box.exec();
  return box.clickedButton() == open;
}

bool TqvnQtDialogs::OpenUrl(const std::string& aUrl) {
  return QDesktopServices::openUrl(QUrl(Q(aUrl)));
}

bool TqvnQtDialogs::OpenWithDesktop(const std::string& aPath) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(Q(aPath)));
}

}  // namespace qvn
