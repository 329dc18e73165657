// Reading the typed records from TDLib event texts.
#include "client/qvnTelegram_Records.h"

#include "client/qvnTelegram_NodeText.h"
#include "client/qvnTelegram_Reading.h"
#include "json/qvnBase_Helpers.h"

namespace qvn {
namespace {

// The node's value as text, exactly as stored (escape sequences of a string included).
std::string TextOf(const IqvnObjectJSON& aNode) {
  return NodeText(*aNode);
}

// Reads aText into a document and fills aRecord from it (the records' ReadJSON).
template <class TRecord>
void ReadText(TRecord& aRecord, std::string_view aText) {
  TqvnJSON document;
  document.Read(aText);
  aRecord.ReadDocument(document);
}

// The callback data as its creator gave it (see TqvnTelegramCallbackQueryPayloadData): the
// inline keyboard's escapes undone when aBytes is escaped text, else aBytes unchanged.
std::string CallbackData(std::string aBytes) {
  for (const char c : aBytes) {
    if (c < 32 || c > 126) return aBytes;  // not escaped text (char may be signed: covers 128+)
  }
  try {
    return UnescapeJSONString(aBytes);
  } catch (const EqvnUnescapeError&) {
    return aBytes;
  }
}

// True when aNode has an "@type" member whose text is aType.
bool HasType(const IqvnObjectJSON& aNode, std::string_view aType) {
  const IqvnObjectJSON type = NodeAt(aNode, {"@type"});
  return type && TextOf(type) == aType;
}

}  // namespace

// ---- Messages ----

TqvnTelegramMessageBase::TqvnTelegramMessageBase() = default;
TqvnTelegramMessageBase::~TqvnTelegramMessageBase() = default;

TqvnTelegramMessageSenderChat& TqvnTelegramMessageBase::SenderChat() {
  if (!FSenderChat) FSenderChat = std::make_unique<TqvnTelegramMessageSenderChat>();
  return *FSenderChat;
}

TqvnTelegramMessageSenderUser& TqvnTelegramMessageBase::SenderUser() {
  if (!FSenderUser) FSenderUser = std::make_unique<TqvnTelegramMessageSenderUser>();
  return *FSenderUser;
}

void TqvnTelegramMessageBase::ReadJSON(std::string_view aText) { ReadText(*this, aText); }

void TqvnTelegramMessageBase::ReadDocument(const TqvnJSON& aDocument) {
  const IqvnObjectJSON message = aDocument.GetNode("message");
  if (!message) return;

  if (auto node = NodeAt(message, {"chat_id"})) SetChatId(TextOf(node));
  if (auto node = NodeAt(message, {"id"})) SetMessageId(Int64Of(node));
  if (auto node = NodeAt(message, {"sender_user_id"})) SetSenderUserId(Int64Of(node));

  // The newer sender layout: an object typed messageSenderChat or messageSenderUser. TDLib
  // called it "sender" until 1.8.0 and "sender_id" since.
  IqvnObjectJSON sender = NodeAt(message, {"sender"});
  if (!sender) sender = NodeAt(message, {"sender_id"});
  if (auto type = NodeAt(sender, {"@type"})) {
    const std::string senderType = TextOf(type);
    if (senderType == "messageSenderChat") {
      if (auto node = NodeAt(sender, {"chat_id"})) SenderChat().SetChatId(TextOf(node));
    } else if (senderType == "messageSenderUser") {
      if (auto node = NodeAt(sender, {"user_id"})) SenderUser().SetUserId(TextOf(node));
    }
  }

  if (const IqvnObjectJSON content = NodeAt(message, {"content"})) {
    ReadContent(*content);
    if (auto node = NodeAt(content, {"caption", "text"})) SetCaptionText(PlainText(node));
  }
}

void TqvnTelegramMessageText::ReadContent(TqvnObjectJSON& aContent) {
  // A content without "@type" is read for what it holds; one of another type is not a text.
  const IqvnObjectJSON type = aContent.GetNode("@type");
  if (type && TextOf(type) != "messageText") return;
  if (auto node = NodeAt(aContent.GetNode("text"), {"text"})) SetText(PlainText(node));
}

void TqvnTelegramMessageDocument::ReadContent(TqvnObjectJSON& aContent) {
  const IqvnObjectJSON document = aContent.GetNode("document");
  if (!document) return;
  if (auto node = NodeAt(document, {"file_name"})) SetFileName(PlainText(node));
  if (auto node = NodeAt(document, {"mime_type"})) SetMimeType(TextOf(node));
  if (auto node = NodeAt(document, {"document", "id"})) SetDocumentId(TextOf(node));
  if (auto node = NodeAt(document, {"document", "size"})) SetSize(Int64Of(node));
  if (auto node = NodeAt(document, {"document", "local", "path"})) SetLocalPath(TextOf(node));
  if (auto node = NodeAt(document, {"document", "remote", "id"})) SetRemoteDocumentId(TextOf(node));
}

void TqvnTelegramMessagePhoto::ReadContent(TqvnObjectJSON& aContent) {
  const IqvnObjectJSON photo = aContent.GetNode("photo");
  if (!photo) return;
  const IqvnObjectJSON sizes = NodeAt(photo, {"sizes"});
  if (auto node = NodeAt(photo, {"id"})) {
    SetPhotoId(TextOf(node));
  } else if (auto node = NodeAt(LargestPhotoSize(sizes), {"photo", "remote", "unique_id"})) {
    SetPhotoId(TextOf(node));
  }

  // The file fields come from the first size TDLib lists, never from another one.
  const IqvnObjectJSON first = sizes ? sizes->GetItem(0) : nullptr;
  const IqvnObjectJSON file = NodeAt(first, {"photo"});
  const IqvnObjectJSON size = NodeAt(file, {"size"});
  if (!size) return;
  SetSize(Int64Of(size));
  if (auto node = NodeAt(file, {"local", "path"})) SetLocalPath(TextOf(node));
  if (auto node = NodeAt(file, {"remote", "id"})) SetRemotePhotoId(TextOf(node));
}

void TqvnTelegramMessageVideo::ReadContent(TqvnObjectJSON& aContent) {
  const IqvnObjectJSON video = aContent.GetNode("video");
  if (!video) return;
  if (auto node = NodeAt(video, {"duration"})) SetDuration(Int64Of(node));
  if (auto node = NodeAt(video, {"width"})) SetWidth(Int32Of(node));
  if (auto node = NodeAt(video, {"height"})) SetHeight(Int32Of(node));
  if (auto node = NodeAt(video, {"video", "id"})) SetVideoId(TextOf(node));
  if (auto node = NodeAt(video, {"video", "size"})) SetSize(Int64Of(node));
  if (auto node = NodeAt(video, {"video", "local", "path"})) SetLocalPath(TextOf(node));
  if (auto node = NodeAt(video, {"video", "remote", "id"})) SetRemoteVideoId(TextOf(node));
}

void TqvnTelegramMessageSponsored::ReadJSON(std::string_view aText) { ReadText(*this, aText); }

void TqvnTelegramMessageSponsored::ReadDocument(const TqvnJSON& aDocument) {
  if (auto node = aDocument.GetNode("message_id")) SetMessageId(TextOf(node));
  if (auto node = aDocument.GetNode("sponsor_chat_id")) SetSponsorChatId(TextOf(node));
  if (auto node = NodeAt(aDocument, {"content", "text", "text"})) SetText(PlainText(node));
}

void TqvnTelegramMessageSponsored::ReadMessage(const IqvnObjectJSON& aMessage) {
  if (auto node = NodeAt(aMessage, {"message_id"})) SetMessageId(TextOf(node));
  if (auto node = NodeAt(aMessage, {"sponsor_chat_id"})) SetSponsorChatId(TextOf(node));
  if (auto node = NodeAt(aMessage, {"content", "text", "text"})) SetText(PlainText(node));
}

// ---- Chats ----

void TqvnTelegramChat::ReadJSON(std::string_view aText) { ReadText(*this, aText); }

void TqvnTelegramChat::ReadDocument(const TqvnJSON& aDocument) {
  const IqvnObjectJSON chat = aDocument.GetNode("chat");
  if (!chat) return;

  if (auto node = NodeAt(chat, {"id"})) SetChatId(TextOf(node));
  if (const IqvnObjectJSON type = NodeAt(chat, {"type"})) {
    if (auto node = NodeAt(type, {"@type"})) SetChatType(TextOf(node));
    if (auto supergroup = NodeAt(type, {"supergroup_id"})) {
      SetSuperGroupId(Int64Of(supergroup));
      if (auto node = NodeAt(type, {"is_channel"})) SetIsChannel(BooleanOf(node));
    }
  }
  if (auto node = NodeAt(chat, {"title"})) SetTitle(PlainText(node));
}

// ---- Callback queries ----

TqvnTelegramCallbackQuery::TqvnTelegramCallbackQuery() = default;
TqvnTelegramCallbackQuery::~TqvnTelegramCallbackQuery() = default;

TqvnTelegramCallbackQueryPayloadData& TqvnTelegramCallbackQuery::PayLoadData() {
  if (!FPayLoadData) FPayLoadData = std::make_unique<TqvnTelegramCallbackQueryPayloadData>();
  return *FPayLoadData;
}

void TqvnTelegramCallbackQuery::ReadJSON(std::string_view aText) { ReadText(*this, aText); }

void TqvnTelegramCallbackQuery::ReadDocument(const TqvnJSON& aDocument) {
  if (auto node = aDocument.GetNode("id")) SetId(TextOf(node));
  if (auto node = aDocument.GetNode("sender_user_id")) SetSenderUserId(Int64Of(node));
  if (auto node = aDocument.GetNode("message_id")) SetMessageId(Int64Of(node));
  if (auto node = aDocument.GetNode("chat_id")) SetChatId(TextOf(node));
  if (auto node = aDocument.GetNode("chat_instance")) SetChatInstance(TextOf(node));

  // The inline keyboard escaped the button's data and TDLib carries it in Base64; undo both. A
  // button that asks for the password first carries its data the same way.
  const IqvnObjectJSON payload = aDocument.GetNode("payload");
  if (!HasType(payload, "callbackQueryPayloadData") &&
      !HasType(payload, "callbackQueryPayloadDataWithPassword")) {
    return;
  }
  if (auto node = NodeAt(payload, {"data"})) {
    PayLoadData().SetData(CallbackData(DecodeBase64(TextOf(node))));
  }
}

}  // namespace qvn
