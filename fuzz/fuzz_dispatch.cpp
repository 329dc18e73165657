// One fuzz input is one event text handed to the client's dispatcher, with every event
// assigned. The handlers read what they are given (records included, with their sub-objects)
// and answer the login prompts. The dispatcher may fail only with an exception of the general
// class, which the receive tick passes to OnException; anything else escaping, a crash, a leak
// or undefined behaviour is a finding. The client stays inactive: login answers go nowhere.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

#include "client/qvnLibs.h"
#include "tests/support/TestClient.h"

namespace {

// Keeps the compiler from dropping the reads.
volatile std::size_t gSink = 0;

void Use(const std::string& aText) { gSink = gSink + aText.size(); }

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
