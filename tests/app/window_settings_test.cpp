// The window's settings file: read at creation, written at each close.

#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSplitter>
#include <QTest>
#include <filesystem>

#include "WindowFixture.h"

namespace qvn::test {
namespace {

TEST_F(WindowTest, NoSettingsFileGivesEmptyEntriesAndUserLogin) {
  Open();
  for (const char* edit : {"txtApiId", "txtApiHash", "txtPhoneNumber", "txtBotToken"}) {
    EXPECT_EQ(Edit(edit)->text(), "") << edit;
  }
  EXPECT_FALSE(LoginBot()->isChecked());
  EXPECT_TRUE(Edit("txtPhoneNumber")->isEnabled());
  EXPECT_FALSE(Edit("txtBotToken")->isEnabled());
}

TEST_F(WindowTest, LoginBotValuesAndTheEditsThatFollowThem) {
  const struct {
    const char* Value;
    bool Checked;
  } cases[] = {{"1", true},  {"7", true},    {"0x1", true},   {"$A", true}, {"-1", true},
               {"0", false}, {"yes", false}, {"true", false}, {"", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("LoginBot=") + c.Value);
    WriteText(FSettings, std::string("[TELEGRAM]\nApiId=123\nApiHash=h\nPhoneNumber=+1\n"
                                    "BotToken=t\nLoginBot=") +
                            c.Value + "\n");
    Open();
    EXPECT_EQ(Edit("txtApiId")->text(), "123");
    EXPECT_EQ(Edit("txtApiHash")->text(), "h");
    EXPECT_EQ(Edit("txtPhoneNumber")->text(), "+1");
    EXPECT_EQ(Edit("txtBotToken")->text(), "t");
    EXPECT_EQ(LoginBot()->isChecked(), c.Checked);
    EXPECT_EQ(Edit("txtPhoneNumber")->isEnabled(), !c.Checked);
    EXPECT_EQ(Edit("txtBotToken")->isEnabled(), c.Checked);
    FWindow.reset();
  }
}

TEST_F(WindowTest, ClickingLoginBotSwapsTheEnabledEditAndKeepsTexts) {
  Open();
  Edit("txtPhoneNumber")->setText("+1");
  QTest::mouseClick(LoginBot(), Qt::LeftButton, {}, QPoint(5, LoginBot()->height() / 2));
  EXPECT_TRUE(LoginBot()->isChecked());
  EXPECT_FALSE(Edit("txtPhoneNumber")->isEnabled());
  EXPECT_TRUE(Edit("txtBotToken")->isEnabled());
  EXPECT_EQ(Edit("txtPhoneNumber")->text(), "+1");
}

TEST_F(WindowTest, FirstCloseWritesTheFiveKeysInOrderOwnerOnly) {
  Open();
  Edit("txtApiId")->setText("123");
  Edit("txtApiHash")->setText("hash");
  Edit("txtPhoneNumber")->setText("+15550100");
  Edit("txtBotToken")->setText("1:tok");  // disabled edits are saved too
  const std::string width = std::to_string(Chats()->width());
  EXPECT_TRUE(FWindow->close());
  EXPECT_EQ(ReadText(FSettings),
            "[TELEGRAM]\nApiId=123\nApiHash=hash\nPhoneNumber=+15550100\nBotToken=1:tok\n"
            "LoginBot=0\n[WINDOW]\nChatListWidth=" +
                width + "\n[SESSION]\nLoggedIn=0\n");
  EXPECT_EQ(ModeOf(FSettings), 0600);

  FWindow.reset();
  Open();
  EXPECT_EQ(Edit("txtBotToken")->text(), "1:tok");
  LoginBot()->setChecked(true);
  Trigger("Exit1");  // Exit saves exactly as closing does
  EXPECT_FALSE(FWindow->isVisible());
  EXPECT_NE(ReadText(FSettings).find("LoginBot=1\n"), std::string::npos);
}

TEST_F(WindowTest, CloseKeepsOtherSectionsAndKeys) {
  WriteText(FSettings,
            "[Window]\nLeft=10\n\n[TELEGRAM]\nTheme=dark\nApiId=1\nLoginBot=1\n\n[Zeta]\nk=v\n");
  Open();
  Edit("txtApiId")->setText("2");
  Control<QSplitter>("splitMessages")->setSizes({300, 1000});
  ASSERT_TRUE(FWindow->close());
  EXPECT_EQ(ReadText(FSettings),
            "[Window]\nLeft=10\nChatListWidth=300\n\n[TELEGRAM]\nTheme=dark\nApiId=2\n"
            "LoginBot=1\nApiHash=\nPhoneNumber=\nBotToken=\n\n[Zeta]\nk=v\n[SESSION]\nLoggedIn=0\n");
}

// The width the user gave the chat list comes back at the next start; a width that is missing
// or not a positive number gives the default, and the login entries are read all the same.
TEST_F(WindowTest, TheChatListsWidthIsSavedAndRestored) {
  Open();
  const int standard = Chats()->width();
  Control<QSplitter>("splitMessages")->setSizes({standard + 57, 1000});
  ASSERT_TRUE(FWindow->close());
  FWindow.reset();
  Open();
  EXPECT_EQ(Chats()->width(), standard + 57);
  FWindow.reset();

  for (const char* value : {"", "wide", "0", "-40", "99999999999"}) {
    SCOPED_TRACE(std::string("ChatListWidth=") + value);
    WriteText(FSettings,
              std::string("[WINDOW]\nChatListWidth=") + value + "\n[TELEGRAM]\nApiId=123\n");
    Open();
    QCoreApplication::processEvents();
    EXPECT_EQ(Chats()->width(), standard);
    EXPECT_EQ(Edit("txtApiId")->text(), "123");
    FWindow.reset();
  }
}

// Settings that cannot be saved ask whether to close anyway: Cancel keeps the window open,
// "Close without saving" closes it.
TEST_F(WindowTest, UnwritableSettingsOfferToCloseWithoutSaving) {
  const struct {
    const char* Name;
    std::function<std::string()> Make;  // returns the settings path
  } cases[] = {
      {"a parent that is a file",
       [this] {
         WriteText(FDir.File("not-a-folder"), "");
         return FDir.File("not-a-folder") + "/velune-telegram.ini";
       }},
      {"a folder that does not exist",
       [this] { return FDir.File("missing") + "/velune-telegram.ini"; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    FSettings = c.Make();
    FDialogs.CloseQuestions.clear();
    Open();
    FDialogs.CloseWithoutSaving = false;
    EXPECT_FALSE(FWindow->close());
    EXPECT_TRUE(FWindow->isVisible());
    ASSERT_EQ(FDialogs.CloseQuestions.size(), 1u);
    EXPECT_EQ(FDialogs.CloseQuestions[0], "Unable to write to " + FSettings);
    FDialogs.CloseWithoutSaving = true;
    EXPECT_TRUE(FWindow->close());
    EXPECT_EQ(FDialogs.CloseQuestions.size(), 2u);
    FWindow.reset();
  }
}

TEST_F(WindowTest, SettingsThatCannotBeReadSafelyAreReportedAndLeftAsTheyAre) {
  const struct {
    const char* Name;
    std::function<void(const std::string&)> Make;
    const char* Reason;
  } cases[] = {
      {"a FIFO", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
       "is a named pipe, not a regular file"},
      {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); },
       "is a folder, not a regular file"},
      {"a file of several GiB",
       [](const std::string& p) {
         WriteText(p, "[TELEGRAM]\nApiId=1\n");
         ASSERT_EQ(truncate(p.c_str(), off_t{4} << 30), 0);
       },
       "is larger than 1 MiB (4294967296 bytes)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::filesystem::remove_all(FSettings);
    c.Make(FSettings);
    struct stat before {};
    ASSERT_EQ(lstat(FSettings.c_str(), &before), 0);

    Open();
    const std::string told = "Settings not read: " + FSettings + " " + c.Reason +
                             ". The entries start empty and are not saved on closing.";
    EXPECT_EQ(Lines("memoLog"), std::vector<std::string>{told});
    EXPECT_EQ(FWindow->StatusPanelText(2).toStdString(), told);
    EXPECT_EQ(Edit("txtApiId")->text(), "");
    Edit("txtApiId")->setText("2");
    EXPECT_TRUE(FWindow->close()) << "the window closes without saving";
    EXPECT_THAT(FDialogs.Errors, ::testing::IsEmpty());

    struct stat after {};
    ASSERT_EQ(lstat(FSettings.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_size, before.st_size);
    FWindow.reset();
  }
}

TEST_F(WindowTest, ASettingsFileOpenToOthersIsMadeOwnerOnlyAndTheUserToldOnce) {
  WriteText(FSettings, "[TELEGRAM]\nApiHash=h\n");
  ASSERT_EQ(chmod(FSettings.c_str(), 0644), 0);
  Open();
  EXPECT_EQ(Edit("txtApiHash")->text(), "h");
  EXPECT_EQ(ModeOf(FSettings), 0600);
  EXPECT_EQ(Lines("memoLog"),
            std::vector<std::string>{FSettings +
                                     " was open to other users (mode 0644); it is now readable "
                                     "by its owner only (0600)"});
  ASSERT_TRUE(FWindow->close());
  FWindow.reset();
  Open();
  EXPECT_THAT(Lines("memoLog"), ::testing::IsEmpty());
}

TEST_F(WindowTest, StartUpRemovesTemporaryFilesOfSavesCutShort) {
  WriteText(FSettings, "[TELEGRAM]\nApiId=1\n");
  WriteText(FSettings + ".saving-Ab3dE9", "[TELEGRAM]\nApiHash=secret\n");
  WriteText(FSettings + ".bak", "kept");
  Open();
  EXPECT_FALSE(std::filesystem::exists(FSettings + ".saving-Ab3dE9"));
  EXPECT_TRUE(std::filesystem::exists(FSettings + ".bak"));
  EXPECT_EQ(Edit("txtApiId")->text(), "1");
}

// Closed while logged in, the window starts the client by itself at the next launch (TDLib kept
// the session); closed after Stop, it waits for Start again.
TEST_F(LoggedInWindowTest, ASavedSessionStartsAtLaunch) {
  ASSERT_TRUE(FWindow->close());
  EXPECT_NE(ReadText(FSettings).find("[SESSION]\nLoggedIn=1\n"), std::string::npos);
  FWindow.reset();
  Open();
  EXPECT_FALSE(FWindow->QvnTelegram().Active());  // not while the window is being built
  ASSERT_TRUE(WaitFor([this] { return FWindow->QvnTelegram().Active(); }));
  EXPECT_TRUE(FDialogs.Errors.empty());

  Button("btnStop")->click();
  ASSERT_TRUE(FWindow->close());
  EXPECT_NE(ReadText(FSettings).find("[SESSION]\nLoggedIn=0\n"), std::string::npos);
  FWindow.reset();
  Open();
  EXPECT_FALSE(WaitFor([this] { return FWindow->QvnTelegram().Active(); }, 300));
}

}  // namespace
}  // namespace qvn::test
