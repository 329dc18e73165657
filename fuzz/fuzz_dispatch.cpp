// One fuzz input is one event text handed to the client's dispatcher, with every event
// assigned. The handlers read what they are given (records included, with their sub-objects;
// the dispatcher's document as the window reads it) and answer the login prompts. The
// dispatcher may fail only with an exception of the general class, which the receive tick
// passes to OnException; anything else escaping, a crash, a leak, undefined behaviour or a read
// of the dispatcher's document that changes it is a finding. The client stays inactive: login
// answers go nowhere.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

#include "client/qvnLibs.h"
#include "client/qvnTelegram_Reading.h"
#include "json/qvnJSON.h"
#include "tests/support/TestClient.h"

namespace {

// Keeps the compiler from dropping the reads.
volatile std::size_t gSink = 0;

void Use(const std::string& aText) { gSink = gSink + aText.size(); }
void Use(int64_t aValue) { gSink = gSink + static_cast<std::size_t>(aValue); }

// Reads aEvent, the dispatcher's document, as the window's reader does: members along paths,
// texts unescaped, integers, flags and a photo's largest size. The dispatch goes on with the
// same document, so reading it must leave it exactly as it was.
void ReadEventDocument(const qvn::TqvnJSON& aEvent) {
  using qvn::NodeAt;
  const std::string before = aEvent.Text();
  try {
    const qvn::TqvnTDLibObject event(aEvent);
    Use(qvn::PlainText(NodeAt(event, {"@type"})));
    Use(qvn::PlainText(NodeAt(event, {"message", "content", "text", "text"})));
    Use(qvn::Int64Of(NodeAt(event, {"message", "sender_id", "user_id"})));
    Use(qvn::BooleanOf(NodeAt(event, {"message", "is_outgoing"})));
    Use(qvn::Int32Of(NodeAt(event, {"chat", "unread_count"})));
    const qvn::IqvnObjectJSON size =
        qvn::LargestPhotoSize(NodeAt(event, {"message", "content", "photo", "sizes"}));
    Use(qvn::Int32Of(NodeAt(size, {"width"})));
  } catch (const std::exception& e) {
    Use(e.what());  // a member that does not convert: the reader skips the event
  }
  if (aEvent.Text() != before) std::abort();
}

qvn::test::TestClient& Client() {
  static qvn::test::TestClient* gClient = [] {
    auto* c = new qvn::test::TestClient();
    using qvn::TqvnTDLib_Telegram_Client;
    c->OnBeforeReadEvent = [](TqvnTDLib_Telegram_Client*, const std::string& t, bool&) { Use(t); };
    c->OnEvent = [](TqvnTDLib_Telegram_Client*, const std::string& e, const std::string& t) {
      Use(e);
      Use(t);
    };
    c->OnAuthorizationStatus = [](TqvnTDLib_Telegram_Client*, const std::string& s) { Use(s); };
    c->OnConnectionStatus = [](TqvnTDLib_Telegram_Client*, const std::string& s) { Use(s); };
    c->OnEventDocument = [](TqvnTDLib_Telegram_Client*, const qvn::TqvnJSON& aEvent,
                            const std::string& aText) {
      Use(aText);
      ReadEventDocument(aEvent);
    };
    c->OnAuthenticationCode = [](TqvnTDLib_Telegram_Client*, std::string& aCode) { aCode = "1\"2"; };
    c->OnAuthenticationPassword = [](TqvnTDLib_Telegram_Client*, std::string& p) { p = "p\\w"; };
    c->OnRegisterUser = [](TqvnTDLib_Telegram_Client*, std::string& f, std::string& l) {
      f = "F";
      l = "L";
    };
    c->OnException = [](TqvnTDLib_Telegram_Client*, const std::exception& e) { Use(e.what()); };
    const auto message = [](qvn::TqvnTelegramMessageBase& m) {
      Use(m.ChatId());
      Use(m.CaptionText());
      Use(m.SenderChat().ChatId());
      Use(m.SenderUser().UserId());
      gSink = gSink + static_cast<std::size_t>(m.MessageId() + m.SenderUserId());
    };
    c->OnMessageText = [message](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramMessageText& m) {
      message(m);
      Use(m.Text());
    };
    c->OnMessageDocument = [message](TqvnTDLib_Telegram_Client*,
                                     qvn::TqvnTelegramMessageDocument& m) {
      message(m);
      Use(m.FileName());
      Use(m.LocalPath());
      Use(m.MimeType());
    };
    c->OnMessagePhoto = [message](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramMessagePhoto& m) {
      message(m);
      Use(m.LocalPath());
      Use(m.RemotePhotoId());
    };
    c->OnMessageVideo = [message](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramMessageVideo& m) {
      message(m);
      Use(m.LocalPath());
      Use(m.VideoId());
    };
    c->OnMessageSponsored = [](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramMessageSponsored& m) {
      Use(m.MessageId());
      Use(m.SponsorChatId());
      Use(m.Text());
    };
    c->OnNewChat = [](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramChat& aChat) {
      Use(aChat.ChatId());
      Use(aChat.ChatType());
      Use(aChat.Title());
    };
    c->OnNewCallbackQuery = [](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramCallbackQuery& q) {
      Use(q.ChatId());
      Use(q.Id());
      Use(q.PayLoadData().Data());
    };
    return c;
  }();
  return *gClient;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
  const std::string text(reinterpret_cast<const char*>(aData), aSize);
  try {
    Client().DoReadEvent(text);
  } catch (const std::exception& e) {
    Use(e.what());  // what the tick hands to OnException
  } catch (...) {
    std::abort();  // the engine raises only exceptions of the general class
  }
  // The dispatcher keeps no state between events but what TDLib reports of itself.
  Use(Client().TDLibVersion());
  return 0;
}
