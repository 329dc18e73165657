// Reading the typed records from TDLib event texts.
#include "client/qvnTelegram_Records.h"

#include <initializer_list>

#include "client/qvnTelegram_NodeText.h"
#include "json/qvnBase_Helpers.h"

namespace qvn {
namespace {

// The node reached from aNode through the members aPath, outside in; an empty handle when
// aNode is empty or any member on the way is absent.
IqvnObjectJSON Path(IqvnObjectJSON aNode, std::initializer_list<std::string_view> aPath) {
  for (std::string_view name : aPath) {
    if (!aNode) break;
    aNode = aNode->GetNode(name);
  }
  return aNode;
}

IqvnObjectJSON Path(const TqvnJSON& aDocument, std::string_view aFirst,
                    std::initializer_list<std::string_view> aRest = {}) {
  return Path(aDocument.GetNode(aFirst), aRest);
}

// The node's value as text, exactly as stored (escape sequences of a string included).
std::string TextOf(const IqvnObjectJSON& aNode) {
  return NodeText(*aNode);
}

// The node's string value with its JSON escapes decoded.
std::string PlainText(const IqvnObjectJSON& aNode) {
  const std::string_view stored = NodeTextView(*aNode);
  return UnescapeJSONString(stored.empty() ? TextOf(aNode) : stored);
}

int64_t Int64(const IqvnObjectJSON& aNode) {
  return aNode->Value().AsInt64();
}

int32_t Int32(const IqvnObjectJSON& aNode) {
  return aNode->Value().AsInteger();
}

bool Boolean(const IqvnObjectJSON& aNode) {
  return aNode->Value().AsBoolean();
}

// Reads aText into a document and fills aRecord from it (the records' ReadJSON).
template <class TRecord>
void ReadText(TRecord& aRecord, std::string_view aText) {
  TqvnJSON document;
  document.Read(aText);
  aRecord.ReadDocument(document);
}

// The photoSize of aSizes with the most pixels (width times height, 0 where absent), the later
// one of equal sizes; empty when there is none.
IqvnObjectJSON LargestPhotoSize(const IqvnObjectJSON& aSizes) {
  IqvnObjectJSON largest;
  double largestPixels = -1;  // a double: no overflow, whatever the sizes say
  for (int i = 0; aSizes && i < aSizes->Count(); ++i) {
    const IqvnObjectJSON size = aSizes->GetItem(i);
    const IqvnObjectJSON width = Path(size, {"width"});
    const IqvnObjectJSON height = Path(size, {"height"});
    const double pixels =
        width && height ? static_cast<double>(Int64(width)) * static_cast<double>(Int64(height))
                        : 0;
    if (pixels >= largestPixels) {
      largest = size;
      largestPixels = pixels;
    }
  }
  return largest;
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
  const IqvnObjectJSON type = Path(aNode, {"@type"});
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

  if (auto node = Path(message, {"chat_id"})) SetChatId(TextOf(node));
  if (auto node = Path(message, {"id"})) SetMessageId(Int64(node));
  if (auto node = Path(message, {"sender_user_id"})) SetSenderUserId(Int64(node));

  // The newer sender layout: an object typed messageSenderChat or messageSenderUser. TDLib
  // called it "sender" until 1.8.0 and "sender_id" since.
  IqvnObjectJSON sender = Path(message, {"sender"});
  if (!sender) sender = Path(message, {"sender_id"});
  if (auto type = Path(sender, {"@type"})) {
    const std::string senderType = TextOf(type);
    if (senderType == "messageSenderChat") {
      if (auto node = Path(sender, {"chat_id"})) SenderChat().SetChatId(TextOf(node));
    } else if (senderType == "messageSenderUser") {
      if (auto node = Path(sender, {"user_id"})) SenderUser().SetUserId(TextOf(node));
    }
  }

  if (const IqvnObjectJSON content = Path(message, {"content"})) {
    ReadContent(*content);
    if (auto node = Path(content, {"caption", "text"})) SetCaptionText(PlainText(node));
  }
}

void TqvnTelegramMessageText::ReadContent(TqvnObjectJSON& aContent) {
  // A content without "@type" is read for what it holds; one of another type is not a text.
  const IqvnObjectJSON type = aContent.GetNode("@type");
  if (type && TextOf(type) != "messageText") return;
  if (auto node = Path(aContent.GetNode("text"), {"text"})) SetText(PlainText(node));
}

void TqvnTelegramMessageDocument::ReadContent(TqvnObjectJSON& aContent) {
  const IqvnObjectJSON document = aContent.GetNode("document");
  if (!document) return;
  if (auto node = Path(document, {"file_name"})) SetFileName(PlainText(node));
  if (auto node = Path(document, {"mime_type"})) SetMimeType(TextOf(node));
  if (auto node = Path(document, {"document", "id"})) SetDocumentId(TextOf(node));
  if (auto node = Path(document, {"document", "size"})) SetSize(Int64(node));
  if (auto node = Path(document, {"document", "local", "path"})) SetLocalPath(TextOf(node));
  if (auto node = Path(document, {"document", "remote", "id"})) SetRemoteDocumentId(TextOf(node));
}

void TqvnTelegramMessagePhoto::ReadContent(TqvnObjectJSON& aContent) {
  const IqvnObjectJSON photo = aContent.GetNode("photo");
  if (!photo) return;
  const IqvnObjectJSON sizes = Path(photo, {"sizes"});
  if (auto node = Path(photo, {"id"})) {
    SetPhotoId(TextOf(node));
  } else if (auto node = Path(LargestPhotoSize(sizes), {"photo", "remote", "unique_id"})) {
    SetPhotoId(TextOf(node));
  }

  // The file fields come from the first size TDLib lists, never from another one.
  const IqvnObjectJSON first = sizes ? sizes->GetItem(0) : nullptr;
  const IqvnObjectJSON file = Path(first, {"photo"});
  const IqvnObjectJSON size = Path(file, {"size"});
  if (!size) return;
  SetSize(Int64(size));
  if (auto node = Path(file, {"local", "path"})) SetLocalPath(TextOf(node));
  if (auto node = Path(file, {"remote", "id"})) SetRemotePhotoId(TextOf(node));
}

void TqvnTelegramMessageVideo::ReadContent(TqvnObjectJSON& aContent) {
  const IqvnObjectJSON video = aContent.GetNode("video");
  if (!video) return;
  if (auto node = Path(video, {"duration"})) SetDuration(Int64(node));
  if (auto node = Path(video, {"width"})) SetWidth(Int32(node));
  if (auto node = Path(video, {"height"})) SetHeight(Int32(node));
  if (auto node = Path(video, {"video", "id"})) SetVideoId(TextOf(node));
  if (auto node = Path(video, {"video", "size"})) SetSize(Int64(node));
  if (auto node = Path(video, {"video", "local", "path"})) SetLocalPath(TextOf(node));
  if (auto node = Path(video, {"video", "remote", "id"})) SetRemoteVideoId(TextOf(node));
}

void TqvnTelegramMessageSponsored::ReadJSON(std::string_view aText) { ReadText(*this, aText); }

void TqvnTelegramMessageSponsored::ReadDocument(const TqvnJSON& aDocument) {
  if (auto node = aDocument.GetNode("message_id")) SetMessageId(TextOf(node));
  if (auto node = aDocument.GetNode("sponsor_chat_id")) SetSponsorChatId(TextOf(node));
  if (auto node = Path(aDocument, "content", {"text", "text"})) SetText(PlainText(node));
}

void TqvnTelegramMessageSponsored::ReadMessage(const IqvnObjectJSON& aMessage) {
  if (auto node = Path(aMessage, {"message_id"})) SetMessageId(TextOf(node));
  if (auto node = Path(aMessage, {"sponsor_chat_id"})) SetSponsorChatId(TextOf(node));
  if (auto node = Path(aMessage, {"content", "text", "text"})) SetText(PlainText(node));
}

// ---- Chats ----

void TqvnTelegramChat::ReadJSON(std::string_view aText) { ReadText(*this, aText); }

void TqvnTelegramChat::ReadDocument(const TqvnJSON& aDocument) {
  const IqvnObjectJSON chat = aDocument.GetNode("chat");
  if (!chat) return;

  if (auto node = Path(chat, {"id"})) SetChatId(TextOf(node));
  if (const IqvnObjectJSON type = Path(chat, {"type"})) {
    if (auto node = Path(type, {"@type"})) SetChatType(TextOf(node));
    if (auto supergroup = Path(type, {"supergroup_id"})) {
      SetSuperGroupId(Int64(supergroup));
      if (auto node = Path(type, {"is_channel"})) SetIsChannel(Boolean(node));
    }
  }
  if (auto node = Path(chat, {"title"})) SetTitle(PlainText(node));
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
  if (auto node = aDocument.GetNode("sender_user_id")) SetSenderUserId(Int64(node));
  if (auto node = aDocument.GetNode("message_id")) SetMessageId(Int64(node));
  if (auto node = aDocument.GetNode("chat_id")) SetChatId(TextOf(node));
  if (auto node = aDocument.GetNode("chat_instance")) SetChatInstance(TextOf(node));

  // The inline keyboard escaped the button's data and TDLib carries it in Base64; undo both. A
  // button that asks for the password first carries its data the same way.
  const IqvnObjectJSON payload = aDocument.GetNode("payload");
  if (!HasType(payload, "callbackQueryPayloadData") &&
      !HasType(payload, "callbackQueryPayloadDataWithPassword")) {
    return;
  }
  if (auto node = Path(payload, {"data"})) {
    PayLoadData().SetData(CallbackData(DecodeBase64(TextOf(node))));
  }
}

}  // namespace qvn
