// The dispatcher: what the client does with each event text TDLib hands out (read once, into
// one document that OnEventDocument, the record events and the dispatch itself share), and the
// firers of the events that carry a typed record.
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

  if (type == "updateAuthorizationState") {
    if (const IqvnObjectJSON state = event.GetNode("authorization_state")) {
      DoAuthorizationState(TypeOf(*state), aText);
    }
  } else if (type == "updateOption") {
    if (const IqvnObjectJSON name = event.GetNode("name")) {
      const std::string option = NodeText(*name);
      if (option == "my_id" || option == "version") {
        // TDLib wraps the value in an optionValue object: {"@type": ..., "value": ...}.
        const IqvnObjectJSON wrapper = event.GetNode("value");
        if (!wrapper) throw std::runtime_error("Option \"" + option + "\" has no \"value\"");
        const IqvnObjectJSON value =
            wrapper->JSONType() == qvnJSONObject ? wrapper->GetNode("value") : nullptr;
        if (value && option == "my_id") FMyId = value->Value().AsInt64();
        if (value && option == "version") SetTDLibVersion(value->Value().AsString());
      }
    }
    FClient.DoEvent(type, aText);
  } else if (type == "updateConnectionState") {
    if (const IqvnObjectJSON state = event.GetNode("state")) {
      FClient.DoConnectionStatus(TypeOf(*state));
    } else {
      FClient.DoEvent(type, aText);
    }
  } else if (type == "updateNewMessage") {
    const IqvnObjectJSON message = event.GetNode("message");
    const IqvnObjectJSON content = message ? message->GetNode("content") : nullptr;
    if (!content) return;
    const std::string contentType = TypeOf(*content);
    if (contentType == "messageText") {
      FClient.DoMessageText(event);
    } else if (contentType == "messageDocument") {
      FClient.DoMessageDocument(event);
    } else if (contentType == "messagePhoto") {
      FClient.DoMessagePhoto(event);
    } else if (contentType == "messageVideo") {
      FClient.DoMessageVideo(event);
    } else {
      FClient.DoEvent(type, aText);
    }
  } else if (type == "sponsoredMessage") {
    FClient.DoMessageSponsored(event);
  } else if (type == "sponsoredMessages") {
    FireSponsoredMessages(&FClient, FClient.OnMessageSponsored, event.GetNode("messages"));
  } else if (type == "updateNewChat") {
    FClient.DoNewChat(event);
  } else if (type == "updateNewCallbackQuery") {
    FClient.DoNewCallbackQuery(event);
  } else {
    // A refused database key would otherwise show only as an error among the other events.
    if (const auto refusal = LoginRefusal(event)) FClient.DoException(*refusal);
    FClient.DoEvent(type, aText);
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
