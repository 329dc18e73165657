// The conversations the console examples have with the scripted fake TDLib, as a library loaded
// into an example with LD_PRELOAD. Loading it loads the fake (its libtdjson.so dependency), so
// the example's own load of "libtdjson.so" finds the fake; the library's initialisation then
// installs a responder that plays TDLib:
//   setTdlibParameters           -> the bot-token prompt
//   checkAuthenticationBotToken  "42:good" -> ready, then a message "hello" and a message
//                                "/ping" from user 7 in chat 7; any other token -> TDLib's 401
//   getMe                        -> the bot, "Ping Bot", user 4242
//   sendMessage                  "pong" to chat 7 -> the sent message, which also comes back
//                                as a new message of the bot's own; then TDLib closes
//   checkAuthenticationBotToken  "42:file" -> ready, then a message from user 7 in chat 7 that
//                                carries the document "notes.txt" (file 99)
//   downloadFile 99              -> the file as the download starts, then two updateFile: half
//                                done, then complete in /tmp/velune-bot-files/notes.txt
//   sendMessage                  "Saved notes.txt" to chat 7 -> the sent message; TDLib closes
// Any other reply of the example ends it at once with status 3 and says why on stderr.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fake_tdjson.h"

namespace {

void Queue(const std::string& aText) {
  fake_td_queue_event(aText.c_str());
}

std::string State(const std::string& aState) {
  return R"({"@type":"updateAuthorizationState","authorization_state":{"@type":")" + aState +
         R"("}})";
}

std::string NewMessage(int aId, int aSender, const std::string& aText) {
  return R"({"@type":"updateNewMessage","message":{"@type":"message","id":)" + std::to_string(aId) +
         R"(,"sender_id":{"@type":"messageSenderUser","user_id":)" + std::to_string(aSender) +
         R"(},"chat_id":7,"content":{"@type":"messageText","text":{"@type":"formattedText","text":")" +
         aText + R"(","entities":[]}}}})";
}

// File 99 of 1,200 bytes with aDownloaded of them on disk.
std::string File(bool aCompleted, int aDownloaded) {
  return R"({"@type":"file","id":99,"size":1200,"expected_size":1200,"local":{"@type":"localFile",)"
         R"("path":")" + std::string(aCompleted ? "/tmp/velune-bot-files/notes.txt" : "") +
         R"(","is_downloading_active":)" + (aCompleted ? "false" : "true") +
         R"(,"is_downloading_completed":)" + (aCompleted ? "true" : "false") +
         R"(,"downloaded_size":)" + std::to_string(aDownloaded) + R"(},"remote":{"@type":)"
         R"("remoteFile","id":"r99","unique_id":"u99","is_uploading_active":false,)"
         R"("is_uploading_completed":true,"uploaded_size":1200}})";
}

// aAnswer with the request's "@extra", which TDLib writes last.
void Answer(const nlohmann::json& aRequest, std::string aAnswer) {
  if (aRequest.contains("@extra")) {
    aAnswer.pop_back();
    aAnswer += ",\"@extra\":" + aRequest["@extra"].dump() + "}";
  }
  Queue(aAnswer);
}

[[noreturn]] void Unexpected(const char* aRequest) {
  std::fprintf(stderr, "bot_script: unexpected request %s\n", aRequest);
  std::fflush(stderr);
  std::_Exit(3);
}

void Respond(const char* aRequest, void*) {
  const nlohmann::json request = nlohmann::json::parse(aRequest, nullptr, false);
  if (request.is_discarded()) Unexpected(aRequest);
  const std::string type = request.value("@type", "");
  if (type == "getAuthorizationState") {
    Answer(request, R"({"@type":"authorizationStateWaitTdlibParameters"})");
    Queue(State("authorizationStateWaitTdlibParameters"));
  } else if (type == "setTdlibParameters") {
    Answer(request, R"({"@type":"ok"})");
    Queue(State("authorizationStateWaitPhoneNumber"));
  } else if (type == "checkAuthenticationBotToken" && request.value("token", "") == "42:good") {
    Answer(request, R"({"@type":"ok"})");
    Queue(
        R"({"@type":"updateOption","name":"my_id","value":{"@type":"optionValueInteger","value":"4242"}})");
    Queue(State("authorizationStateReady"));
    Queue(NewMessage(1, 7, "hello"));
    Queue(NewMessage(2, 7, "/ping"));
  } else if (type == "checkAuthenticationBotToken" && request.value("token", "") == "42:file") {
    Answer(request, R"({"@type":"ok"})");
    Queue(State("authorizationStateReady"));
    Queue(NewMessage(1, 7, "no file here"));
    Queue(R"({"@type":"updateNewMessage","message":{"@type":"message","id":2,"chat_id":7,)"
          R"("sender_id":{"@type":"messageSenderUser","user_id":7},"content":{"@type":)"
          R"("messageDocument","document":{"@type":"document","file_name":"notes.txt",)"
          R"("mime_type":"text/plain","document":)" + File(false, 0) + R"(},"caption":)"
          R"({"@type":"formattedText","text":"","entities":[]}}}})");
  } else if (type == "downloadFile" && request.value("file_id", 0) == 99) {
    Answer(request, File(false, 0));
    Queue(R"({"@type":"updateFile","file":)" + File(false, 600) + "}");
    Queue(R"({"@type":"updateFile","file":)" + File(true, 1200) + "}");
  } else if (type == "sendMessage" && request.value("chat_id", "") == "7" &&
             request["input_message_content"]["text"]["text"] == "Saved notes.txt") {
    Answer(request, R"({"@type":"message","id":3,"chat_id":7})");
    Queue(State("authorizationStateClosing"));
    Queue(State("authorizationStateClosed"));
  } else if (type == "checkAuthenticationBotToken") {
    Answer(request, R"({"@type":"error","code":401,"message":"ACCESS_TOKEN_INVALID"})");
  } else if (type == "getMe") {
    Answer(request, R"({"@type":"user","id":4242,"first_name":"Ping Bot"})");
  } else if (type == "sendMessage" && request.value("chat_id", "") == "7" &&
             request["input_message_content"]["text"]["text"] == "pong") {
    Answer(request, R"({"@type":"message","id":3,"chat_id":7})");
    Queue(NewMessage(3, 4242, "pong"));
    Queue(State("authorizationStateClosing"));
    Queue(State("authorizationStateClosed"));
  } else if (type != "close") {  // the end of a client of TDLib's current interface
    Unexpected(aRequest);
  }
}

// Runs when the library is loaded, before the example's main.
[[maybe_unused]] const bool kGInstalled = (fake_td_set_responder(&Respond, nullptr), true);

}  // namespace
