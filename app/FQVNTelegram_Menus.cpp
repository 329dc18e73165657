// The main menu's commands. Each asks for what it needs with input boxes, shown one after
// another; a box marked as a number is converted as soon as it closes, and text that is not an
// integer stops the command there (EConvertError reaches the error box; no later box, no
// request). Cancelled boxes give their defaults. The command ends when its request is handed to
// the client; TDLib's answer shows in the log. The proxy manager is a dialog of its own
// (qvnProxyManager.h) that shows TDLib's answers itself.
#include "app/FQVNTelegram.h"
#include "app/qvnIntegerText.h"
#include "app/qvnLineView.h"
#include "app/qvnProxyManager.h"

namespace qvn {

int32_t TFRMQVNTelegram::InputNumber(const std::string& aCaption, const std::string& aPrompt,
                                     const std::string& aDefault) {
  return StrToInt(FDialogs.InputBox(aCaption, aPrompt, aDefault));
}

int64_t TFRMQVNTelegram::InputId(const std::string& aCaption, const std::string& aPrompt,
                                 const std::string& aDefault) {
  return StrToInt64(FDialogs.InputBox(aCaption, aPrompt, aDefault));
}

void TFRMQVNTelegram::Logout1Click() {
  if (LoggedIn()) {
    // Logging out ends the session on this computer: TDLib deletes its local data.
    if (!FDialogs.ConfirmDestructive(
            "Log out of this account? Its chats and messages are removed from this computer; "
            "logging in again needs a new code.",
            "Log Out")) {
      return;
    }
    ClearChatList();
    memoMessages->Clear();
  }
  FTelegram->LogOut();
}

// Desktop notifications of new messages on or off; kept in the settings file on closing.
void TFRMQVNTelegram::Notifications1Click() {
  FNotifier.SetEnabled(Notifications1->isChecked());
}

void TFRMQVNTelegram::Exit1Click() {
  close();
}

void TFRMQVNTelegram::PrivateChatCreate1Click() {
  const int64_t userId = InputId("New Private Chat", "User Id", "0");
  FTelegram->CreatePrivateChat(userId, false);
}

void TFRMQVNTelegram::SecretChatCreate1Click() {
  const int64_t userId = InputId("New Secret Chat", "User Id", "0");
  FTelegram->CreateNewSecretChat(userId);
}

void TFRMQVNTelegram::SuperGroupsCreate1Click() {
  const std::string title =
      FDialogs.InputBox("Create Super Group", "Title Group", "Super Group Telegram");
  FTelegram->CreateNewSupergroupChat(title, false, "");
}

void TFRMQVNTelegram::SuperGroupDelete1Click() {
  const int64_t groupId = InputId("Delete Super Group", "Group Id", "0");
  FTelegram->DeleteSupergroup(groupId);
}

void TFRMQVNTelegram::GetMembers1Click() {
  const int64_t groupId = InputId("SuperGroup Id", "Set SuperGroup Id", "0");
  FTelegram->GetSupergroupMembers(groupId, tsgmFilterNone, "", 0, 200);
}

void TFRMQVNTelegram::BasicGroupsCreate1Click() {
  const std::string title = FDialogs.InputBox("Basic Group", "Title Group", "Basic Group Telegram");
  const int64_t firstUserId = InputId("User Id", "First User Id", "0");
  const int64_t secondUserId = InputId("User Id", "Second User Id", "0");
  FTelegram->CreateNewBasicGroupChat({firstUserId, secondUserId}, title);
}

void TFRMQVNTelegram::AddChatMember1Click() {
  const int64_t userId = InputId("AddChatMember", "User Id", "0");
  const std::string chatId = FDialogs.InputBox("AddChatMember", "Chat Id", FChatId);
  FTelegram->AddChatMember(chatId, userId, 100);
}

void TFRMQVNTelegram::JoinChatByInviteLink1Click() {
  const std::string link = FDialogs.InputBox("Join Chat By Invite Link", "Invite Link", "");
  FTelegram->JoinChatByInviteLink(link);
}

// The answer, a "chat", updates the chat's row (or adds it when the chat was not listed).
void TFRMQVNTelegram::GetChat1Click() {
  FTelegram->GetChat(GetChatId());
}

// TDLib announces each chat once, so the list is rebuilt from what the window knows rather than
// emptied; getChats then brings any chat not loaded yet.
void TFRMQVNTelegram::GetChats1Click() {
  RebuildChatRows();
  RequestChatList();
}

void TFRMQVNTelegram::GetProxies1Click() {
  FTelegram->GetProxies();
}

void TFRMQVNTelegram::ProxyManager1Click() {
  ShowProxyManager();
}

TqvnProxyManager& TFRMQVNTelegram::ShowProxyManager() {
  if (FProxyManager == nullptr) {
    FProxyManager = new TqvnProxyManager(
        *FTelegram, FDialogs, [this](auto aHandle) { return Answered(std::move(aHandle)); }, this);
  }
  FProxyManager->show();
  FProxyManager->raise();
  FProxyManager->activateWindow();
  FProxyManager->Refresh();
  return *FProxyManager;
}

void TFRMQVNTelegram::OpenProxyLink(const std::string& aLink) {
  ShowProxyManager().OpenLink(aLink);
}

void TFRMQVNTelegram::HTTP1Click() {
  const std::string userName = FDialogs.InputBox("Username", "Set Username", "");
  const std::string password = FDialogs.InputBox("Password", "Set Password", "", /*aMasked=*/true);
  const int32_t port = InputNumber("Port", "Set Server Port", "");
  const std::string server = FDialogs.InputBox("Server", "Set Server IP", "");
  FTelegram->AddProxyHTTP(server, port, userName, password, true);
}

void TFRMQVNTelegram::MTProto1Click() {
  const std::string secret = FDialogs.InputBox("Secret", "Set Secret", "");
  const int32_t port = InputNumber("Port", "Set Server Port", "");
  const std::string server = FDialogs.InputBox("Server", "Set Server IP", "");
  FTelegram->AddProxyMTProto(server, port, secret);
}

void TFRMQVNTelegram::Socks51Click() {
  const std::string userName = FDialogs.InputBox("Username", "Set Username", "");
  const std::string password = FDialogs.InputBox("Password", "Set Password", "", /*aMasked=*/true);
  const int32_t port = InputNumber("Port", "Set Server Port", "");
  const std::string server = FDialogs.InputBox("Server", "Set Server IP", "");
  FTelegram->AddProxySocks5(server, port, userName, password);
}

void TFRMQVNTelegram::Remove1Click() {
  FTelegram->RemoveProxy(InputNumber("Remove", "Set Id Proxy to Remove", ""));
}

void TFRMQVNTelegram::Enable1Click() {
  FTelegram->EnableProxy(InputNumber("Enable", "Set Id Proxy to Enable", ""));
}

void TFRMQVNTelegram::Disable1Click() {
  FTelegram->DisableProxy();
}

}  // namespace qvn
