// The client's request methods end to end on the scripted fake TDLib: what reaches
// td_json_client_send, the bot rule of the chat lists, the refused arguments, and the layouts
// chosen by the version TDLib reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnTelegram_ChatRequests.h"
#include "client/qvnTelegram_MessageActions.h"
#include "client/qvnTelegram_MessageRequests.h"
#include "fake_tdjson.h"
#include "spine_test_support.h"

namespace qvn::test {
namespace {

class ClientRequests : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_td_reset();
    FClient.SetActive(true);
    ASSERT_TRUE(FClient.Active());
    FSentBefore = fake_td::Sent().size();
  }
  void TearDown() override {
    FClient.SetActive(false);
    PumpMainThreadQueue();
    EXPECT_EQ(fake_td_misuse_count(), 0);
  }

  // The texts sent since the test's own calls began.
  std::vector<std::string> SentByTest() const {
    const std::vector<std::string> sent = fake_td::Sent();
    return {sent.begin() + static_cast<std::ptrdiff_t>(FSentBefore), sent.end()};
  }

  // Lets the client learn TDLib's version the way TDLib tells it.
  void ReportVersion(const std::string& aVersion) {
    fake_td_queue_event(("{\"@type\":\"updateOption\",\"name\":\"version\",\"value\":{\"@type\":"
                         "\"optionValueString\",\"value\":\"" +
                         aVersion + "\"}}")
                            .c_str());
    ASSERT_TRUE(PumpUntil([&] {
      FClient.Tick();
      return FClient.TDLibVersion() == aVersion;
    }));
  }

  TestClient FClient;
  EventRecorder FRecorder{FClient};
  size_t FSentBefore = 0;
};

TEST_F(ClientRequests, WindowRequestsReachTDLibAsBuilt) {
  FClient.SendRichTextMessage("-100123", "say **\"hi\"** 100%s");
  FClient.SendDocumentMessage("-100123", "/home/u/r\xC3\xA9sum\xC3\xA9.pdf");
  FClient.GetChats(2147483647, 0, 50);
  FClient.OpenChat(-4000000001);
  FClient.GetChatHistory(-4000000001, 117440512, 0, 50);
  FClient.ViewMessages(-4000000001, {105906176, 117440512}, true);
  FClient.DownloadFile(501, 1);
  FClient.ResendMessages(-4000000001, {117440514});
  FClient.DeleteMessages(-4000000001, {117440514}, true);
  FClient.ForwardMessages(6100000001, -4000000001, {117440514});
  FClient.SetChatDraftMessage(-4000000001, "draft \"1\"");
  FClient.GetMessageProperties(-4000000001, 117440514);
  FClient.CloseChat(-4000000001);
  EXPECT_EQ(SentByTest(),
            (std::vector<std::string>{
                BuildSendRichTextMessage("-100123", "say **\"hi\"** 100%s", nullptr, nullptr),
                BuildSendDocumentMessage("-100123", "/home/u/r\xC3\xA9sum\xC3\xA9.pdf", nullptr,
                                         nullptr, "1.8.67"),
                BuildGetChats(2147483647, 0, 50, FClient.Id(), "1.8.67"),
                BuildOpenChat(-4000000001),
                BuildGetChatHistory(-4000000001, 117440512, 0, 50),
                BuildViewMessages(-4000000001, {105906176, 117440512}, true, "1.8.67"),
                BuildDownloadFile(501, 1),
                BuildResendMessages(-4000000001, {117440514}),
                BuildDeleteMessages(-4000000001, {117440514}, true),
                BuildForwardMessages(6100000001, -4000000001, {117440514}),
                BuildSetChatDraftMessage(-4000000001, "draft \"1\"", "1.8.67"),
                BuildGetMessageProperties(-4000000001, 117440514),
                BuildCloseChat(-4000000001),
            }));
  EXPECT_TRUE(FRecorder.Exceptions().empty());
}

TEST_F(ClientRequests, ChatListRequestsSendNothingForABot) {
  FClient.Telegram().SetBotToken("123:abc");
  FClient.GetChats(2147483647, 0, 50);
  FClient.LoadChats(50);
  EXPECT_TRUE(SentByTest().empty());
}

// Arguments TDLib cannot take are refused through OnException, and nothing reaches TDLib.
TEST_F(ClientRequests, RefusedArgumentsSendNothingAndSayWhy) {
  TqvnTelegramReplyMarkupInlineKeyboard inlineKeyboard;
  inlineKeyboard.AddButtonTypeCallback("Yes", "y");
  TqvnTelegramReplyMarkupShowKeyboard showKeyboard;
  showKeyboard.AddButtonTypeText("OK");
  TqvnTelegramSendInvoice invoice;
  FClient.SendTextMessage("-1", "x", &inlineKeyboard, &showKeyboard);
  FClient.SendRichTextMessage("-1", "x", &inlineKeyboard, &showKeyboard);
  FClient.SendDocumentMessage("-1", "a", &inlineKeyboard, &showKeyboard);
  FClient.SendPhotoMessage("-1", "a", 1, 1, &inlineKeyboard, &showKeyboard);
  FClient.SendVideoMessage("-1", "a", 1, 1, 1, &inlineKeyboard, &showKeyboard);
  FClient.SendInvoiceMessage("-1", &invoice, &inlineKeyboard, &showKeyboard);
  FClient.EditTextMessage("-1", "2", "x", &inlineKeyboard, &showKeyboard);
  FClient.SendVideoMessage("-1", "a", 1, 1, 5000000000LL);
  EXPECT_TRUE(SentByTest().empty());
  ASSERT_EQ(FRecorder.Exceptions().size(), 8u);
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_NE(FRecorder.Exceptions()[i].find("one keyboard"), std::string::npos) << i;
  }
  EXPECT_NE(FRecorder.Exceptions()[7].find("5000000000 s"), std::string::npos);

  FClient.SendTextMessage("-1", "x", &inlineKeyboard, nullptr);
  EXPECT_EQ(SentByTest(),
            (std::vector<std::string>{BuildSendTextMessage("-1", "x", &inlineKeyboard, nullptr)}));
}

TEST_F(ClientRequests, NullInvoiceIsRefusedThroughOnException) {
  FClient.SendInvoiceMessage("-100123", nullptr);
  EXPECT_TRUE(SentByTest().empty());
  ASSERT_EQ(FRecorder.Exceptions().size(), 1u);
  EXPECT_NE(FRecorder.Exceptions()[0].find("no invoice"), std::string::npos);

  TqvnTelegramSendInvoice invoice;
  FClient.SendInvoiceMessage("-100123", &invoice);
  EXPECT_EQ(
      SentByTest(),
      (std::vector<std::string>{BuildSendInvoiceMessage("-100123", invoice, nullptr, nullptr)}));
}

// The fake tells its version (1.8.67) synchronously at activation, so the first requests are
// already laid out for it; a version TDLib reports later takes over.
TEST_F(ClientRequests, LayoutsFollowTheVersionTDLibReports) {
  FClient.DeleteSupergroup(77);
  FClient.AddProxyMTProto("s", 443, "ab");
  FClient.SendPhotoMessage("-1", "p.jpg", 1, 2);
  FClient.GetChatSponsoredMessage("-1");
  FClient.GetChats(2147483647, 0, 50);
  FClient.LoadChats(20);
  FClient.ViewMessages(-1, {2}, false);
  FClient.SetChatDraftMessage(-1, "d");
  ReportVersion("1.6.4");
  FClient.DeleteSupergroup(77);
  FClient.AddProxyMTProto("s", 443, "ab");
  FClient.ViewMessages(-1, {2}, false);
  FClient.SetChatDraftMessage(-1, "d");
  EXPECT_EQ(SentByTest(),
            (std::vector<std::string>{
                BuildDeleteSupergroup(77, "1.8.67"),
                BuildAddProxyMTProto("s", 443, "ab", "1.8.67"),
                BuildSendPhotoMessage("-1", "p.jpg", 1, 2, nullptr, nullptr, "1.8.67"),
                BuildGetChatSponsoredMessage("-1", "1.8.67"),
                BuildGetChats(2147483647, 0, 50, FClient.Id(), "1.8.67"),
                BuildLoadChats(20, FClient.Id(), "1.8.67"),
                BuildViewMessages(-1, {2}, false, "1.8.67"),
                BuildSetChatDraftMessage(-1, "d", "1.8.67"),
                BuildDeleteSupergroup(77, "1.6.4"),
                BuildAddProxyMTProto("s", 443, "ab", "1.6.4"),
                BuildViewMessages(-1, {2}, false, "1.6.4"),
                BuildSetChatDraftMessage(-1, "d", "1.6.4"),
            }));
  EXPECT_NE(SentByTest()[0].find("deleteChat"), std::string::npos);
}

TEST(ClientRequestsInactive, SendNothingAndRaiseNothing) {
  fake_td_reset();
  TestClient client;
  EventRecorder recorder(client);
  client.SendTextMessage("1", "x");
  client.GetProxies();
  client.AddProxySocks5("s", 1, "u", "p");
  EXPECT_TRUE(fake_td::Sent().empty());
  EXPECT_TRUE(recorder.Exceptions().empty());
}

}  // namespace
}  // namespace qvn::test
