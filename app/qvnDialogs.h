// The window's modal dialogs and its hand-over of files to the desktop, behind one interface so
// tests can answer them.
//
// The window asks for every text, file name and error display through an IqvnDialogs it is given
// (TqvnQtDialogs in the program, a scripted stand-in in tests). All calls happen on the GUI
// thread; a modal dialog runs a nested event loop, so queued engine ticks go on running while it
// is open. The window does not own the dialogs object; it must outlive the window.
#ifndef QVN_APP_QVNDIALOGS_H
#define QVN_APP_QVNDIALOGS_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qvn {

// A chat offered by PickChat: its TDLib id and the title shown for it.
struct TqvnChatChoice {
  int64_t Id = 0;
  std::string Title;
  bool operator==(const TqvnChatChoice&) const = default;
};

class IqvnDialogs {
 public:
  virtual ~IqvnDialogs() = default;

  // Modal input box titled aCaption with the label aPrompt and one edit holding aDefault (all
  // selected, at most 255 characters). OK returns the edit's text, possibly empty; Cancel, Escape
  // or closing the box return aDefault unchanged. aMasked hides the typed characters (codes and
  // passwords).
  virtual std::string InputBox(const std::string& aCaption, const std::string& aPrompt,
                               const std::string& aDefault, bool aMasked = false) = 0;

  // File-open dialog for one file; the file need not exist. The chosen full path, or nothing when
  // the user cancels.
  virtual std::optional<std::string> OpenFileName() = 0;

  // Modal chat picker titled aCaption: aChats in their order, narrowed by a search on their
  // titles. The chosen chat's id (always one of aChats), or nothing when the user cancels.
  virtual std::optional<int64_t> PickChat(const std::string& aCaption,
                                          const std::vector<TqvnChatChoice>& aChats) = 0;

  // The standard error box: shows aMessage and returns when the user has dismissed it.
  virtual void ShowError(const std::string& aMessage) = 0;

  // Opens the file aPath with the desktop's default program for its type, without waiting for
  // it. False when no program could be started.
  virtual bool OpenWithDesktop(const std::string& aPath) = 0;

  // Asks whether to close the window although its settings could not be saved (aReason says
  // why): true for "Close without saving", false to keep the window open.
  virtual bool ConfirmCloseWithoutSaving(const std::string& aReason) = 0;

  // Asks aQuestion before something that cannot be undone, whose button says aAction ("Delete"):
  // true when the user chose it, false for Cancel (the default).
  virtual bool ConfirmDestructive(const std::string& aQuestion, const std::string& aAction) = 0;

  // Asks whether to open the link aUrl (shown in full, so the user sees where it leads): true
  // for Open, false for Cancel (the default).
  virtual bool ConfirmOpenLink(const std::string& aUrl) = 0;

  // Opens aUrl (a web address, a mailto: link) with the desktop's program for it, without
  // waiting. False when none could be started.
  virtual bool OpenUrl(const std::string& aUrl) = 0;
};

// Runs aHandler; an exception that leaves it is shown with aDialogs.ShowError and goes no
// further, so no exception ever crosses the GUI event loop. Returns false when one was shown.
bool RunShowingErrors(IqvnDialogs& aDialogs, const std::function<void()>& aHandler);

}  // namespace qvn

#endif  // QVN_APP_QVNDIALOGS_H
