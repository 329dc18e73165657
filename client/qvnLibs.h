// TqvnTDLib_Telegram: the Telegram client component a program places on its main window.
//
// It is TqvnTDLib_Telegram_Client (client/qvnLib_Telegram_Client.h) without additions; the
// contract, threads and ownership are stated there.
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

#endif  // QVN_CLIENT_QVNLIBS_H
