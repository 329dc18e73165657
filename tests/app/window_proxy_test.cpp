// The proxy manager against the scripted fake TDLib: the requests its buttons and form send (in
// TDLib 1.8.67's layout), its table following TDLib's answers, and every refusal (the form's
// checks, TDLib's errors, bad links) shown in the dialog.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>

#include "ScriptedProxies.h"
#include "WindowFixture.h"
#include "app/qvnProxyManager.h"
#include "client/qvnTelegram_ChatRequests.h"

namespace qvn::test {
namespace {

constexpr const char* kSecret = "0123456789abcdef0123456789abcdef";

class ProxyManagerTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    FProxies = std::make_unique<TScriptedProxies>();  // after the fake's reset
    Open();
    Start();
    Trigger("ProxyManager1");
    FManager = FWindow->findChild<TqvnProxyManager*>("ProxyManager1");
    ASSERT_NE(FManager, nullptr);
    ASSERT_TRUE(FManager->isVisible());
    ASSERT_TRUE(WaitFor([] { return fake_td_pending_events() == 0; }));
  }

  QTableWidget* Table() { return Control<QTableWidget>("tblProxies"); }
  // The table's rows, their cells joined by "|".
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    for (int row = 0; row < Table()->rowCount(); ++row) {
      QStringList cells;
      for (int column = 0; column < Table()->columnCount(); ++column) {
        cells << Table()->item(row, column)->text();
      }
      rows.push_back(cells.join(QLatin1Char('|')).toStdString());
    }
    return rows;
  }
  // Waits until the table shows aRows.
  void ExpectRows(const std::vector<std::string>& aRows) {
    WaitFor([&] { return Rows() == aRows; }, 5000);
    EXPECT_EQ(Rows(), aRows);
  }
  std::string Status() { return Control<QLabel>("lblProxyStatus")->text().toStdString(); }
  void Click(const char* aButton) { Button(aButton)->click(); }

  // Fills the add form and saves it.
  void AddThroughTheForm(TqvnProxyKind aKind, const char* aServer, const char* aPort,
                         const char* aUserOrSecret = "", const char* aPassword = "") {
    Click("btnProxyAdd");
    Control<QComboBox>("cmbProxyType")->setCurrentIndex(static_cast<int>(aKind));
    Edit("txtProxyServer")->setText(QString::fromUtf8(aServer));
    Edit("txtProxyPort")->setText(QString::fromUtf8(aPort));
    Edit(aKind == TqvnProxyKind::mtproto ? "txtProxySecret" : "txtProxyUser")
        ->setText(QString::fromUtf8(aUserOrSecret));
    Edit("txtProxyPassword")->setText(QString::fromUtf8(aPassword));
    Click("btnProxySave");
  }

  void TearDown() override {
    WindowTest::TearDown();
    FProxies.reset();
  }

  std::unique_ptr<TScriptedProxies> FProxies;
  TqvnProxyManager* FManager = nullptr;
};

TEST_F(ProxyManagerTest, AddedProxiesAreListedAndTheButtonsSendTheirRequests) {
  ASSERT_EQ(SentOfType("getProxies").size(), 1u);  // opening lists them
  AddThroughTheForm(TqvnProxyKind::socks5, "10.0.0.1", "1080", "alice", "S0cks-pa55");
  ExpectRows({"1|10.0.0.1|1080|SOCKS5|✓|never|"});
  ASSERT_EQ(SentOfType("addProxy").size(), 1u);
  EXPECT_EQ(Untagged(SentOfType("addProxy")[0]),
            BuildAddProxySocks5("10.0.0.1", 1080, "alice", "S0cks-pa55", "1.8.67"));
  EXPECT_FALSE(Control<QWidget>("grpProxyForm")->isVisible());
  AddThroughTheForm(TqvnProxyKind::mtproto, " proxy.example ", "443", kSecret);
  ExpectRows({"1|10.0.0.1|1080|SOCKS5||never|", "2|proxy.example|443|MTProto|✓|never|"});
  EXPECT_EQ(Untagged(SentOfType("addProxy")[1]),
            BuildAddProxyMTProto("proxy.example", 443, kSecret, "1.8.67"));

  TqvnProxy socks;
  socks.Server = "10.0.0.1";
  socks.Port = 1080;
  socks.UserName = "alice";
  socks.Password = "S0cks-pa55";
  const struct {
    const char* Button;
    std::string Request;
    std::vector<std::string> Rows;
  } steps[] = {
      {"btnProxyEnable", BuildEnableProxy(1),
       {"1|10.0.0.1|1080|SOCKS5|✓|never|", "2|proxy.example|443|MTProto||never|"}},
      {"btnProxyPing", BuildPingProxy(1, socks, "1.8.67"),
       {"1|10.0.0.1|1080|SOCKS5|✓|never|123 ms", "2|proxy.example|443|MTProto||never|"}},
      {"btnProxyDisable", BuildDisableProxy(),
       {"1|10.0.0.1|1080|SOCKS5||never|123 ms", "2|proxy.example|443|MTProto||never|"}},
      {"btnProxyRemove", BuildRemoveProxy(1), {"2|proxy.example|443|MTProto||never|"}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.Button);
    Table()->selectRow(0);
    Click(step.Button);
    ExpectRows(step.Rows);
    const std::vector<std::string> sent =
        SentOfType(nlohmann::json::parse(step.Request).at("@type").get<std::string>());
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(Untagged(sent.back()), step.Request);
  }
  EXPECT_EQ(FDialogs.Confirmations, std::vector<std::string>{"Remove the proxy 10.0.0.1:1080?"});
  EXPECT_EQ(Status(), "");
  EXPECT_TRUE(FDialogs.Errors.empty());
  // TDLib's answers carried the password and the secret; the log shows them masked.
  for (const std::string& line : Lines("memoLog")) {
    EXPECT_EQ(line.find("S0cks-pa55"), std::string::npos) << line;
    EXPECT_EQ(line.find(kSecret), std::string::npos) << line;
  }
}

TEST_F(ProxyManagerTest, EditPrefillsTheFormMasksThePasswordAndSendsEditProxy) {
  AddThroughTheForm(TqvnProxyKind::http, "h.example", "8080", "bob", "Http-pa55");
  ExpectRows({"1|h.example|8080|HTTP|✓|never|"});
  Table()->selectRow(0);
  Click("btnProxyEdit");
  EXPECT_EQ(Control<QComboBox>("cmbProxyType")->currentText(), "HTTP");
  EXPECT_EQ(Edit("txtProxyServer")->text(), "h.example");
  EXPECT_EQ(Edit("txtProxyUser")->text(), "bob");
  QLineEdit* password = Edit("txtProxyPassword");
  EXPECT_EQ(password->text(), "Http-pa55");
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  Control<QCheckBox>("chkProxyShowPassword")->setChecked(true);
  EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
  EXPECT_FALSE(Edit("txtProxySecret")->isVisible());

  Edit("txtProxyPort")->setText("3128");
  Control<QCheckBox>("chkProxyHTTPOnly")->setChecked(true);
  Click("btnProxySave");
  ExpectRows({"1|h.example|3128|HTTP|✓|never|"});
  TqvnProxy edited;
  edited.Kind = TqvnProxyKind::http;
  edited.Server = "h.example";
  edited.Port = 3128;
  edited.UserName = "bob";
  edited.Password = "Http-pa55";
  edited.HTTPOnly = true;
  ASSERT_EQ(SentOfType("editProxy").size(), 1u);
  EXPECT_EQ(Untagged(SentOfType("editProxy")[0]), BuildEditProxy(1, edited, true, "1.8.67"));
}

TEST_F(ProxyManagerTest, RefusalsShowInTheDialog) {
  const struct {
    TqvnProxyKind Kind;
    const char* Server;
    const char* Port;
    const char* Secret;
    std::string Status;
  } invalid[] = {
      {TqvnProxyKind::socks5, "", "1080", "", "Enter the proxy's server"},
      {TqvnProxyKind::socks5, "a b", "1080", "", "The server \"a b\" has blanks"},
      {TqvnProxyKind::http, "h", "0", "", "The port must be a number from 1 to 65535."},
      {TqvnProxyKind::http, "h", "x1", "", "The port must be a number from 1 to 65535."},
      {TqvnProxyKind::mtproto, "h", "443", "abc", "The secret is not one Telegram accepts"},
  };
  for (const auto& c : invalid) {
    SCOPED_TRACE(c.Status);
    AddThroughTheForm(c.Kind, c.Server, c.Port, c.Secret);
    EXPECT_EQ(Status().substr(0, c.Status.size()), c.Status);
    EXPECT_TRUE(Control<QWidget>("grpProxyForm")->isVisible());  // still there to correct
    Click("btnProxyCancel");
  }
  EXPECT_TRUE(SentOfType("addProxy").empty());

  // TDLib's refusal, with its message and code; the form stays open.
  FProxies->Refusals["addProxy"] = {400, "Wrong server name"};
  AddThroughTheForm(TqvnProxyKind::socks5, "h", "1080");
  EXPECT_TRUE(WaitFor([&] { return !Status().empty(); }));
  EXPECT_EQ(Status(), "The proxy could not be added: Wrong server name (error 400)");
  EXPECT_TRUE(Control<QWidget>("grpProxyForm")->isVisible());
  EXPECT_TRUE(FDialogs.Errors.empty());  // in the dialog, not (also) in the error box

  // A failed ping shows in its row.
  FProxies->Refusals.erase("addProxy");
  FProxies->Refusals["pingProxy"] = {400, "Proxy is unreachable"};
  Click("btnProxySave");
  ExpectRows({"1|h|1080|SOCKS5|✓|never|"});
  Table()->selectRow(0);
  Click("btnProxyPing");
  ExpectRows({"1|h|1080|SOCKS5|✓|never|Proxy is unreachable (error 400)"});
  EXPECT_TRUE(FDialogs.Errors.empty());
}

// A link from the program's command line, or pasted, opens the add form prefilled; nothing is
// added before the user confirms. A bad link says why in the dialog.
TEST_F(ProxyManagerTest, LinksOpenThePrefilledFormAndBadOnesSayWhy) {
  Control<QPushButton>("btnProxyClose")->click();
  // As the program's command line hands it over (a second start passes it on).
  FWindow->CommandLineReceived(
      {QString::fromStdString("https://t.me/proxy?server=p.example&port=443&secret=" +
                              std::string(kSecret))});
  ASSERT_TRUE(FManager->isVisible());
  EXPECT_TRUE(Control<QWidget>("grpProxyForm")->isVisible());
  EXPECT_EQ(Control<QComboBox>("cmbProxyType")->currentText(), "MTProto");
  EXPECT_EQ(Edit("txtProxyServer")->text(), "p.example");
  EXPECT_EQ(Edit("txtProxyPort")->text(), "443");
  EXPECT_EQ(Edit("txtProxySecret")->text(), kSecret);
  EXPECT_TRUE(SentOfType("addProxy").empty());
  Click("btnProxySave");
  ExpectRows({"1|p.example|443|MTProto|✓|never|"});
  EXPECT_EQ(Untagged(SentOfType("addProxy")[0]),
            BuildAddProxyMTProto("p.example", 443, kSecret, "1.8.67"));

  QApplication::clipboard()->setText(QStringLiteral("tg://socks?server=s&port=1080&user=a%20b"));
  Click("btnProxyPasteLink");
  EXPECT_EQ(Control<QComboBox>("cmbProxyType")->currentText(), "SOCKS5");
  EXPECT_EQ(Edit("txtProxyUser")->text(), "a b");
  Click("btnProxyCancel");

  QApplication::clipboard()->setText(QStringLiteral("tg://proxy?server=s&port=99999&secret=x"));
  Click("btnProxyPasteLink");
  EXPECT_EQ(Status(), "The port must be a number from 1 to 65535.");
  EXPECT_FALSE(Control<QWidget>("grpProxyForm")->isVisible());
  EXPECT_EQ(SentOfType("addProxy").size(), 1u);
}

}  // namespace
}  // namespace qvn::test
