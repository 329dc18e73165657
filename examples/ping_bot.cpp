// velune-ping-bot: a Telegram bot on the Velune engine, as a console program without Qt.
//
//   velune-ping-bot API_ID API_HASH BOT_TOKEN [DATABASE_FOLDER]
//
// It logs in with the bot token, prints every new message and answers "/ping" with "pong". It
// shows what every program built on the engine does: set the client's options and handlers,
// activate it, and run the main-thread queue (PumpMainThreadQueueUntil), which is where the
// client's events and answers arrive in the default delivery mode. Requests that matter to the
// program (getMe, the pong) are awaited in coroutines (co_await qvn::Ask), so the program learns
// whether each one succeeded without nesting callbacks. Ctrl+C ends it, and so does TDLib closing
// the session; a rejected bot token ends it with status 1. TDLib is loaded at run time: built
// against the installed package, the bot loads the TDLib the package ships;
// VELUNE_TDJSON_LIBRARY in the environment names another.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnLibs.h"

namespace {

using qvn::TqvnTDLib_Telegram_Client;
using qvn::TqvnTelegramAnswer;

volatile std::sig_atomic_t gInterrupted = 0;

void Interrupt(int) {
  gInterrupted = 1;
}

// Who sent a message: a user id, or a chat id for a message sent on behalf of a chat.
std::string SenderOf(qvn::TqvnTelegramMessageBase& aMessage) {
  if (aMessage.SenderUserId() != 0) return std::to_string(aMessage.SenderUserId());
  if (!aMessage.SenderUser().UserId().empty()) return aMessage.SenderUser().UserId();
  return aMessage.SenderChat().ChatId();
}

void PrintMessage(qvn::TqvnTelegramMessageBase& aMessage, const std::string& aBody) {
  std::printf("[chat %s] %s: %s\n", aMessage.ChatId().c_str(), SenderOf(aMessage).c_str(),
              aBody.c_str());
}

// Says who the bot is, once the login is through.
qvn::TqvnTask Greet(TqvnTDLib_Telegram_Client& aClient) {
  const TqvnTelegramAnswer me = co_await qvn::Ask(aClient, R"({"@type": "getMe"})");
  if (me.IsError()) {
    std::fprintf(stderr, "getMe failed: %s\n", me.Message.c_str());
    co_return;
  }
  std::printf("Logged in as %s (user %lld)\n", me.Get<std::string>("first_name").c_str(),
              static_cast<long long>(me.Get<int64_t>("id")));
}

// Answers a ping in aChat and says whether Telegram took the answer.
qvn::TqvnTask Pong(TqvnTDLib_Telegram_Client& aClient, std::string aChat) {
  const TqvnTelegramAnswer sent = co_await qvn::Ask([&](const qvn::TqvnTelegramOnAnswer& aOnAnswer) {
    aClient.SendTextMessage(aChat, "pong", nullptr, nullptr, aOnAnswer);
  });
  if (sent.IsError()) {
    std::fprintf(stderr, "pong to chat %s failed: %s\n", aChat.c_str(), sent.Message.c_str());
  } else {
    std::printf("pong sent to chat %s\n", aChat.c_str());
  }
}

bool IsPing(const std::string& aText) {
  return aText == "/ping" || aText.rfind("/ping@", 0) == 0;  // "/ping@BotName" in groups
}

}  // namespace

int main(int argc, char* argv[]) {
#ifdef VELUNE_TDJSON_LIBRARY
  qvn::SetTDJsonLibrary(VELUNE_TDJSON_LIBRARY);  // the package's TDLib
#endif
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: %s API_ID API_HASH BOT_TOKEN [DATABASE_FOLDER]\nTDLib: %s\n",
                 argv[0], qvn::TDJsonLibrary().c_str());
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  velune::Client telegram;
  qvn::TqvnTelegram_Options& options = telegram.Telegram();
  options.API().SetApiId(argv[1]);
  options.API().SetApiHash(argv[2]);
  options.SetBotToken(argv[3]);
  options.SetDatabaseDirectory(argc == 5 ? argv[4] : "velune-ping-bot-data");
  options.Parameters().SetApplicationVersion("1.0");
  options.Parameters().SetDeviceModel("Console");
  options.Parameters().SetLanguageCode("en");
  options.Parameters().SetSystemVersion("Linux");
  options.SetErrorsLevel(qvn::tvbErrors);
  telegram.SetEventsPerTick(100);

  bool done = false;
  int status = 0;
  telegram.OnException = [](TqvnTDLib_Telegram_Client*, const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
  };
  // A bot cannot ask anyone for another token: a rejected one ends the program.
  telegram.OnAuthenticationError = [&](TqvnTDLib_Telegram_Client*, const std::string&, int32_t aCode,
                                       const std::string& aMessage) {
    std::fprintf(stderr, "Telegram rejected the login: %s (error %d)\n", aMessage.c_str(), aCode);
    status = 1;
    done = true;
  };
  telegram.OnAuthorizationStatus = [&](TqvnTDLib_Telegram_Client* aSender,
                                       const std::string& aStatus) {
    if (aStatus == "authorizationStateClosed") done = true;
    if (aStatus != "authorizationStateReady") return;
    Greet(*aSender);  // runs on by itself
  };
  telegram.OnMessageText = [](TqvnTDLib_Telegram_Client* aSender,
                              qvn::TqvnTelegramMessageText& aMessage) {
    PrintMessage(aMessage, aMessage.Text());
    // The bot's own messages come back as new messages too.
    if (SenderOf(aMessage) == std::to_string(aSender->MyId()) || !IsPing(aMessage.Text())) return;
    Pong(*aSender, aMessage.ChatId());
  };
  telegram.OnMessagePhoto = [](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramMessagePhoto& m) {
    PrintMessage(m, "(a photo) " + m.CaptionText());
  };
  telegram.OnMessageDocument = [](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramMessageDocument& m) {
    PrintMessage(m, "(a document) " + m.CaptionText());
  };
  telegram.OnMessageVideo = [](TqvnTDLib_Telegram_Client*, qvn::TqvnTelegramMessageVideo& m) {
    PrintMessage(m, "(a video) " + m.CaptionText());
  };

  std::signal(SIGINT, Interrupt);
  std::signal(SIGTERM, Interrupt);
  telegram.SetActive(true);
  if (!telegram.Active()) return 1;  // OnException has said why
  // The client's ticks arrive here every 100 ms, so an interruption is noticed within one.
  qvn::PumpMainThreadQueueUntil([&] { return done || gInterrupted != 0; });
  telegram.SetActive(false);
  return status;
}
