// velune-qt-status: the Velune engine in a Qt program, with the Qt adapter's one line.
//
//   velune-qt-status API_ID API_HASH [DATABASE_FOLDER]
//
// A small window that shows TDLib's version, asked for with an answer handler, and each
// authorization and connection state as TDLib reports it. The TqvnMainThreadPump created after
// the application is all it takes for the client's events to arrive on the GUI thread. TDLib is
// loaded at run time: built against the installed package, the program loads the TDLib the
// package ships; VELUNE_TDJSON_LIBRARY in the environment names another.
#include <QApplication>
#include <QLabel>
#include <cstdio>
#include <string>

#include "client/qvnLibs.h"
#include "qt/qvnMainThreadPump.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: %s API_ID API_HASH [DATABASE_FOLDER]\n", argv[0]);
    return 2;
  }
  qvn::TqvnMainThreadPump pump;  // the client's events now arrive through Qt's event loop

  QLabel label("Starting...");
  label.setMinimumWidth(420);
  label.show();
  QString version;
  QString status;
  auto show = [&] { label.setText("TDLib " + version + "\n" + status); };

#ifdef VELUNE_TDJSON_LIBRARY
  qvn::SetTDJsonLibrary(VELUNE_TDJSON_LIBRARY);  // the package's TDLib
#endif
  velune::Client telegram;
  telegram.Telegram().API().SetApiId(argv[1]);
  telegram.Telegram().API().SetApiHash(argv[2]);
  telegram.Telegram().SetDatabaseDirectory(argc == 4 ? argv[3] : "velune-qt-status-data");
  telegram.Telegram().SetErrorsLevel(qvn::tvbErrors);
  telegram.OnAuthorizationStatus = [&](qvn::TqvnTDLib_Telegram_Client*, const std::string& s) {
    status = QString::fromStdString(s);
    show();
  };
  telegram.OnConnectionStatus = [&](qvn::TqvnTDLib_Telegram_Client*, const std::string& s) {
    status = QString::fromStdString(s);
    show();
  };
  telegram.OnAuthenticationError = [&](qvn::TqvnTDLib_Telegram_Client*, const std::string&, int32_t,
                                       const std::string& aMessage) {
    status = "Rejected: " + QString::fromStdString(aMessage);
    show();
  };
  telegram.OnException = [&](qvn::TqvnTDLib_Telegram_Client*, const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
  };

  telegram.SetActive(true);
  telegram.Send(R"({"@type": "getOption", "name": "version"})",
                [&](qvn::TqvnTDLib_Telegram_Client*, const qvn::TqvnTelegramAnswer& aAnswer) {
                  version = QString::fromStdString(
                      aAnswer.IsError() ? aAnswer.Message : aAnswer.Get<std::string>("value"));
                  show();
                });
  return QApplication::exec();
}
