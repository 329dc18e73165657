// Chat, member, user, file and proxy requests.
//
// Each Build* function returns one complete TDLib request text; the client's methods of the same
// names (without "Build") hand that text to the single send path. Template-built texts follow
// their fixed templates (qvnTelegram_RequestText.h), spacing included; 64-bit ids are printed over
// their full range, lists of ids as "[1,2]" ("[]" when empty), booleans as bare true/false. Every
// value placed between quotes (chat ids, titles, descriptions, invite links, member queries) is
// JSON-escaped once (EscapeJSONString). A "%" inside any value is copied like any other character.
//
// Opening and closing a chat and downloading a file take TDLib's numeric ids and are written
// compact, ids as numbers: {"@type":"openChat","chat_id":-4000000001}.
//
// The proxy additions, edits and pings are written compact, without blanks (as TDLib's own JSON
// is). A new proxy is always enabled. ReadProxies reads getProxies' answer in either layout.
//
// Requests whose layout changed between TDLib releases take aTDLibVersion (the client's
// TDLibVersion) and choose the layout with one numeric comparison (qvnTelegram_Version.h):
//   - DeleteSupergroup: from 1.8.0 deleteSupergroup is gone; deleteChat takes the supergroup's
//     chat id, -1000000000000 minus the supergroup id (an id whose chat id leaves the 64-bit
//     range is refused with EqvnTelegramRequestError);
//   - GetChatMember: from 1.8.0 the member is "member_id", a messageSenderUser, not "user_id";
//   - proxy additions: from 1.8.61 addProxy takes "proxy" {server, port, type} and "enable";
//     before, server, port, type and "enable" are its own members. (Later releases also take
//     an optional "comment", which is left out: 1.8.61 and 1.8.62 do not read it.) editProxy
//     changed the same way; pingProxy takes the "proxy" itself from 1.8.61, its "proxy_id"
//     before. getProxies answers "addedProxies" of addedProxy {id, is_enabled, last_used_date,
//     proxy} from 1.8.61, "proxies" of proxy {id, server, port, type, ...} before.
//   - GetChats: from 1.8.0 getChats takes only "chat_list" and "limit" (TDLib loads chats in
//     order and has no offsets any more); LoadChats sends loadChats from then on.
//
// Pure functions without state: callable from any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_CHATREQUESTS_H
#define QVN_CLIENT_QVNTELEGRAM_CHATREQUESTS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/qvnTelegram_Reading.h"
#include "client/qvnTelegram_Types.h"

namespace qvn {

// A proxy server as TDLib describes it: where it is and how to talk to it.
enum class TqvnProxyKind { socks5, http, mtproto };
struct TqvnProxy {
  TqvnProxyKind Kind = TqvnProxyKind::socks5;
  std::string Server;
  int32_t Port = 0;
  std::string UserName;   // SOCKS5, HTTP
  std::string Password;   // SOCKS5, HTTP
  bool HTTPOnly = false;  // HTTP: only HTTP requests go through it, no TCP tunnel
  std::string Secret;     // MTProto
  bool operator==(const TqvnProxy&) const = default;
};
// A proxy TDLib keeps, as getProxies lists it.
struct TqvnAddedProxy {
  int32_t Id = 0;
  TqvnProxy Proxy;
  bool Enabled = false;
  int32_t LastUsedDate = 0;  // Unix time; 0 when never used
  bool operator==(const TqvnAddedProxy&) const = default;
};

// The first TDLib releases with the current layouts.
inline constexpr std::string_view kTDLibDeleteChat = "1.8.0";
inline constexpr std::string_view kTDLibChatMemberSender = "1.8.0";
inline constexpr std::string_view kTDLibProxyObject = "1.8.61";
inline constexpr std::string_view kTDLibChatListLoading = "1.8.0";

std::string BuildAddChatMember(std::string_view aChatId, int64_t aUserId, int32_t aForwardLimit);
std::string BuildAddChatMembers(std::string_view aChatId, const std::vector<int64_t>& aUserIds);

std::string BuildAddProxyHTTP(std::string_view aServer, int32_t aPort, std::string_view aUserName,
                              std::string_view aPassword, bool aHTTPOnly,
                              std::string_view aTDLibVersion);
std::string BuildAddProxyMTProto(std::string_view aServer, int32_t aPort, std::string_view aSecret,
                                 std::string_view aTDLibVersion);
std::string BuildAddProxySocks5(std::string_view aServer, int32_t aPort, std::string_view aUserName,
                                std::string_view aPassword, std::string_view aTDLibVersion);
// Any kind of proxy, as the three above write it.
std::string BuildAddProxy(const TqvnProxy& aProxy, std::string_view aTDLibVersion);
// Replaces proxy aId by aProxy, enabling it when aEnable.
std::string BuildEditProxy(int32_t aId, const TqvnProxy& aProxy, bool aEnable,
                           std::string_view aTDLibVersion);
// Measures the round trip to Telegram through a proxy: aProxy from 1.8.61, its id aId before.
// The answer is "seconds".
std::string BuildPingProxy(int32_t aId, const TqvnProxy& aProxy, std::string_view aTDLibVersion);

std::string BuildCreateNewBasicGroupChat(const std::vector<int64_t>& aUserIds,
                                         std::string_view aTitle);
std::string BuildCreateNewSupergroupChat(std::string_view aTitle, bool aIsChannel,
                                         std::string_view aDescription);
std::string BuildCreateNewSecretChat(int64_t aUserId);
std::string BuildCreatePrivateChat(int64_t aUserId, bool aForce);
std::string BuildDeleteSupergroup(int64_t aGroupId, std::string_view aTDLibVersion);

std::string BuildDisableProxy();
std::string BuildEnableProxy(int32_t aId);
std::string BuildGetProxies();
std::string BuildRemoveProxy(int32_t aId);
// The proxies of getProxies' answer (either layout), in TDLib's order; an unknown proxy type
// reads as SOCKS5 without credentials.
std::vector<TqvnAddedProxy> ReadProxies(const TqvnTDLibObject& aAnswer);
// One proxy of that list, or addProxy's and editProxy's answer (addedProxy, or proxy before
// 1.8.61).
TqvnAddedProxy ReadAddedProxy(const TqvnTDLibObject& aProxy);

std::string BuildGetBasicGroupFullInfo(int64_t aGroupId);
std::string BuildGetChat(std::string_view aChatId);
// aId is the client's request tag, written as "@extra". From 1.8.0 the main chat list and the
// limit only.
std::string BuildGetChats(int64_t aOffsetOrder, int64_t aOffsetChatId, int32_t aLimit, int32_t aId,
                          std::string_view aTDLibVersion);
// From 1.8.0 loadChats of the main chat list; before, getChats from the top of the list.
std::string BuildLoadChats(int32_t aLimit, int32_t aId, std::string_view aTDLibVersion);
std::string BuildGetChatMember(std::string_view aChatId, int64_t aUserId,
                               std::string_view aTDLibVersion);

// The "filter" value: "null" for tsgmFilterNone, else {"@type": "<filter type>"} or, for the
// filters that take a query and a non-empty aQuery, {"@type": "...", "query": "<escaped>"}.
std::string SupergroupMembersFilterText(TqvnTelegramSuperGroupMembersFilter aFilter,
                                        std::string_view aQuery);
std::string BuildGetSupergroupMembers(int64_t aSuperGroupId,
                                      TqvnTelegramSuperGroupMembersFilter aFilter,
                                      std::string_view aQuery, int32_t aOffset, int32_t aLimit);

std::string BuildGetUser(int64_t aUserId);

// openChat and closeChat: the user sees the chat (TDLib then keeps its messages up to date and
// counts their views), or stopped seeing it.
std::string BuildOpenChat(int64_t aChatId);
std::string BuildCloseChat(int64_t aChatId);
// downloadFile of the whole file at aPriority (1..32), answered at once with the file; its
// progress follows in updateFile.
std::string BuildDownloadFile(int32_t aFileId, int32_t aPriority);
std::string BuildJoinChatByInviteLink(std::string_view aLink);
// The public chat of a username (without "@").
std::string BuildSearchPublicChat(std::string_view aUsername);
std::string BuildLogOut();

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_CHATREQUESTS_H
