// A logged-in account played by the scripted fake TDLib, for the window's tests and its
// screenshot.
//
// The account's users and chats are the TDLib 1.8.67 texts of tests/data/account-1.8.67.jsonl;
// the histories of its chats are the "messages" answers of tests/data/account-history-1.8.67.jsonl.
// While it exists it answers the window's requests as TDLib does, each answer carrying the
// request's "@extra":
//   - loadChats: "ok" the first time, then error 404 (every chat is loaded);
//   - getChatHistory: the messages older than from_message_id, newest first, at most PageSize
//     (TDLib too returns fewer than asked);
//   - sendMessage: the pending message as updateNewMessage and as the answer, then, by the next
//     of Outcomes (Sent when none is left): updateMessageSendSucceeded, updateMessageSendFailed,
//     an error in place of the answer (Refused), or nothing more (Hold). A document being sent
//     reports its upload half done first, and so does a photo (its path kept in SentPhotos);
//   - resendMessages: the failed message deleted, the new one pending, then sent;
//   - viewMessages: "ok", and the chat's unread count drops to 0;
//   - downloadFile: the file being downloaded, DownloadSteps updateFile texts of progress, and the
//     file completed in DownloadFolder (written there, its path \u-escaped as TDLib writes it);
//     with HoldDownloads the completion waits for FinishDownloads.
//   - getMessageProperties: the account's own messages may be edited and deleted for everyone,
//     the others deleted only for the account (DeleteOnlyForSelf: its own ones too);
//   - editMessageText: updateMessageContent, updateMessageEdited, then the message;
//   - deleteMessages: updateDeleteMessages, then "ok";
//   - forwardMessages: the forwarded message pending in the target chat, as the answer too;
//   - setChatDraftMessage: updateChatDraftMessage with the draft sent, then "ok";
//   - a request whose type is in Refusals: that error instead.
// Every other request gets no answer. Test thread only (the fake calls its responder on the
// sending thread, the window's).
#ifndef QVN_TESTS_APP_SCRIPTEDACCOUNT_H
#define QVN_TESTS_APP_SCRIPTEDACCOUNT_H

#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/qvnTelegramReader.h"
#include "fake_tdjson.h"
#include "json/qvnBase_Helpers.h"
#include "json/qvnJSON.h"
#include "tests/support/DataLines.h"

namespace qvn::test {

class TScriptedAccount {
 public:
  static constexpr int64_t kMe = 5123456789;
  static constexpr int64_t kAlice = 6100000001;
  static constexpr int64_t kFamily = -4000000001;

  struct TOutcome {
    enum TKind { sent, failed, refused, hold };
    TOutcome(TKind aKind = sent, int32_t aCode = 0, std::string aMessage = {},
             bool aCanRetry = true)
        : Kind(aKind), Code(aCode), Message(std::move(aMessage)), CanRetry(aCanRetry) {}
    TKind Kind;
    int32_t Code;
    std::string Message;
    bool CanRetry;
  };

  // aDateShift moves every date of the account's texts by that many seconds.
  explicit TScriptedAccount(std::string aDownloadFolder, int64_t aDateShift = 0)
      : DownloadFolder(std::move(aDownloadFolder)), FDateShift(aDateShift) {
    for (const std::string& line : Lines("account-history-1.8.67.jsonl", aDateShift)) {
      TqvnJSON document;
      document.Read(line);
      IqvnObjectJSON list = document.GetNode("messages");
      for (int i = 0; list && i < list->Count(); ++i) {
        IqvnObjectJSON item = list->Item(i);
        const TqvnMessage message = ReadMessage(item);
        FHistory[message.ChatId].push_back(item->JSONObject()->Text());
        if (message.FileId != 0) FFiles[message.FileId] = message;
      }
    }
    fake_td_set_responder(&TScriptedAccount::Respond, this);
  }
  ~TScriptedAccount() { fake_td_set_responder(nullptr, nullptr); }
  TScriptedAccount(const TScriptedAccount&) = delete;
  TScriptedAccount& operator=(const TScriptedAccount&) = delete;

  // The account's users and chats, as TDLib sends them once the login is done.
  static std::vector<std::string> AccountEvents(int64_t aDateShift = 0) {
    return Lines("account-1.8.67.jsonl", aDateShift);
  }
  // The login of a user account that needs a code, up to the connection being ready.
  static std::vector<std::string> LoginEvents() {
    std::vector<std::string> events;
    for (const char* state : {"authorizationStateWaitTdlibParameters",
                              "authorizationStateWaitPhoneNumber", "authorizationStateWaitCode",
                              "authorizationStateReady"}) {
      events.push_back(std::string(R"({"@type":"updateAuthorizationState","authorization_state":{"@type":")") +
                       state + R"("}})");
    }
    events.push_back(
        R"({"@type":"updateConnectionState","state":{"@type":"connectionStateReady"}})");
    return events;
  }

  size_t PageSize = 5;
  // Requests answered with an error (code, message) by their "@type".
  std::map<std::string, std::pair<int32_t, std::string>> Refusals;
  // The local paths of the photos sent, in order.
  std::vector<std::string> SentPhotos;
  // getMessageProperties lets the account delete its own messages only for itself, too.
  bool DeleteOnlyForSelf = false;
  std::deque<TOutcome> Outcomes;
  int DownloadSteps = 2;
  std::string DownloadFolder;
  bool HoldDownloads = false;

  // Completes the downloads held back.
  void FinishDownloads() {
    for (const std::string& text : FHeldDownloads) fake_td_queue_event(text.c_str());
    FHeldDownloads.clear();
  }
  // The ids of outgoing messages: above every message of the history, each new one above the
  // last (a temporary id while pending, as TDLib gives them); the first sent one is kFirstSent.
  static constexpr int64_t kFirstSent = 1002LL << 20;

  // The history file's message texts of aChatId, oldest first.
  std::vector<std::string> History(int64_t aChatId) const {
    auto found = FHistory.find(aChatId);
    if (found == FHistory.end()) return {};
    return {found->second.rbegin(), found->second.rend()};
  }

  static std::vector<std::string> Lines(const std::string& aFile, int64_t aDateShift = 0) {
    std::vector<std::string> lines = NonEmptyLines(std::string(QVN_TEST_DATA_DIR) + "/" + aFile);
    for (std::string& line : lines) line = ShiftDates(std::move(line), aDateShift);
    return lines;
  }

  // aText with every "date" member moved by aShift seconds.
  static std::string ShiftDates(std::string aText, int64_t aShift) {
    const std::string member = "\"date\":";
    for (size_t at = aText.find(member); aShift != 0 && at != std::string::npos;
         at = aText.find(member, at + 1)) {
      const size_t begin = at + member.size();
      const size_t end = aText.find_first_not_of("0123456789", begin);
      const int64_t date = std::stoll(aText.substr(begin, end - begin));
      aText.replace(begin, end - begin, std::to_string(date + aShift));
    }
    return aText;
  }

 private:
  static void Respond(const char* aRequest, void* aContext) {
    static_cast<TScriptedAccount*>(aContext)->Answer(aRequest);
  }

  static std::string Stored(const IqvnObjectJSON& aNode) {
    return aNode ? std::string(aNode->StoredText()) : std::string();
  }

  void Answer(const std::string& aRequest) {
    TqvnJSON request;
    request.Read(aRequest);
    const std::string type = Stored(request.GetNode("@type"));
    IqvnObjectJSON extraNode = request.GetNode("@extra");
    if (!extraNode) return;
    const std::string extra = ",\"@extra\":\"" + Stored(extraNode) + "\"}";
    const auto queue = [](const std::string& aText) { fake_td_queue_event(aText.c_str()); };
    const auto number = [&request](const char* aName) {
      IqvnObjectJSON node = request.GetNode(aName);
      return node ? node->Value().AsInt64() : 0;
    };
    if (type == "loadChats") {
      queue(FChatsLoaded ? R"({"@type":"error","code":404,"message":"Not Found")" + extra
                         : R"({"@type":"ok")" + extra);
      FChatsLoaded = true;
    } else if (type == "getChatHistory") {
      const int64_t from = number("from_message_id");
      std::string page;
      size_t count = 0;
      const auto& history = FHistory[number("chat_id")];  // newest first
      for (const std::string& message : history) {
        TqvnJSON parsed;
        parsed.Read(message);
        if (from != 0 && parsed.GetNode("id")->Value().AsInt64() >= from) continue;
        if (count == PageSize || count == static_cast<size_t>(number("limit"))) break;
        page += (count++ == 0 ? "" : ",") + message;
      }
      queue(R"({"@type":"messages","total_count":)" + std::to_string(history.size()) +
            R"(,"messages":[)" + page + "]" + extra);
    } else if (type == "sendMessage") {
      Send(request, extra);
    } else if (type == "resendMessages") {
      const int64_t chatId = number("chat_id");
      const int64_t old = request.GetNode("message_ids")->Item(0)->Value().AsInt64();
      const TSent& failed = FSent.at(old);
      queue(R"({"@type":"updateDeleteMessages","chat_id":)" + std::to_string(chatId) +
            R"(,"message_ids":[)" + std::to_string(old) +
            R"(],"is_permanent":true,"from_cache":false})");
      const int64_t temporary = Temporary();
      const std::string pending = Message(temporary, chatId, PendingState(), failed.Content);
      queue(R"({"@type":"updateNewMessage","message":)" + pending + "}");
      queue(R"({"@type":"messages","total_count":1,"messages":[)" + pending + "]" + extra);
      queue(R"({"@type":"updateMessageSendSucceeded","message":)" +
            Message(temporary + (1 << 20) - 1, chatId, "", failed.Content) +
            ",\"old_message_id\":" + std::to_string(temporary) + "}");
    } else if (type == "viewMessages") {
      queue(R"({"@type":"updateChatReadInbox","chat_id":)" + std::to_string(number("chat_id")) +
            R"(,"last_read_inbox_message_id":0,"unread_count":0})");
      queue(R"({"@type":"ok")" + extra);
    } else if (type == "downloadFile") {
      Download(static_cast<int32_t>(number("file_id")), extra);
    } else if (Refusals.contains(type)) {
      const auto& [code, message] = Refusals.at(type);
      queue(R"({"@type":"error","code":)" + std::to_string(code) + R"(,"message":")" + message +
            "\"" + extra);
    } else {
      AnswerAction(type, request, extra);
    }
  }

  // The message actions: what may be done with a message, edits, deletions, forwards, drafts.
  void AnswerAction(const std::string& aType, TqvnJSON& aRequest, const std::string& aExtra) {
    const auto queue = [](const std::string& aText) { fake_td_queue_event(aText.c_str()); };
    const auto number = [&aRequest](const char* aName) {
      IqvnObjectJSON node = aRequest.GetNode(aName);
      return node ? node->Value().AsInt64() : 0;
    };
    const std::string chatId = std::to_string(number("chat_id"));
    if (aType == "getMessageProperties") {
      const bool mine = Outgoing(number("chat_id"), number("message_id"));
      const auto flag = [](bool aValue) { return aValue ? "true" : "false"; };
      queue(std::string(R"({"@type":"messageProperties","can_be_copied":true,)") +
            R"("can_be_deleted_only_for_self":)" + flag(!mine || DeleteOnlyForSelf) +
            R"(,"can_be_deleted_for_all_users":)" + flag(mine) + R"(,"can_be_edited":)" +
            flag(mine) + R"(,"can_be_forwarded":true)" + aExtra);
    } else if (aType == "editMessageText") {
      IqvnObjectJSON text = aRequest.GetNode("input_message_content")->GetNode("text");
      const std::string content = R"({"@type":"messageText","text":{"@type":"formattedText","text":")" +
                                  Stored(text->GetNode("text")) + R"(","entities":[]}})";
      const std::string messageId = Stored(aRequest.GetNode("message_id"));
      queue(R"({"@type":"updateMessageContent","chat_id":)" + chatId + R"(,"message_id":)" +
            messageId + R"(,"new_content":)" + content + "}");
      queue(R"({"@type":"updateMessageEdited","chat_id":)" + chatId + R"(,"message_id":)" +
            messageId + R"(,"edit_date":1767614000})");
      const std::string message = Message(std::stoll(messageId), std::stoll(chatId), "", content);
      queue(message.substr(0, message.size() - 1) + aExtra);
    } else if (aType == "deleteMessages") {
      IqvnObjectJSON ids = aRequest.GetNode("message_ids");
      std::string list;
      for (int i = 0; i < ids->Count(); ++i) {
        list += (i == 0 ? "" : ",") + std::to_string(ids->Item(i)->Value().AsInt64());
      }
      queue(R"({"@type":"updateDeleteMessages","chat_id":)" + chatId + R"(,"message_ids":[)" +
            list + R"(],"is_permanent":true,"from_cache":false})");
      queue(R"({"@type":"ok")" + aExtra);
    } else if (aType == "forwardMessages") {
      const std::string forwarded =
          Message(Temporary(), number("chat_id"), PendingState(),
                  R"({"@type":"messageText","text":{"@type":"formattedText","text":"forwarded","entities":[]}})");
      queue(R"({"@type":"updateNewMessage","message":)" + forwarded + "}");
      queue(R"({"@type":"messages","total_count":1,"messages":[)" + forwarded + "]" + aExtra);
    } else if (aType == "setChatDraftMessage") {
      IqvnObjectJSON draft = aRequest.GetNode("draft_message");
      queue(R"({"@type":"updateChatDraftMessage","chat_id":)" + chatId + R"(,"draft_message":)" +
            (draft ? std::string(draft->JSONObject()->Text()) : std::string("null")) +
            R"(,"positions":[]})");
      queue(R"({"@type":"ok")" + aExtra);
    }
  }

  // True for a message of the account's in the history or among those it sent.
  bool Outgoing(int64_t aChatId, int64_t aMessageId) {
    if (aMessageId >= kFirstSent) return true;
    for (const std::string& text : FHistory[aChatId]) {
      TqvnJSON parsed;
      parsed.Read(text);
      if (parsed.GetNode("id")->Value().AsInt64() != aMessageId) continue;
      IqvnObjectJSON outgoing = parsed.GetNode("is_outgoing");
      return outgoing && outgoing->Value().AsBoolean();
    }
    return false;
  }

  // A new temporary id; the message's final id is the next server id above it.
  int64_t Temporary() {
    FSends += 2;
    return ((1000 + FSends - 1) << 20) + 1;
  }

  static std::string PendingState() {
    return R"({"@type":"messageSendingStatePending","sending_id":0})";
  }

  std::string Message(int64_t aId, int64_t aChatId, const std::string& aState,
                      const std::string& aContent) const {
    return R"({"@type":"message","id":)" + std::to_string(aId) +
           R"(,"sender_id":{"@type":"messageSenderUser","user_id":)" + std::to_string(kMe) +
           R"(},"chat_id":)" + std::to_string(aChatId) +
           (aState.empty() ? "" : ",\"sending_state\":" + aState) +
           R"(,"is_outgoing":true,"date":)" + std::to_string(1767613800 + FDateShift) +
           R"(,"content":)" + aContent + "}";
  }

  void Send(TqvnJSON& aRequest, const std::string& aExtra) {
    const auto queue = [](const std::string& aText) { fake_td_queue_event(aText.c_str()); };
    const int64_t chatId = aRequest.GetNode("chat_id")->Value().AsInt64();
    IqvnObjectJSON input = aRequest.GetNode("input_message_content");
    const std::string inputType = Stored(input->GetNode("@type"));
    std::string content;
    int32_t uploadFile = 0;
    const int64_t uploadSize = 200000;
    if (inputType == "inputMessageText") {
      content = R"({"@type":"messageText","text":{"@type":"formattedText","text":")" +
                Stored(input->GetNode("text")->GetNode("text")) + R"(","entities":[]}})";
    } else if (inputType == "inputMessagePhoto") {
      IqvnObjectJSON photo = input->GetNode("photo");
      if (photo->GetNode("photo")) photo = photo->GetNode("photo");
      uploadFile = FNextFile++;
      content = R"({"@type":"messagePhoto","photo":{"@type":"photo","has_stickers":false,"sizes":[{"@type":"photoSize","type":"x","photo":)" +
                FileText(uploadFile, uploadSize, "", false, false, 0, true, 0) +
                R"(,"width":1,"height":1,"progressive_sizes":[]}]},"caption":{"@type":"formattedText","text":"","entities":[]}})";
      SentPhotos.push_back(UnescapeJSONString(Stored(photo->GetNode("path"))));
    } else {
      IqvnObjectJSON document = input->GetNode("document");
      if (document->GetNode("document")) document = document->GetNode("document");
      const std::string path = UnescapeJSONString(Stored(document->GetNode("path")));
      uploadFile = FNextFile++;
      content = R"({"@type":"messageDocument","document":{"@type":"document","file_name":")" +
                EscapeJSONString(std::filesystem::path(path).filename().string()) +
                R"(","mime_type":"application/octet-stream","document":)" +
                FileText(uploadFile, uploadSize, "", false, false, 0, true, 0) +
                R"(},"caption":{"@type":"formattedText","text":"","entities":[]}})";
    }
    const TOutcome outcome = Outcomes.empty() ? TOutcome() : Outcomes.front();
    if (!Outcomes.empty()) Outcomes.pop_front();
    if (outcome.Kind == TOutcome::refused) {
      queue(R"({"@type":"error","code":)" + std::to_string(outcome.Code) + R"(,"message":")" +
            outcome.Message + "\"" + aExtra);
      return;
    }
    const int64_t temporary = Temporary();
    const std::string pending = Message(temporary, chatId, PendingState(), content);
    queue(R"({"@type":"updateNewMessage","message":)" + pending + "}");
    queue(pending.substr(0, pending.size() - 1) + aExtra);
    if (uploadFile != 0) {
      queue(R"({"@type":"updateFile","file":)" +
            FileText(uploadFile, uploadSize, "", false, false, 0, true, uploadSize / 2) + "}");
    }
    if (outcome.Kind == TOutcome::hold) return;
    if (outcome.Kind == TOutcome::sent) {
      queue(R"({"@type":"updateMessageSendSucceeded","message":)" +
            Message(temporary + (1 << 20) - 1, chatId, "", content) +
            ",\"old_message_id\":" + std::to_string(temporary) + "}");
      return;
    }
    const int64_t failedId = Temporary();
    const std::string error = R"({"@type":"error","code":)" + std::to_string(outcome.Code) +
                              R"(,"message":")" + outcome.Message + "\"}";
    const std::string state = R"({"@type":"messageSendingStateFailed","error":)" + error +
                              R"(,"can_retry":)" + (outcome.CanRetry ? "true" : "false") +
                              R"(,"need_another_sender":false,"need_another_reply_quote":false,"need_drop_reply":false,"required_paid_message_star_count":0,"retry_after":0.000000})";
    FSent[failedId] = {content};
    queue(R"({"@type":"updateMessageSendFailed","message":)" +
          Message(failedId, chatId, state, content) +
          ",\"old_message_id\":" + std::to_string(temporary) + ",\"error\":" + error + "}");
  }

  void Download(int32_t aFileId, const std::string& aExtra) {
    const auto queue = [](const std::string& aText) { fake_td_queue_event(aText.c_str()); };
    if (FFiles.count(aFileId) == 0) return;
    const TqvnMessage& message = FFiles.at(aFileId);
    const int64_t size = message.FileSize;
    // The answer: the file as it stands, with the request's tag.
    std::string answer = FileText(aFileId, size, "", true, false, 0, false, 0);
    answer.pop_back();
    fake_td_queue_event((answer + aExtra).c_str());
    for (int step = 1; step <= DownloadSteps; ++step) {
      queue(R"({"@type":"updateFile","file":)" +
            FileText(aFileId, size, "", true, false, size * step / (DownloadSteps + 1), false, 0) +
            "}");
    }
    const std::string name = message.FileName.empty() ? "photo " + std::to_string(aFileId) + ".jpg"
                                                      : message.FileName;
    const std::string path = (std::filesystem::path(DownloadFolder) / name).string();
    std::ofstream(path) << "downloaded";
    const std::string done = R"({"@type":"updateFile","file":)" +
                             FileText(aFileId, size, path, false, true, size, false, 0) + "}";
    if (HoldDownloads) {
      FHeldDownloads.push_back(done);
    } else {
      queue(done);
    }
  }

  static std::string FileText(int32_t aId, int64_t aSize, const std::string& aPath,
                              bool aDownloading, bool aDownloaded, int64_t aDownloadedSize,
                              bool aUploading, int64_t aUploadedSize) {
    const auto flag = [](bool aValue) { return aValue ? "true" : "false"; };
    return R"({"@type":"file","id":)" + std::to_string(aId) + R"(,"size":)" +
           std::to_string(aSize) + R"(,"expected_size":)" + std::to_string(aSize) +
           R"(,"local":{"@type":"localFile","path":")" + EscapeJSONString(aPath) +
           R"(","can_be_downloaded":true,"can_be_deleted":)" + flag(aDownloaded) +
           R"(,"is_downloading_active":)" + flag(aDownloading) +
           R"(,"is_downloading_completed":)" + flag(aDownloaded) +
           R"(,"download_offset":0,"downloaded_prefix_size":)" + std::to_string(aDownloadedSize) +
           R"(,"downloaded_size":)" + std::to_string(aDownloadedSize) +
           R"(},"remote":{"@type":"remoteFile","id":"","unique_id":"","is_uploading_active":)" +
           flag(aUploading) + R"(,"is_uploading_completed":)" + flag(!aUploading) +
           R"(,"uploaded_size":)" + std::to_string(aUploadedSize) + "}}";
  }

  struct TSent {
    std::string Content;
  };
  const int64_t FDateShift;
  bool FChatsLoaded = false;
  int64_t FSends = 0;
  int32_t FNextFile = 900;
  std::map<int64_t, std::vector<std::string>> FHistory;  // newest first
  std::map<int32_t, TqvnMessage> FFiles;
  std::map<int64_t, TSent> FSent;
  std::vector<std::string> FHeldDownloads;
};

}  // namespace qvn::test

#endif  // QVN_TESTS_APP_SCRIPTEDACCOUNT_H
