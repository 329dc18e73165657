// A stand-in for the window's dialogs: answers input boxes and file dialogs from a script and
// records what was asked, which errors were shown and which files were handed to the desktop.
#ifndef QVN_TESTS_APP_SCRIPTEDDIALOGS_H
#define QVN_TESTS_APP_SCRIPTEDDIALOGS_H

#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/qvnDialogs.h"

namespace qvn::test {

struct TPrompt {
  std::string Caption, Prompt, Default;
  bool Masked = false;
  bool operator==(const TPrompt&) const = default;
};

inline std::ostream& operator<<(std::ostream& aOs, const TPrompt& p) {
  return aOs << "{" << p.Caption << " / " << p.Prompt << " / " << p.Default
            << (p.Masked ? " / masked" : "") << "}";
}

// An answer to an input box: a text typed and OK, or Cancel (nothing).
using TAnswer = std::optional<std::string>;
inline const TAnswer kCancel = std::nullopt;

class TScriptedDialogs : public IqvnDialogs {
 public:
  std::deque<TAnswer> Answers;  // one per input box, in order; none left means Cancel
  std::deque<std::optional<std::string>> Files;  // one per file dialog; none left means Cancel
  std::vector<TPrompt> Prompts;
  std::vector<std::string> Errors;
  int FileDialogs = 0;
  std::vector<std::string> Opened;  // files handed to the desktop's default program
  bool OpenSucceeds = true;
  std::function<void()> WhileInputBoxOpen;  // runs while each input box is "open"

  std::string InputBox(const std::string& aCaption, const std::string& aPrompt,
                       const std::string& aDefault, bool aMasked) override {
    Prompts.push_back({aCaption, aPrompt, aDefault, aMasked});
    if (WhileInputBoxOpen) WhileInputBoxOpen();
    TAnswer answer = kCancel;
    if (!Answers.empty()) {
      answer = Answers.front();
      Answers.pop_front();
    }
    return answer ? answer->substr(0, 255) : aDefault;
  }

  // One answer per chat picker, in order: the chat chosen, or Cancel (nothing); none left means
  // Cancel. What each picker offered is kept.
  std::deque<std::optional<int64_t>> Picks;
  struct TPicker {
    std::string Caption;
    std::vector<TqvnChatChoice> Chats;
  };
  std::vector<TPicker> Pickers;
  std::optional<int64_t> PickChat(const std::string& aCaption,
                                  const std::vector<TqvnChatChoice>& aChats) override {
    Pickers.push_back({aCaption, aChats});
    if (Picks.empty()) return std::nullopt;
    const std::optional<int64_t> pick = Picks.front();
    Picks.pop_front();
    return pick;
  }

  std::optional<std::string> OpenFileName() override {
    ++FileDialogs;
    if (Files.empty()) return std::nullopt;
    auto file = Files.front();
    Files.pop_front();
    return file;
  }

  void ShowError(const std::string& aMessage) override { Errors.push_back(aMessage); }

  bool OpenWithDesktop(const std::string& aPath) override {
    Opened.push_back(aPath);
    return OpenSucceeds;
  }

  std::vector<std::string> CloseQuestions;  // reasons given when asked to close without saving
  bool CloseWithoutSaving = false;          // the answer to each of those questions
  bool ConfirmCloseWithoutSaving(const std::string& aReason) override {
    CloseQuestions.push_back(aReason);
    return CloseWithoutSaving;
  }

  std::vector<std::string> Confirmations;  // the questions asked before destructive actions
  bool ConfirmAll = true;                  // the answer to each of them
  bool ConfirmDestructive(const std::string& aQuestion, const std::string&) override {
    Confirmations.push_back(aQuestion);
    return ConfirmAll;
  }

  std::vector<std::string> LinkQuestions;  // the links the user was asked to open
  bool OpenLinks = true;                   // the answer to each of those questions
  bool ConfirmOpenLink(const std::string& aUrl) override {
    LinkQuestions.push_back(aUrl);
    return OpenLinks;
  }

  std::vector<std::string> OpenedUrls;  // addresses handed to the desktop
  bool OpenUrl(const std::string& aUrl) override {
    OpenedUrls.push_back(aUrl);
    return OpenSucceeds;
  }
};

}  // namespace qvn::test

#endif  // QVN_TESTS_APP_SCRIPTEDDIALOGS_H
