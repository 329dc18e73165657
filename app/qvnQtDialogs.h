// The real dialogs of IqvnDialogs, built from Qt's standard dialogs: QInputDialog for the input
// box, QFileDialog for the file-open dialog, QMessageBox for the error box and the window's chat
// picker (qvnChatPicker.h), each modal to the application's active window; files are opened
// through QDesktopServices. GUI thread only.
#ifndef QVN_APP_QVNQTDIALOGS_H
#define QVN_APP_QVNQTDIALOGS_H

#include "app/qvnDialogs.h"

namespace qvn {

class TqvnQtDialogs : public IqvnDialogs {
 public:
  // The input box's limit on typed characters.
  static constexpr int kMaxInputLength = 255;

  std::string InputBox(const std::string& aCaption, const std::string& aPrompt,
                       const std::string& aDefault, bool aMasked = false) override;
  std::optional<std::string> OpenFileName() override;
  // TqvnChatPicker (qvnChatPicker.h).
  std::optional<int64_t> PickChat(const std::string& aCaption,
                                  const std::vector<TqvnChatChoice>& aChats) override;
  void ShowError(const std::string& aMessage) override;
  bool OpenWithDesktop(const std::string& aPath) override;
  bool ConfirmCloseWithoutSaving(const std::string& aReason) override;
  bool ConfirmDestructive(const std::string& aQuestion, const std::string& aAction) override;
  bool ConfirmOpenLink(const std::string& aUrl) override;
  bool OpenUrl(const std::string& aUrl) override;
};

}  // namespace qvn

#endif  // QVN_APP_QVNQTDIALOGS_H
