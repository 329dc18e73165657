// Chat, member, user, file and proxy request texts.
#include "client/qvnTelegram_ChatRequests.h"

#include <limits>

#include "client/qvnLib_Telegram_Client.h"
#include "client/qvnTelegram_RequestText.h"
#include "client/qvnTelegram_Version.h"

namespace qvn {
namespace {

// ---- Proxies ----

// The proxy's "type" object: HTTP and SOCKS5 take a user name and password (HTTP also
// http_only), MTProto a secret.
std::string ProxyTypeObject(const TqvnProxy& aProxy) {
  switch (aProxy.Kind) {
    case TqvnProxyKind::mtproto:
      return FillTemplate(R"({"@type":"proxyTypeMtproto","secret":"%s"})", {aProxy.Secret});
    case TqvnProxyKind::http:
      return FillTemplate(
          R"({"@type":"proxyTypeHttp","username":"%s","password":"%s","http_only":%b})",
          {aProxy.UserName, aProxy.Password, aProxy.HTTPOnly});
    case TqvnProxyKind::socks5:
      break;
  }
  return FillTemplate(R"({"@type":"proxyTypeSocks5","username":"%s","password":"%s"})",
                      {aProxy.UserName, aProxy.Password});
}

// "server":...,"port":...,"type":{...}: the proxy's own members, without braces.
std::string ProxyMembers(const TqvnProxy& aProxy) {
  return FillTemplate(R"("server":"%s","port":%d,"type":%j)",
                      {aProxy.Server, aProxy.Port, JSONPiece(ProxyTypeObject(aProxy))});
}

// The "proxy" object of the layout from 1.8.61.
std::string ProxyObject(const TqvnProxy& aProxy) {
  return FillTemplate(R"({"@type":"proxy",%j})", {JSONPiece(ProxyMembers(aProxy))});
}

TqvnProxy ReadProxy(const TqvnTDLibObject& aProxy) {
  TqvnProxy proxy;
  proxy.Server = aProxy.Text("server");
  proxy.Port = aProxy.Get<int32_t>("port");
  const TqvnTDLibObject type = aProxy.Object("type");
  const std::string typeName = type.Type();
  if (typeName == "proxyTypeMtproto") {
    proxy.Kind = TqvnProxyKind::mtproto;
    proxy.Secret = type.Text("secret");
    return proxy;
  }
  if (typeName == "proxyTypeHttp") {
    proxy.Kind = TqvnProxyKind::http;
    proxy.HTTPOnly = type.Get<bool>("http_only");
  }
  proxy.UserName = type.Text("username");
  proxy.Password = type.Text("password");
  return proxy;
}

// ---- Chat lists ----

// aMethod on the main chat list with aLimit, tagged aId.
std::string MainChatListRequest(std::string_view aMethod, int32_t aLimit, int32_t aId) {
  return FillTemplate(
      R"({"@type": "%s", "chat_list": {"@type": "chatListMain"}, "limit": %d, "@extra": %d})",
      {aMethod, aLimit, aId});
}

// ---- Supergroup members ----

struct TFilterInfo {
  std::string_view Type;
  bool TakesQuery;
};

TFilterInfo FilterInfo(TqvnTelegramSuperGroupMembersFilter aFilter) {
  switch (aFilter) {
    case tsgmFilterNone:
      break;
    case tsgmFilterAdministrators:
      return {"supergroupMembersFilterAdministrators", false};
    case tsgmFilterBanned:
      return {"supergroupMembersFilterBanned", true};
    case tsgmFilterBots:
      return {"supergroupMembersFilterBots", false};
    case tsgmFilterContacts:
      return {"supergroupMembersFilterContacts", true};
    case tsgmFilterMention:
      return {"supergroupMembersFilterMention", false};
    case tsgmFilterRecent:
      return {"supergroupMembersFilterRecent", false};
    case tsgmFilterRestricted:
      return {"supergroupMembersFilterRestricted", true};
    case tsgmFilterSearch:
      return {"supergroupMembersFilterSearch", true};
  }
  return {{}, false};
}

// The chat id of a supergroup: -1000000000000 minus its id. An id whose chat id leaves TDLib's
// 64-bit range is refused.
int64_t SupergroupChatId(int64_t aGroupId) {
  constexpr int64_t kBase = 1000000000000;
  int64_t chatId = 0;
  if (__builtin_sub_overflow(-kBase, aGroupId, &chatId)) {
    throw EqvnTelegramRequestError("Supergroup id " + std::to_string(aGroupId) +
                                   " gives a chat id outside TDLib's 64-bit range");
  }
  return chatId;
}

}  // namespace

std::string BuildAddChatMember(std::string_view aChatId, int64_t aUserId, int32_t aForwardLimit) {
  return FillTemplate(
      R"({"@type": "addChatMember", "chat_id": "%s", "user_id": %d, "forward_limit": %d})",
      {aChatId, aUserId, aForwardLimit});
}

std::string BuildAddChatMembers(std::string_view aChatId, const std::vector<int64_t>& aUserIds) {
  return FillTemplate(R"({"@type": "addChatMembers", "chat_id": "%s", "user_ids": %j})",
                      {aChatId, JSONPiece(IdListText(aUserIds))});
}

std::string BuildAddProxy(const TqvnProxy& aProxy, std::string_view aTDLibVersion) {
  if (TDLibVersionAtLeast(aTDLibVersion, kTDLibProxyObject)) {
    return FillTemplate(R"({"@type":"addProxy","proxy":%j,"enable":true})",
                        {JSONPiece(ProxyObject(aProxy))});
  }
  return FillTemplate(R"({"@type":"addProxy","enable":true,%j})",
                      {JSONPiece(ProxyMembers(aProxy))});
}

std::string BuildAddProxyHTTP(std::string_view aServer, int32_t aPort, std::string_view aUserName,
                              std::string_view aPassword, bool aHTTPOnly,
                              std::string_view aTDLibVersion) {
  return BuildAddProxy({TqvnProxyKind::http, std::string(aServer), aPort, std::string(aUserName),
                        std::string(aPassword), aHTTPOnly, {}},
                       aTDLibVersion);
}

std::string BuildAddProxyMTProto(std::string_view aServer, int32_t aPort, std::string_view aSecret,
                                 std::string_view aTDLibVersion) {
  return BuildAddProxy(
      {TqvnProxyKind::mtproto, std::string(aServer), aPort, {}, {}, false, std::string(aSecret)},
      aTDLibVersion);
}

std::string BuildAddProxySocks5(std::string_view aServer, int32_t aPort, std::string_view aUserName,
                                std::string_view aPassword, std::string_view aTDLibVersion) {
  return BuildAddProxy({TqvnProxyKind::socks5, std::string(aServer), aPort, std::string(aUserName),
                        std::string(aPassword), false, {}},
                       aTDLibVersion);
}

std::string BuildEditProxy(int32_t aId, const TqvnProxy& aProxy, bool aEnable,
                           std::string_view aTDLibVersion) {
  if (TDLibVersionAtLeast(aTDLibVersion, kTDLibProxyObject)) {
    return FillTemplate(R"({"@type":"editProxy","proxy_id":%d,"proxy":%j,"enable":%b})",
                        {aId, JSONPiece(ProxyObject(aProxy)), aEnable});
  }
  return FillTemplate(R"({"@type":"editProxy","proxy_id":%d,"enable":%b,%j})",
                      {aId, aEnable, JSONPiece(ProxyMembers(aProxy))});
}

std::string BuildPingProxy(int32_t aId, const TqvnProxy& aProxy, std::string_view aTDLibVersion) {
  if (TDLibVersionAtLeast(aTDLibVersion, kTDLibProxyObject)) {
    return FillTemplate(R"({"@type":"pingProxy","proxy":%j})", {JSONPiece(ProxyObject(aProxy))});
  }
  return FillTemplate(R"({"@type":"pingProxy","proxy_id":%d})", {aId});
}

std::string BuildCreateNewBasicGroupChat(const std::vector<int64_t>& aUserIds,
                                         std::string_view aTitle) {
  return FillTemplate(R"({"@type": "createNewBasicGroupChat", "user_ids": %j, "title": "%s"})",
                      {JSONPiece(IdListText(aUserIds)), aTitle});
}

std::string BuildCreateNewSupergroupChat(std::string_view aTitle, bool aIsChannel,
                                         std::string_view aDescription) {
  return FillTemplate(R"({"@type": "createNewSupergroupChat", "title": "%s", "is_channel": %b, )"
                      R"("description": "%s"})",
                      {aTitle, aIsChannel, aDescription});
}

std::string BuildCreateNewSecretChat(int64_t aUserId) {
  return FillTemplate(R"({"@type": "createNewSecretChat", "user_id": %d})", {aUserId});
}

std::string BuildCreatePrivateChat(int64_t aUserId, bool aForce) {
  return FillTemplate(R"({"@type": "createPrivateChat", "user_id": %d, "force": %b})",
                      {aUserId, aForce});
}

std::string BuildDeleteSupergroup(int64_t aGroupId, std::string_view aTDLibVersion) {
  if (TDLibVersionAtLeast(aTDLibVersion, kTDLibDeleteChat)) {
    return FillTemplate(R"({"@type": "deleteChat", "chat_id": %d})", {SupergroupChatId(aGroupId)});
  }
  return FillTemplate(R"({"@type": "deleteSupergroup", "supergroup_id": %d})", {aGroupId});
}

std::string BuildDisableProxy() {
  return R"({"@type": "disableProxy"})";
}

std::string BuildEnableProxy(int32_t aId) {
  return FillTemplate(R"({"@type": "enableProxy", "proxy_id": %d})", {aId});
}

std::string BuildGetProxies() {
  return R"({"@type": "getProxies"})";
}

std::string BuildRemoveProxy(int32_t aId) {
  return FillTemplate(R"({"@type": "removeProxy", "proxy_id": %d})", {aId});
}

TqvnAddedProxy ReadAddedProxy(const TqvnTDLibObject& aProxy) {
  TqvnAddedProxy added;
  added.Id = aProxy.Get<int32_t>("id");
  added.Enabled = aProxy.Get<bool>("is_enabled");
  added.LastUsedDate = aProxy.Get<int32_t>("last_used_date");
  added.Proxy = ReadProxy(aProxy.Has("proxy") ? aProxy.Object("proxy") : aProxy);
  return added;
}

std::vector<TqvnAddedProxy> ReadProxies(const TqvnTDLibObject& aAnswer) {
  std::vector<TqvnAddedProxy> proxies;
  for (const TqvnTDLibObject& proxy : aAnswer.Items("proxies")) {
    proxies.push_back(ReadAddedProxy(proxy));
  }
  return proxies;
}

std::string BuildGetBasicGroupFullInfo(int64_t aGroupId) {
  return FillTemplate(R"({"@type": "getBasicGroupFullInfo","basic_group_id": %d})", {aGroupId});
}

std::string BuildGetChat(std::string_view aChatId) {
  return FillTemplate(R"({"@type": "getChat","chat_id": "%s"})", {aChatId});
}

std::string BuildGetChats(int64_t aOffsetOrder, int64_t aOffsetChatId, int32_t aLimit, int32_t aId,
                          std::string_view aTDLibVersion) {
  if (TDLibVersionAtLeast(aTDLibVersion, kTDLibChatListLoading)) {
    return MainChatListRequest("getChats", aLimit, aId);
  }
  return FillTemplate(
      R"({"@type": "getChats", "offset_order": %d, "offset_chat_id": %d, "limit": %d, )"
      R"("@extra": %d})",
      {aOffsetOrder, aOffsetChatId, aLimit, aId});
}

std::string BuildLoadChats(int32_t aLimit, int32_t aId, std::string_view aTDLibVersion) {
  if (TDLibVersionAtLeast(aTDLibVersion, kTDLibChatListLoading)) {
    return MainChatListRequest("loadChats", aLimit, aId);
  }
  return BuildGetChats(std::numeric_limits<int64_t>::max(), 0, aLimit, aId, aTDLibVersion);
}

std::string BuildGetChatMember(std::string_view aChatId, int64_t aUserId,
                               std::string_view aTDLibVersion) {
  if (TDLibVersionAtLeast(aTDLibVersion, kTDLibChatMemberSender)) {
    return FillTemplate(R"({"@type": "getChatMember", "chat_id": "%s", "member_id": {"@type": )"
                        R"("messageSenderUser", "user_id": %d}})",
                        {aChatId, aUserId});
  }
  return FillTemplate(R"({"@type": "getChatMember", "chat_id": "%s", "user_id": %d})",
                      {aChatId, aUserId});
}

std::string SupergroupMembersFilterText(TqvnTelegramSuperGroupMembersFilter aFilter,
                                        std::string_view aQuery) {
  const TFilterInfo info = FilterInfo(aFilter);
  if (info.Type.empty()) return "null";
  if (info.TakesQuery && !aQuery.empty())
    return FillTemplate(R"({"@type": "%s", "query": "%s"})", {info.Type, aQuery});
  return FillTemplate(R"({"@type": "%s"})", {info.Type});
}

std::string BuildGetSupergroupMembers(int64_t aSuperGroupId,
                                      TqvnTelegramSuperGroupMembersFilter aFilter,
                                      std::string_view aQuery, int32_t aOffset, int32_t aLimit) {
  return FillTemplate(
      R"({"@type": "getSupergroupMembers", "supergroup_id": %d, "filter": %j, "offset": %d, )"
      R"("limit": %d})",
      {aSuperGroupId, JSONPiece(SupergroupMembersFilterText(aFilter, aQuery)), aOffset, aLimit});
}

std::string BuildGetUser(int64_t aUserId) {
  return FillTemplate(R"({"@type": "getUser", "user_id": %d})", {aUserId});
}

std::string BuildOpenChat(int64_t aChatId) {
  return FillTemplate(R"({"@type":"openChat","chat_id":%d})", {aChatId});
}

std::string BuildCloseChat(int64_t aChatId) {
  return FillTemplate(R"({"@type":"closeChat","chat_id":%d})", {aChatId});
}

std::string BuildDownloadFile(int32_t aFileId, int32_t aPriority) {
  return FillTemplate(
      R"({"@type":"downloadFile","file_id":%d,"priority":%d,"offset":0,"limit":0,)"
      R"("synchronous":false})",
      {aFileId, aPriority});
}

std::string BuildJoinChatByInviteLink(std::string_view aLink) {
  return FillTemplate(R"({"@type": "joinChatByInviteLink", "invite_link": "%s"})", {aLink});
}

std::string BuildSearchPublicChat(std::string_view aUsername) {
  return FillTemplate(R"({"@type": "searchPublicChat", "username": "%s"})", {aUsername});
}

std::string BuildLogOut() {
  return R"({"@type": "logOut"})";
}

// ---- The client's chat, member, user and proxy requests ----

void TqvnTDLib_Telegram_Client::AddChatMember(std::string_view aChatId, int64_t aUserId,
                                              int32_t aForwardLimit,
                                              const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildAddChatMember(aChatId, aUserId, aForwardLimit), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::AddChatMembers(std::string_view aChatId,
                                               const std::vector<int64_t>& aUserIds,
                                               const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildAddChatMembers(aChatId, aUserIds), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::AddProxyHTTP(std::string_view aServer, int32_t aPort,
                                             std::string_view aUserName, std::string_view aPassword,
                                             bool aHTTPOnly,
                                             const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildAddProxyHTTP(aServer, aPort, aUserName, aPassword, aHTTPOnly, TDLibVersion()),
              aOnAnswer);
}

void TqvnTDLib_Telegram_Client::AddProxyMTProto(std::string_view aServer, int32_t aPort,
                                                std::string_view aSecret,
                                                const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildAddProxyMTProto(aServer, aPort, aSecret, TDLibVersion()), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::AddProxySocks5(std::string_view aServer, int32_t aPort,
                                               std::string_view aUserName,
                                               std::string_view aPassword,
                                               const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildAddProxySocks5(aServer, aPort, aUserName, aPassword, TDLibVersion()), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::AddProxy(const TqvnProxy& aProxy,
                                         const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildAddProxy(aProxy, TDLibVersion()), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::EditProxy(int32_t aId, const TqvnProxy& aProxy, bool aEnable,
                                          const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildEditProxy(aId, aProxy, aEnable, TDLibVersion()), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::PingProxy(int32_t aId, const TqvnProxy& aProxy,
                                          const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildPingProxy(aId, aProxy, TDLibVersion()), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::CreateNewBasicGroupChat(const std::vector<int64_t>& aUserIds,
                                                        std::string_view aTitle,
                                                        const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildCreateNewBasicGroupChat(aUserIds, aTitle), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::CreateNewSupergroupChat(std::string_view aTitle, bool aIsChannel,
                                                        std::string_view aDescription,
                                                        const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildCreateNewSupergroupChat(aTitle, aIsChannel, aDescription), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::CreateNewSecretChat(int64_t aUserId,
                                                    const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildCreateNewSecretChat(aUserId), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::CreatePrivateChat(int64_t aUserId, bool aForce,
                                                  const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildCreatePrivateChat(aUserId, aForce), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::DeleteSupergroup(int64_t aGroupId,
                                                 const TqvnTelegramOnAnswer& aOnAnswer) {
  SendBuilt([&] { return BuildDeleteSupergroup(aGroupId, TDLibVersion()); }, aOnAnswer);
}

void TqvnTDLib_Telegram_Client::DisableProxy(const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildDisableProxy(), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::EnableProxy(int32_t aId, const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildEnableProxy(aId), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::GetBasicGroupFullInfo(int64_t aGroupId,
                                                      const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildGetBasicGroupFullInfo(aGroupId), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::GetChat(std::string_view aChatId,
                                        const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildGetChat(aChatId), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::GetChats(int64_t aOffsetOrder, int64_t aOffsetChatId,
                                         int32_t aLimit, const TqvnTelegramOnAnswer& aOnAnswer) {
  if (!Telegram().BotToken().empty()) {  // a bot has no chat list to load
    RefuseRequest(aOnAnswer, "A bot has no chat list: getChats was not sent");
    return;
  }
  SendRequest(BuildGetChats(aOffsetOrder, aOffsetChatId, aLimit, Id(), TDLibVersion()), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::LoadChats(int32_t aLimit, const TqvnTelegramOnAnswer& aOnAnswer) {
  if (!Telegram().BotToken().empty()) {  // a bot has no chat list to load
    RefuseRequest(aOnAnswer, "A bot has no chat list: loadChats was not sent");
    return;
  }
  SendRequest(BuildLoadChats(aLimit, Id(), TDLibVersion()), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::GetChatMember(std::string_view aChatId, int64_t aUserId,
                                              const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildGetChatMember(aChatId, aUserId, TDLibVersion()), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::GetProxies(const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildGetProxies(), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::GetSupergroupMembers(
    int64_t aSuperGroupId, TqvnTelegramSuperGroupMembersFilter aSupergroupMembersFilter,
    std::string_view aSuperGroupMembersQuery, int32_t aOffset, int32_t aLimit,
    const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildGetSupergroupMembers(aSuperGroupId, aSupergroupMembersFilter,
                                        aSuperGroupMembersQuery, aOffset, aLimit),
              aOnAnswer);
}

void TqvnTDLib_Telegram_Client::GetUser(int64_t aUserId, const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildGetUser(aUserId), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::OpenChat(int64_t aChatId, const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildOpenChat(aChatId), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::CloseChat(int64_t aChatId, const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildCloseChat(aChatId), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::DownloadFile(int32_t aFileId, int32_t aPriority,
                                             const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildDownloadFile(aFileId, aPriority), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::JoinChatByInviteLink(std::string_view aLink,
                                                     const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildJoinChatByInviteLink(aLink), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SearchPublicChat(std::string_view aUsername,
                                                 const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildSearchPublicChat(aUsername), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::LogOut(const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildLogOut(), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::RemoveProxy(int32_t aId, const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildRemoveProxy(aId), aOnAnswer);
}

}  // namespace qvn
