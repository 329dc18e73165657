// The enumerations that the client's methods and the request builders share: kept apart so that
// the client's public header needs none of the builders.
#ifndef QVN_CLIENT_QVNTELEGRAM_TYPES_H
#define QVN_CLIENT_QVNTELEGRAM_TYPES_H

namespace qvn {

// Which members of a supergroup GetSupergroupMembers lists.
enum TqvnTelegramSuperGroupMembersFilter {
  tsgmFilterNone,
  tsgmFilterAdministrators,
  tsgmFilterBanned,
  tsgmFilterBots,
  tsgmFilterContacts,
  tsgmFilterMention,
  tsgmFilterRecent,
  tsgmFilterRestricted,
  tsgmFilterSearch
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_TYPES_H
