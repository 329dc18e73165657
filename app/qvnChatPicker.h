// TqvnChatPicker: the modal dialog in which the user chooses a chat, by the real dialogs'
// PickChat (qvnQtDialogs.h): the chats in the order given, under a search box that narrows them
// to the titles containing what is typed (case does not matter). Enter or a double click takes
// the chat selected; OK is enabled only while one is; Escape cancels. Typing in the search box
// keeps the first chat shown selected, so "type part of a name, press Enter" picks it.
//
// GUI thread only; the caller owns the dialog.
#ifndef QVN_APP_QVNCHATPICKER_H
#define QVN_APP_QVNCHATPICKER_H

#include <QDialog>
#include <optional>
#include <vector>

#include "app/qvnDialogs.h"

class QDialogButtonBox;
class QLineEdit;
class QListWidget;

namespace qvn {

class TqvnChatPicker : public QDialog {
  Q_OBJECT

 public:
  TqvnChatPicker(const QString& aCaption, const std::vector<TqvnChatChoice>& aChats,
                 QWidget* aParent = nullptr);

  // The chat selected, or nothing.
  std::optional<int64_t> Chosen() const;

 private:
  void Filter(const QString& aText);
  void SelectionChanged();

  QLineEdit* FSearch = nullptr;
  QListWidget* FList = nullptr;
  QDialogButtonBox* FButtons = nullptr;
};

}  // namespace qvn

#endif  // QVN_APP_QVNCHATPICKER_H
