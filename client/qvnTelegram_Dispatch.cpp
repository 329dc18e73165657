// The dispatcher: what the client does with each event text TDLib hands out (read once, into
// one document that OnEventDocument, the record events and the dispatch itself share), and the
// firers of the events that carry a typed record.
#include <exception>
#include <stdexcept>
#include <string_view>

#include "client/qvnTelegram_ClientPrivate.h"
#include "client/qvnTelegram_Login.h"
#include "client/qvnTelegram_NodeText.h"
#include "json/qvnJSON.h"

namespace qvn {
namespace {

// The member aName of aNode, which TDLib always sends; its absence fails the event's dispatch.
IqvnObjectJSON RequiredMember(TqvnObjectJSON& aNode, std::string_view aName) {
  IqvnObjectJSON member = aNode.GetNode(aName);
  if (!member) {
    throw std::runtime_error("Event member \"" + aNode.Name() + "\" has no \"" +
                             std::string(aName) + "\"");
  }
  return member;
}

// The text of aNode's "@type", which TDLib always sends.
std::string TypeOf(TqvnObjectJSON& aNode) {
  return NodeText(*RequiredMember(aNode, "@type"));
}

// Fires aHandler with a record of type TRecord filled from aEvent, the document the dispatcher
// read. Nothing is built when there is no handler. The record lives on this frame, so it is
// freed however the call ends.
template <class TRecord, class THandler>
void FireRecordEvent(TqvnTDLib_Telegram_Client* aSender, const THandler& aHandler,
                     const TqvnJSON& aEvent) {
  if (!aHandler) return;
  // A copy, so a handler that replaces or clears its own event stays alive while it runs.
  const THandler handler = aHandler;
  TRecord record;
  record.ReadDocument(aEvent);
  handler(aSender, record);
}

// Newer TDLib answers getChatSponsoredMessages with a list: one OnMessageSponsored per element,
// each with a record of its own, in the list's order. Nothing is built without a handler.
void FireSponsoredMessages(TqvnTDLib_Telegram_Client* aSender,
                           const TqvnTelegramMessageSponsoredEvent& aHandler,
                           const IqvnObjectJSON& aMessages) {
  if (!aHandler || !aMessages) return;
  const TqvnTelegramMessageSponsoredEvent handler = aHandler;
  for (int i = 0; i < aMessages->Count(); ++i) {
    TqvnTelegramMessageSponsored record;
    record.ReadMessage(aMessages->GetItem(i));
    handler(aSender, record);
  }
}

}  // namespace

void TqvnTDLib_Telegram_Client::DoReadEvent(const std::string& aText) {
  FPrivate->ReadEvent(aText);
}

void TqvnTDLib_Telegram_Client::TPrivate::ReadEvent(const std::string& aText) {
  if (aText.empty()) return;
  // An answer to a request that waits for it goes to its handler. Only answers carry "@extra",
  // so other texts are looked at only while some request waits.
  if (FPendingRequests.ExpectsAnswers() && ReadAnswer(aText)) return;
  if (DoBeforeReadEvent(aText)) return;
  DispatchEvent(aText);
}

void TqvnTDLib_Telegram_Client::TPrivate::DispatchEvent(const std::string& aText) {
  TqvnJSON event;
  event.Read(aText);
  if (FClient.OnEventDocument) {
    const TqvnTelegramEventDocumentEvent handler = FClient.OnEventDocument;  // may clear itself
    handler(&FClient, event, aText);
  }
  const IqvnObjectJSON typeNode = event.GetNode("@type");
  if (!typeNode) return;
  const std::string type = NodeText(*typeNode);
  FireEvents(event, type, aText);
  if (!FUpdateWaits->Empty()) DeliverToUpdateWaits(event, type, aText);
}

void TqvnTDLib_Telegram_Client::TPrivate::DeliverToUpdateWaits(const TqvnJSON& aEvent,
                                                               const std::string& aType,
                                                               const std::string& aText) {
  const TqvnUpdateWaits::TDelivered delivered =
      FUpdateWaits->Deliver(&FClient, aType, TqvnTDLibObject(aEvent));
  for (const std::string& tag : delivered.Satisfied) {
    if (const auto wait = FPendingRequests.Take(tag)) {
      DeliverAnswer(wait->Handler, TqvnTelegramAnswer::Read(aText));
    }
  }
  if (delivered.Failure) std::rethrow_exception(delivered.Failure);
}

void TqvnTDLib_Telegram_Client::TPrivate::FireEvents(const TqvnJSON& aEvent,
                                                     const std::string& aType,
                                                     const std::string& aText) {
  if (aType == "updateAuthorizationState") {
    if (const IqvnObjectJSON state = aEvent.GetNode("authorization_state")) {
      DoAuthorizationState(TypeOf(*state), aText);
    }
  } else if (aType == "updateOption") {
    if (const IqvnObjectJSON name = aEvent.GetNode("name")) {
      const std::string option = NodeText(*name);
      if (option == "my_id" || option == "version") {
        // TDLib wraps the value in an optionValue object: {"@type": ..., "value": ...}.
        const IqvnObjectJSON wrapper = aEvent.GetNode("value");
        if (!wrapper) throw std::runtime_error("Option \"" + option + "\" has no \"value\"");
        const IqvnObjectJSON value =
            wrapper->JSONType() == qvnJSONObject ? wrapper->GetNode("value") : nullptr;
        if (value && option == "my_id") FMyId = value->Value().AsInt64();
        if (value && option == "version") SetTDLibVersion(value->Value().AsString());
      }
    }
    FClient.DoEvent(aType, aText);
  } else if (aType == "updateConnectionState") {
    if (const IqvnObjectJSON state = aEvent.GetNode("state")) {
      FClient.DoConnectionStatus(TypeOf(*state));
    } else {
      FClient.DoEvent(aType, aText);
    }
  } else if (aType == "updateNewMessage") {
    const IqvnObjectJSON message = aEvent.GetNode("message");
    const IqvnObjectJSON content = message ? message->GetNode("content") : nullptr;
    if (!content) return;
    const std::string contentType = TypeOf(*content);
    if (contentType == "messageText") {
      FClient.DoMessageText(aEvent);
    } else if (contentType == "messageDocument") {
      FClient.DoMessageDocument(aEvent);
    } else if (contentType == "messagePhoto") {
      FClient.DoMessagePhoto(aEvent);
    } else if (contentType == "messageVideo") {
      FClient.DoMessageVideo(aEvent);
    } else {
      FClient.DoEvent(aType, aText);
    }
  } else if (aType == "sponsoredMessage") {
    FClient.DoMessageSponsored(aEvent);
  } else if (aType == "sponsoredMessages") {
    FireSponsoredMessages(&FClient, FClient.OnMessageSponsored, aEvent.GetNode("messages"));
  } else if (aType == "updateNewChat") {
    FClient.DoNewChat(aEvent);
  } else if (aType == "updateNewCallbackQuery") {
    FClient.DoNewCallbackQuery(aEvent);
  } else {
    // A refused database key would otherwise show only as an error among the other events.
    if (const auto refusal = LoginRefusal(aEvent)) FClient.DoException(*refusal);
    FClient.DoEvent(aType, aText);
  }
}

void TqvnTDLib_Telegram_Client::DoMessageText(const TqvnJSON& aEvent) {
  FireRecordEvent<TqvnTelegramMessageText>(this, OnMessageText, aEvent);
}

void TqvnTDLib_Telegram_Client::DoMessageSponsored(const TqvnJSON& aEvent) {
  FireRecordEvent<TqvnTelegramMessageSponsored>(this, OnMessageSponsored, aEvent);
}

void TqvnTDLib_Telegram_Client::DoMessageDocument(const TqvnJSON& aEvent) {
  FireRecordEvent<TqvnTelegramMessageDocument>(this, OnMessageDocument, aEvent);
}

void TqvnTDLib_Telegram_Client::DoMessagePhoto(const TqvnJSON& aEvent) {
  FireRecordEvent<TqvnTelegramMessagePhoto>(this, OnMessagePhoto, aEvent);
}

void TqvnTDLib_Telegram_Client::DoMessageVideo(const TqvnJSON& aEvent) {
  FireRecordEvent<TqvnTelegramMessageVideo>(this, OnMessageVideo, aEvent);
}

void TqvnTDLib_Telegram_Client::DoNewChat(const TqvnJSON& aEvent) {
  FireRecordEvent<TqvnTelegramChat>(this, OnNewChat, aEvent);
}

void TqvnTDLib_Telegram_Client::DoNewCallbackQuery(const TqvnJSON& aEvent) {
  FireRecordEvent<TqvnTelegramCallbackQuery>(this, OnNewCallbackQuery, aEvent);
}

}  // namespace qvn
