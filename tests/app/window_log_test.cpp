// What the log, the message view and the status bar show of hostile event texts: secrets in
// TDLib's answers are masked, and a line of megabytes shows its beginning (the window stays
// responsive) while its whole text stays one double click away.
#include <QClipboard>
#include <QGuiApplication>
#include <QTabWidget>
#include <QTest>

#include "WindowFixture.h"

namespace qvn::test {
namespace {

TEST_F(WindowTest, ProxySecretsInTDLibsAnswersAreMaskedInTheLogAndStatusBar) {
  Open();
  Start();
  const std::string added =
      R"({"@type":"addedProxy","id":1,"last_used_date":0,"is_enabled":false,"comment":"",)"
      R"("proxy":{"@type":"proxy","server":"10.0.0.1","port":1080,"type":)"
      R"({"@type":"proxyTypeSocks5","username":"alice","password":"S0cks-pa55"}}})";
  const std::string listed =
      R"({"@type":"addedProxies","proxies":[{"@type":"addedProxy","id":2,"proxy":{"@type":"proxy",)"
      R"("server":"10.0.0.2","port":443,"type":{"@type":"proxyTypeMtproto",)"
      R"("secret":"dd00112233445566778899aabbccddeeff"}}}]})";
  Deliver({added});
  EXPECT_EQ(FWindow->StatusPanelText(2).toStdString().find("S0cks-pa55"), std::string::npos);
  Deliver({listed});
  const std::vector<std::string> log = Lines("memoLog");
  ASSERT_GE(log.size(), 2u);
  EXPECT_NE(log[log.size() - 2].find(R"("username":"alice","password":"***")"), std::string::npos);
  EXPECT_NE(log.back().find(R"("secret":"***")"), std::string::npos);
  for (const char* secret : {"S0cks-pa55", "dd00112233445566778899aabbccddeeff"}) {
    SCOPED_TRACE(secret);
    for (const std::string& line : log) EXPECT_EQ(line.find(secret), std::string::npos);
    EXPECT_EQ(FWindow->StatusPanelText(2).toStdString().find(secret), std::string::npos);
  }
}

// Double-clicks the last line of aMemo (its page shown first) and returns the clipboard's text.
std::string DoubleClickLastLine(QTabWidget* aPages, QWidget* aPage, TqvnLineView* aMemo) {
  aPages->setCurrentWidget(aPage);
  QCoreApplication::processEvents();
  QGuiApplication::clipboard()->clear();
  const QModelIndex last = aMemo->model()->index(aMemo->RowCount() - 1, 0);
  QTest::mouseDClick(aMemo->viewport(), Qt::LeftButton, {}, aMemo->visualRect(last).center());
  return QGuiApplication::clipboard()->text().toStdString();
}

TEST_F(WindowTest, ATwoMebibyteUnbrokenLineShowsItsBeginningAndCopiesWhole) {
  Open();
  Start();
  const std::string text(2u << 20, 'x');
  const std::string event = NewMessage(
      "7", R"({"@type":"messageText","text":{"@type":"formattedText","text":")" + text +
               R"(","entities":[]}})");
  Deliver({event});

  const std::string marker = "\xE2\x80\xA6 (" + std::to_string(event.size()) +
                             " bytes; double-click to copy all)";
  const std::vector<std::string> log = Lines("memoLog");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), event.substr(0, TqvnLineView::kMaxShownBytes) + marker);
  const std::vector<std::string> messages = Lines("memoMessages");
  ASSERT_EQ(messages.size(), 1u);
  const std::string message = "[Chat 7] User 7, 1970-01-01 00:00: " + text;
  EXPECT_EQ(messages[0], message.substr(0, TqvnLineView::kMaxShownBytes) + "\xE2\x80\xA6 (" +
                             std::to_string(message.size()) + " bytes; double-click to copy all)");
  EXPECT_LT(FWindow->StatusPanelText(2).size(), 1024);

  auto* pages = Control<QTabWidget>("PageControl1");
  EXPECT_EQ(DoubleClickLastLine(pages, Control<QWidget>("tabLog"),
                                Control<TqvnLineView>("memoLog")),
            event);
  EXPECT_EQ(FWindow->StatusPanelText(2).toStdString(),
            "The whole line (" + std::to_string(event.size()) + " bytes) is on the clipboard");
  EXPECT_EQ(DoubleClickLastLine(pages, Control<QWidget>("tabMessages"),
                                Control<TqvnLineView>("memoMessages")),
            message);
}

TEST_F(WindowTest, ADoubleClickOnALineShownWholeCopiesNothing) {
  Open();
  Start();
  Deliver({ConnectionState("connectionStateConnecting")});
  EXPECT_EQ(DoubleClickLastLine(Control<QTabWidget>("PageControl1"), Control<QWidget>("tabLog"),
                                Control<TqvnLineView>("memoLog")),
            "");
  EXPECT_EQ(FWindow->StatusPanelText(2).toStdString(),
            ConnectionState("connectionStateConnecting"));
}

}  // namespace
}  // namespace qvn::test
