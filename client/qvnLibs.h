// The header a program includes, and the class it uses: TqvnTDLib_Telegram, also named
// velune::Client.
//
// TqvnTDLib_Telegram is TqvnTDLib_Telegram_Client (client/qvnLib_Telegram_Client.h: the contract,
// threads and ownership) made safe to destroy whatever a tick is doing. A program creates
// TqvnTDLib_Telegram (or velune::Client); TqvnTDLib_Telegram_Client is the base a class derives
// from to override the engine's protected steps, and such a class ends the client in its own
// destructor as this one does.
#ifndef QVN_CLIENT_QVNLIBS_H
#define QVN_CLIENT_QVNLIBS_H

#include "client/qvnLib_Telegram_Client.h"
#include "client/qvnTelegram_Await.h"    // co_await an answer, or take a std::future of it
#include "client/qvnTelegram_Library.h"  // which TDLib library file the process loads

namespace qvn {

class TqvnTDLib_Telegram : public TqvnTDLib_Telegram_Client {
 public:
  using TqvnTDLib_Telegram_Client::TqvnTDLib_Telegram_Client;
  // Stops every tick before any destructor of the chain runs.
  ~TqvnTDLib_Telegram() override { EndForDestruction(); }
};

}  // namespace qvn

// Short names for programs, beside the engine's own.
namespace velune {
using Client = qvn::TqvnTDLib_Telegram;
using Answer = qvn::TqvnTelegramAnswer;
using OnAnswer = qvn::TqvnTelegramOnAnswer;
using AnswerHandle = qvn::TqvnAnswerHandle;
using Task = qvn::TqvnTask;
using Object = qvn::TqvnTDLibObject;
using qvn::Ask;
}  // namespace velune

#endif  // QVN_CLIENT_QVNLIBS_H
