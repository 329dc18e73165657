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
  static qvn::test::TestClient* client = [] {
    auto* c = new qvn::test::TestClient();
    using qvn::TqvnTDLib_Telegram_Client;
    c->OnBeforeReadEvent = [](TqvnTDLib_Telegram_Client*, const std::string& T, bool&) { Use(T); };
    c->OnEvent = [](TqvnTDLib_Telegram_Client*, const std::string& E, const std::string& T) {
      Use(E);
      Use(T);
    };
    c->OnAuthorizationStatus = [](TqvnTDLib_Telegram_Client*, const std::string& S) { Use(S); };
    c->OnConnectionStatus = [](TqvnTDLib_Telegram_Client*, const std::string& S) { Use(S); };
    c->OnAuthenticationCode = [](TqvnTDLib_Telegram_Client*, std::string& Code) { Code = "1\"2"; };
    c->OnAuthenticationPassword = [](TqvnTDLib_Telegram_Client*, std::string& P) { P = "p\\w"; };
    c->OnRegisterUser = [](TqvnTDLib_Telegram_Client*, std::string& F, std::string& L) {
      F = "F";
      L = "L";
    };
    c->OnException = [](TqvnTDLib_Telegram_Client*, const std::exception& E) { Use(E.what()); };
    const auto message = [](qvn::TqvnTelegramMessageBase& M) {
      Use(M.ChatId());
      Use(M.CaptionText());
      Use(M.SenderChat().ChatId());
      Use(M.SenderUser().UserId());
      gSink = gSink + static_cast<std::size_t>(M.MessageId() + M.SenderUserId());
    };
    c->OnMessageText = [message](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramMessageText& M) {
      message(M);
      Use(M.Text());
    };
    c->OnMessageDocument = [message](TqvnTDLib_Telegram_Client*,
                                     qvn::TqvnTelegramMessageDocument& M) {
      message(M);
      Use(M.FileName());
      Use(M.LocalPath());
      Use(M.MimeType());
    };
    c->OnMessagePhoto = [message](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramMessagePhoto& M) {
      message(M);
      Use(M.LocalPath());
      Use(M.RemotePhotoId());
    };
    c->OnMessageVideo = [message](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramMessageVideo& M) {
      message(M);
      Use(M.LocalPath());
      Use(M.VideoId());
    };
    c->OnMessageSponsored = [](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramMessageSponsored& M) {
      Use(M.MessageId());
      Use(M.SponsorChatId());
      Use(M.Text());
    };
    c->OnNewChat = [](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramChat& Chat) {
      Use(Chat.ChatId());
      Use(Chat.ChatType());
      Use(Chat.Title());
    };
    c->OnNewCallbackQuery = [](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramCallbackQuery& Q) {
      Use(Q.ChatId());
      Use(Q.Id());
      Use(Q.PayLoadData().Data());
    };
    return c;
  }();
  return *client;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
  const std::string text(reinterpret_cast<const char*>(aData), aSize);
  try {
    Client().DoReadEvent(text);
  } catch (const std::exception& E) {
    Use(E.what());  // what the tick hands to OnException
  } catch (...) {
    std::abort();  // the engine raises only exceptions of the general class
  }
  // The dispatcher keeps no state between events but what TDLib reports of itself.
  Use(Client().TDLibVersion());
  return 0;
}
