// velune-download-bot: a Telegram bot that waits for a file, downloads it and says where it lies,
// written top to bottom as one coroutine on the Velune engine (no Qt).
//
//   velune-download-bot API_ID API_HASH BOT_TOKEN [DATABASE_FOLDER]
//
// It logs in with the bot token, waits for the first message that carries a document, downloads
// that file, tells the sender where it was saved, and ends. It shows the engine's waiting forms:
// co_await on a request's answer (qvn::Ask) and on the next update that passes a filter
// (NextUpdate), read through the typed views of TDLib's classes (client/qvnTelegram_Views.h).
// Ctrl+C ends it early; a rejected token or a failed download ends it with status 1. TDLib is
// loaded at run time: built against the installed package, the bot loads the TDLib the package
// ships; VELUNE_TDJSON_LIBRARY in the environment names another.
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnLibs.h"
#include "client/qvnTelegram_Views.h"

namespace {

namespace td = qvn::td;
using qvn::TqvnTDLibObject;

volatile std::sig_atomic_t gInterrupted = 0;

void Interrupt(int) {
  gInterrupted = 1;
}

bool IsReady(const TqvnTDLibObject& aUpdate) {
  return td::UpdateAuthorizationState(aUpdate).AuthorizationState().Type() ==
         "authorizationStateReady";
}

bool CarriesADocument(const TqvnTDLibObject& aUpdate) {
  return td::UpdateNewMessage(aUpdate).Message().Content().Type() == td::MessageDocument::kType;
}

// The whole bot: log-in, a file, its download, the answer.
qvn::TqvnTask Run(velune::Client& aClient, int& aStatus) {
  const velune::Answer ready = co_await aClient.NextUpdate("updateAuthorizationState", IsReady);
  if (ready.IsError()) co_return;  // the client ended first; OnAuthenticationError said why
  std::printf("Logged in: send the bot a file\n");

  const velune::Answer update = co_await aClient.NextUpdate("updateNewMessage", CarriesADocument);
  if (update.IsError()) co_return;
  const td::Message message = td::UpdateNewMessage(update.Object()).Message();
  const td::Document document = td::MessageDocument(message.Content()).Document();
  const int32_t fileId = document.DocumentMember().Id();
  std::printf("Downloading %s (%lld bytes)\n", document.FileName().c_str(),
              static_cast<long long>(document.DocumentMember().Size()));

  // Asked for before the download starts, so its last update cannot pass unseen.
  velune::AnswerHandle finished = aClient.NextUpdate(
      "updateFile",
      [fileId](const TqvnTDLibObject& aFile) {
        const td::File file = td::UpdateFile(aFile).File();
        return file.Id() == fileId && file.Local().IsDownloadingCompleted();
      },
      std::chrono::minutes(10));
  const velune::Answer started = co_await velune::Ask([&](const velune::OnAnswer& aOnAnswer) {
    aClient.DownloadFile(fileId, 1, aOnAnswer);
  });
  if (started.IsError()) {
    std::fprintf(stderr, "The download did not start: %s\n", started.Message.c_str());
    aStatus = 1;
    co_return;
  }
  std::string path = td::File(started.Object()).Local().Path();
  if (td::File(started.Object()).Local().IsDownloadingCompleted()) {
    finished.Cancel();  // it was there already
  } else {
    const velune::Answer done = co_await finished;
    if (done.IsError()) {
      std::fprintf(stderr, "The download did not finish: %s\n", done.Message.c_str());
      aStatus = 1;
      co_return;
    }
    path = td::UpdateFile(done.Object()).File().Local().Path();
  }
  std::printf("Saved to %s\n", path.c_str());

  const std::string chat = std::to_string(message.ChatId());
  const velune::Answer reply = co_await velune::Ask([&](const velune::OnAnswer& aOnAnswer) {
    aClient.SendTextMessage(chat, "Saved " + document.FileName(), nullptr, nullptr, aOnAnswer);
  });
  if (reply.IsError()) std::fprintf(stderr, "The reply failed: %s\n", reply.Message.c_str());
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
  options.SetDatabaseDirectory(argc == 5 ? argv[4] : "velune-download-bot-data");
  options.Parameters().SetApplicationVersion("1.0");
  options.Parameters().SetDeviceModel("Console");
  options.Parameters().SetLanguageCode("en");
  options.Parameters().SetSystemVersion("Linux");
  options.SetErrorsLevel(qvn::tvbErrors);

  int status = 0;
  telegram.OnException = [](qvn::TqvnTDLib_Telegram_Client*, const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
  };
  telegram.OnAuthenticationError = [&](qvn::TqvnTDLib_Telegram_Client* aSender, const std::string&,
                                       int32_t aCode, const std::string& aMessage) {
    std::fprintf(stderr, "Telegram rejected the login: %s (error %d)\n", aMessage.c_str(), aCode);
    status = 1;
    aSender->SetActive(false);  // ends the waits, and with them the bot
  };

  std::signal(SIGINT, Interrupt);
  std::signal(SIGTERM, Interrupt);
  telegram.SetActive(true);
  if (!telegram.Active()) return 1;  // OnException has said why
  // Started before the main thread pumps: no event has been handed over yet.
  const qvn::TqvnTask bot = Run(telegram, status);
  // Woken by every delivery; the deadline notices Ctrl+C while TDLib is quiet.
  while (!bot.Done() && gInterrupted == 0) {
    qvn::PumpMainThreadQueueUntil([&] { return bot.Done(); },
                                  std::chrono::steady_clock::now() + std::chrono::milliseconds(200));
  }
  telegram.SetActive(false);
  if (bot.Done()) bot.Result();
  return status;
}
