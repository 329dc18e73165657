// TqvnProxyManager: the window's proxy manager (objectName "ProxyManager1"), a dialog that is
// not modal. Its table lists TDLib's proxies as getProxies answers (id, server, port, type,
// enabled ✓, last used, the last ping in ms or the ping's error); its buttons add, edit, remove
// (after asking), enable, disable and ping them, and read a proxy link from the clipboard. Add,
// Edit and a link open the form below the table (type, server, port; user name, password
// (masked, with a show toggle) and "HTTP only" for SOCKS5 and HTTP; the secret for MTProto),
// prefilled from the proxy or the link, for the user to confirm. A proxy is checked
// (ProxyProblem, qvnProxyLink.h) before it is sent; what is refused, by that check or by TDLib
// (its message and code), shows in the dialog's status line. After every change the table is
// asked for again, so it always shows TDLib's answer. Passwords and secrets never go to a log.
//
// GUI thread only. The window owns the dialog (its Qt parent) and the client; the dialog sends
// its requests through that client with the answer handlers aAnswered makes (the window's, so
// an error a handler takes is not reported again elsewhere) and asks through aDialogs before
// removing. Both must outlive the dialog.
#ifndef QVN_APP_QVNPROXYMANAGER_H
#define QVN_APP_QVNPROXYMANAGER_H

#include <QDialog>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/qvnDialogs.h"
#include "client/qvnLibs.h"
#include "client/qvnTelegram_ChatRequests.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace qvn {

class TqvnProxyManager : public QDialog {
  Q_OBJECT

 public:
  using TAnswerHandle = std::function<void(const TqvnTelegramAnswer& aAnswer)>;
  using TAnswered = std::function<TqvnTelegramOnAnswer(TAnswerHandle aHandle)>;

  TqvnProxyManager(TqvnTDLib_Telegram& aTelegram, IqvnDialogs& aDialogs, TAnswered aAnswered,
                   QWidget* aParent = nullptr);

  // Asks TDLib for the proxies; the table follows the answer.
  void Refresh();
  // Opens the form prefilled from aLink, or says in the status line why the link is refused.
  void OpenLink(const std::string& aLink);

 private:
  enum TColumn { colId, colServer, colPort, colType, colEnabled, colLastUsed, colPing, colCount };

  void BuildControls();
  void ShowProxies(const std::vector<TqvnAddedProxy>& aProxies);
  void UpdateButtons();
  // The proxy of the selected row, or null.
  const TqvnAddedProxy* Selected() const;
  void AddClick();
  void EditClick();
  void RemoveClick();
  void EnableClick();
  void DisablePressed();
  void PingClick();
  void PasteLinkClick();
  // The form, for a new proxy (aEditId 0) or for proxy aEditId.
  void OpenForm(const TqvnProxy& aProxy, int32_t aEditId);
  void CloseForm();
  void TypeChanged();
  void SaveClick();
  // A request that changes the proxies: on success the form closes (when aClosesForm) and the
  // table is asked for again; a refusal shows in the status line.
  TqvnTelegramOnAnswer Changed(const std::string& aWhat, bool aClosesForm);
  void ShowStatus(const std::string& aText, bool aError);
  static std::string FailureText(const TqvnTelegramAnswer& aAnswer);

  TqvnTDLib_Telegram& FTelegram;
  IqvnDialogs& FDialogs;
  TAnswered FAnswered;
  std::vector<TqvnAddedProxy> FProxies;  // as the table shows them
  std::map<int32_t, std::string> FPings;  // the last ping of each proxy, in words
  int32_t FEditId = 0;                    // the proxy the form edits; 0 for a new one

  QTableWidget* FTable = nullptr;
  QPushButton* FEdit = nullptr;
  QPushButton* FRemove = nullptr;
  QPushButton* FEnable = nullptr;
  QPushButton* FPing = nullptr;
  QGroupBox* FForm = nullptr;
  QComboBox* FType = nullptr;
  QLineEdit* FServer = nullptr;
  QLineEdit* FPort = nullptr;
  QLabel* FUserLabel = nullptr;
  QLineEdit* FUser = nullptr;
  QLabel* FPasswordLabel = nullptr;
  QLineEdit* FPassword = nullptr;
  QCheckBox* FShowPassword = nullptr;
  QCheckBox* FHTTPOnly = nullptr;
  QLabel* FSecretLabel = nullptr;
  QLineEdit* FSecret = nullptr;
  QPushButton* FSave = nullptr;
  QLabel* FStatus = nullptr;
};

}  // namespace qvn

#endif  // QVN_APP_QVNPROXYMANAGER_H
