// The dispatcher: what the client does with each event text TDLib hands out, and the firers of
// the events that carry a typed record.
#include <stdexcept>
#include <string_view>

#include "client/qvnLib_Telegram_Client.h"
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

// The event text DoReadEvent is dispatching on this thread and the document it read that text
// into. A record firer handed that very text fills its record from the document instead of
// reading the text again. Dispatches nest (a handler may run further ticks), so each one keeps
// the outer one's entry and puts it back when it ends.
struct TDispatchedEvent {
  const std::string* Text;
  const TqvnJSON* Document;
};
thread_local const TDispatchedEvent* gTDispatched = nullptr;

class TDispatchedEventScope {
 public:
  explicit TDispatchedEventScope(const TDispatchedEvent* aEvent) : FOuter(gTDispatched) {
    gTDispatched = aEvent;
  }
  ~TDispatchedEventScope() { gTDispatched = FOuter; }
  TDispatchedEventScope(const TDispatchedEventScope&) = delete;
  TDispatchedEventScope& operator=(const TDispatchedEventScope&) = delete;

 private:
  const TDispatchedEvent* FOuter;
};

// Fires aHandler with a record of type TRecord read from aText. Nothing is built when there is
// no handler. The record lives on this frame, so it is freed however the call ends.
template <class TRecord, class THandler>
void FireRecordEvent(TqvnTDLib_Telegram_Client* aSender, const THandler& aHandler,
                     const std::string& aText) {
  if (!aHandler) return;
  // A copy, so a handler that replaces or clears its own event stays alive while it runs.
  const THandler handler = aHandler;
  TRecord record;
  if (gTDispatched != nullptr && gTDispatched->Text == &aText) {
    record.ReadDocument(*gTDispatched->Document);
  } else {
    record.ReadJSON(aText);
  }
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
  if (aText.empty()) return;
  // An answer to a request that waits for it goes to its handler. Only answers carry "@extra",
  // so other texts are looked at only while some request waits.
  if (FPendingRequests.ExpectsAnswers() && ReadAnswer(aText)) return;
  if (DoBeforeReadEvent(aText)) return;
  DispatchEvent(aText);
}

void TqvnTDLib_Telegram_Client::DispatchEvent(const std::string& aText) {
  TqvnJSON event;
  event.Read(aText);
  const TDispatchedEvent dispatched{&aText, &event};
  const TDispatchedEventScope scope(&dispatched);
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
    DoEvent(type, aText);
  } else if (type == "updateConnectionState") {
    if (const IqvnObjectJSON state = event.GetNode("state")) {
      DoConnectionStatus(TypeOf(*state));
    } else {
      DoEvent(type, aText);
    }
  } else if (type == "updateNewMessage") {
    const IqvnObjectJSON message = event.GetNode("message");
    const IqvnObjectJSON content = message ? message->GetNode("content") : nullptr;
    if (!content) return;
    const std::string contentType = TypeOf(*content);
    if (contentType == "messageText") {
      DoMessageText(aText);
    } else if (contentType == "messageDocument") {
      DoMessageDocument(aText);
    } else if (contentType == "messagePhoto") {
      DoMessagePhoto(aText);
    } else if (contentType == "messageVideo") {
      DoMessageVideo(aText);
    } else {
      DoEvent(type, aText);
    }
  } else if (type == "sponsoredMessage") {
    DoMessageSponsored(aText);
  } else if (type == "sponsoredMessages") {
    FireSponsoredMessages(this, OnMessageSponsored, event.GetNode("messages"));
  } else if (type == "updateNewChat") {
    DoNewChat(aText);
  } else if (type == "updateNewCallbackQuery") {
    DoNewCallbackQuery(aText);
  } else {
    // A refused database key would otherwise show only as an error among the other events.
    if (const auto refusal = LoginRefusal(event)) DoException(*refusal);
    DoEvent(type, aText);
  }
}

void TqvnTDLib_Telegram_Client::DoMessageText(const std::string& aText) {
  FireRecordEvent<TqvnTelegramMessageText>(this, OnMessageText, aText);
}

void TqvnTDLib_Telegram_Client::DoMessageSponsored(const std::string& aText) {
  FireRecordEvent<TqvnTelegramMessageSponsored>(this, OnMessageSponsored, aText);
}

void TqvnTDLib_Telegram_Client::DoMessageDocument(const std::string& aText) {
  FireRecordEvent<TqvnTelegramMessageDocument>(this, OnMessageDocument, aText);
}

void TqvnTDLib_Telegram_Client::DoMessagePhoto(const std::string& aText) {
  FireRecordEvent<TqvnTelegramMessagePhoto>(this, OnMessagePhoto, aText);
}

void TqvnTDLib_Telegram_Client::DoMessageVideo(const std::string& aText) {
  FireRecordEvent<TqvnTelegramMessageVideo>(this, OnMessageVideo, aText);
}

void TqvnTDLib_Telegram_Client::DoNewChat(const std::string& aText) {
  FireRecordEvent<TqvnTelegramChat>(this, OnNewChat, aText);
}

void TqvnTDLib_Telegram_Client::DoNewCallbackQuery(const std::string& aText) {
  FireRecordEvent<TqvnTelegramCallbackQuery>(this, OnNewCallbackQuery, aText);
}

}  // namespace qvn
