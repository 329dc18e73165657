// The conversation's rows on the scripted account's "Design Team" chat: what each row shows
// (sender and grouping, day separators, formatting ranges, reply quotes, forward lines, edits,
// reactions, read marks) comes from the texts it was read from; a change touches only its rows;
// clicks on spoilers, links and mentions do what they say.
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "WindowFixture.h"
#include "app/qvnConversationModel.h"

namespace qvn::test {
namespace {

constexpr int64_t kDesign = -1001000000010;
constexpr int64_t kMarta = 6100000011;

int64_t MessageId(int aNumber) {
  return int64_t{aNumber} << 20;
}

// "Friday, 2 January", with the year once the scripted year is over.
QString Day(int aDay, const char* aWeekday) {
  const QString day = QString::fromLatin1(aWeekday) + QStringLiteral(", ") + QString::number(aDay) +
                      QStringLiteral(" January");
  return QDate::currentDate().year() == 2026 ? day : day + QStringLiteral(" 2026");
}

class MessageRowsTest : public LoggedInWindowTest {
 protected:
  void SetUp() override {
    LoggedInWindowTest::SetUp();
    FWindow->resize(900, 700);
    FAccount->PageSize = 50;
    ClickChat("Design Team");
    ASSERT_TRUE(WaitFor([&] {
      Conversation()->verticalScrollBar()->setValue(0);
      const TqvnConversation* conversation = FWindow->Model().Conversation(kDesign);
      return conversation != nullptr && conversation->HistoryComplete;
    }));
    QCoreApplication::processEvents();
  }

  QAbstractItemModel* Rows() { return Conversation()->model(); }
  QModelIndex Row(int64_t aMessageId) {
    for (int i = 0; i < ConversationCount(); ++i) {
      if (ConversationRow(i).data(TqvnConversationModel::kMessageIdRole).toLongLong() == aMessageId) {
        return ConversationRow(i);
      }
    }
    ADD_FAILURE() << "no row for " << aMessageId;
    return {};
  }
  QString Role(int64_t aMessageId, int aRole) { return Row(aMessageId).data(aRole).toString(); }
  // Clicks the middle of the body's UTF-16 range [aOffset, aOffset + aLength) of a row.
  void ClickText(int64_t aMessageId, int aOffset, int aLength) {
    const QModelIndex row = Row(aMessageId);
    Conversation()->scrollTo(row);
    const QRect range = Conversation()->TextRangeRect(row, aOffset, aLength);
    ASSERT_FALSE(range.isEmpty());
    QTest::mouseClick(Conversation()->viewport(), Qt::LeftButton, {}, range.center());
  }
};

TEST_F(MessageRowsTest, RowsShowWhatTheirTextsSay) {
  using M = TqvnConversationModel;
  const struct {
    int Message;
    QString Day;
    const char* Reply;
    const char* Forward;
    bool Edited;
    const char* Reactions;
    const char* ReadState;
  } rows[] = {
      {1, Day(2, "Friday"), "", "", false, "", ""},
      {2, "", "", "", false, "", ""},
      {4, Day(3, "Saturday"), "", "", false, "", ""},
      {6, "", "Marta Silva: Photo (1280×960, 341.8 KB): First moodboard", "", false, "❤️ 3  🔥 1", ""},
      {7, Day(4, "Sunday"), "", "", true, "", ""},
      {8, "", "", "Forwarded from Product Updates", false, "", ""},
      {12, "", "", "", false, "👍 4  🎉 2  ★ 1", "sent"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Message);
    const int64_t id = MessageId(r.Message);
    EXPECT_EQ(Role(id, M::kDaySeparatorRole), r.Day);
    EXPECT_EQ(Role(id, M::kReplyRole), QString::fromUtf8(r.Reply));
    EXPECT_EQ(Role(id, M::kForwardRole), QString::fromUtf8(r.Forward));
    EXPECT_EQ(Row(id).data(M::kEditedRole).toBool(), r.Edited);
    EXPECT_EQ(Role(id, M::kReactionsRole), QString::fromUtf8(r.Reactions));
    EXPECT_EQ(Role(id, M::kReadStateRole), QString::fromUtf8(r.ReadState));
  }
  // What happened in the chat is a service row; a photo shows its minithumbnail until its file
  // is there; a text keeps TDLib's ranges, in UTF-16 units.
  EXPECT_TRUE(Row(MessageId(1)).data(M::kServiceRole).toBool());
  EXPECT_EQ(Role(MessageId(1), M::kMediaRole), "Alice Moreau added Marta Silva and Jonas Berg");
  EXPECT_EQ(Role(MessageId(5), M::kPictureRole), "thumbnail");
  EXPECT_EQ(Role(MessageId(5), M::kBodyRole), "First moodboard");
  QStringList entities;
  for (const QVariant& entity : Row(MessageId(4)).data(M::kEntitiesRole).toList()) {
    const QVariantMap range = entity.toMap();
    entities << range["Type"].toString() + QLatin1Char(' ') +
                    Role(MessageId(4), M::kBodyRole).mid(range["Offset"].toInt(), range["Length"].toInt());
  }
  EXPECT_EQ(entities.join(", "),
            "TextUrl wiki, Url https://figma.example/team, Mention @marta, Hashtag #design");
}

// A new message adds one row, measured once; the row before it loses nothing, and the new one
// is grouped under it (no name) when the same sender wrote within minutes.
TEST_F(MessageRowsTest, ANewMessageInsertsOneRowMeasuredOnce) {
  using M = TqvnConversationModel;
  QSignalSpy inserted(Rows(), &QAbstractItemModel::rowsInserted);
  QSignalSpy reset(Rows(), &QAbstractItemModel::modelReset);
  QSignalSpy changed(Rows(), &QAbstractItemModel::dataChanged);
  const int rows = ConversationCount();
  const int measured = Conversation()->Measurements();
  const int64_t date = Row(MessageId(13)).data(M::kMessageIdRole).toLongLong() != 0
                           ? FWindow->Model().FindMessage(kDesign, MessageId(13))->Date + 60
                           : 0;
  Deliver({R"({"@type":"updateNewMessage","message":{"@type":"message","id":14680064,"sender_id":{"@type":"messageSenderUser","user_id":6100000011},"chat_id":-1001000000010,"is_outgoing":false,"date":)" +
           std::to_string(date) +
           R"(,"content":{"@type":"messageText","text":{"@type":"formattedText","text":"Bringing **snacks**","entities":[]}}}})"});
  ASSERT_EQ(ConversationCount(), rows + 1);
  ASSERT_EQ(inserted.size(), 1);
  EXPECT_EQ(inserted[0][1].toInt(), rows);
  EXPECT_EQ(inserted[0][2].toInt(), rows);
  EXPECT_EQ(reset.size(), 0);
  EXPECT_EQ(changed.size(), 0);
  EXPECT_EQ(Conversation()->Measurements(), measured + 1);
  EXPECT_EQ(Role(MessageId(14), M::kSenderRole), "");
  EXPECT_EQ(Role(MessageId(13), M::kSenderRole), "Marta Silva");

  // Deleting the first of the two gives the second its name back.
  Deliver({R"({"@type":"updateDeleteMessages","chat_id":-1001000000010,"message_ids":[13631488],"is_permanent":true,"from_cache":false})"});
  EXPECT_EQ(ConversationCount(), rows);
  EXPECT_EQ(Role(MessageId(14), M::kSenderRole), "Marta Silva");
  EXPECT_EQ(reset.size(), 0);
}

TEST_F(MessageRowsTest, ReadOutboxTurnsSentIntoRead) {
  using M = TqvnConversationModel;
  QSignalSpy changed(Rows(), &QAbstractItemModel::dataChanged);
  EXPECT_EQ(Role(MessageId(12), M::kReadStateRole), "sent");
  Deliver({R"({"@type":"updateChatReadOutbox","chat_id":-1001000000010,"last_read_outbox_message_id":12582912})"});
  EXPECT_EQ(Role(MessageId(12), M::kReadStateRole), "read");
  // Only the rows the new mark passed over (from none read) were redrawn, the newer one not.
  ASSERT_EQ(changed.size(), 1);
  EXPECT_EQ(changed[0][0].value<QModelIndex>().row(), 0);
  EXPECT_EQ(changed[0][1].value<QModelIndex>().row(), Row(MessageId(12)).row());
}

TEST_F(MessageRowsTest, AClickRevealsASpoiler) {
  using M = TqvnConversationModel;
  EXPECT_FALSE(Row(MessageId(3)).data(M::kSpoilersShownRole).toBool());
  ClickText(MessageId(3), 19, 6);  // "secret"
  EXPECT_TRUE(Row(MessageId(3)).data(M::kSpoilersShownRole).toBool());
  EXPECT_TRUE(FDialogs.Opened.empty());
}

TEST_F(MessageRowsTest, LinksAskThenOpenInTheBrowser) {
  const struct {
    const char* Name;
    int Offset, Length;
    bool Agree;
    std::vector<std::string> Asked, Opened;
  } cases[] = {
      {"a hidden address, refused", 13, 4, false, {"https://wiki.example/specs"}, {}},
      {"an address in the text", 30, 26, true, {"https://figma.example/team"},
       {"https://figma.example/team"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    FDialogs.LinkQuestions.clear();
    FDialogs.OpenedUrls.clear();
    FDialogs.OpenLinks = c.Agree;
    ClickText(MessageId(4), c.Offset, c.Length);
    EXPECT_EQ(FDialogs.LinkQuestions, c.Asked);
    EXPECT_EQ(FDialogs.OpenedUrls, c.Opened);
  }
}

TEST_F(MessageRowsTest, AMentionOpensItsChatAndAHashtagFindsTheLastMessageWithIt) {
  ClickText(MessageId(4), 57, 6);  // "@marta"
  const std::vector<std::string> searches = SentOfType("searchPublicChat");
  ASSERT_EQ(searches.size(), 1u);
  EXPECT_NE(searches[0].find("\"username\": \"marta\""), std::string::npos) << searches[0];
  const size_t extra = searches[0].find("\"@extra\":");
  ASSERT_NE(extra, std::string::npos);
  const std::string tag = searches[0].substr(extra + 9, searches[0].rfind('}') - extra - 9);
  Deliver({R"({"@type":"chat","id":6100000011,"type":{"@type":"chatTypePrivate","user_id":6100000011},"title":"Marta Silva","positions":[],"@extra":)" +
           tag + "}"});
  EXPECT_EQ(FWindow->ChatId(), std::to_string(kMarta));
  EXPECT_EQ(Chats()->currentItem()->text(), "Marta Silva");

  // Back in the group: no earlier message has #design, and the status bar says so.
  ClickChat("Design Team");
  Deliver({});
  ClickText(MessageId(4), 64, 7);
  EXPECT_NE(FWindow->StatusPanelText(2).indexOf("#design"), -1) << FWindow->StatusPanelText(2).toStdString();
}

TEST_F(MessageRowsTest, AReplyQuoteShowsTheQuotedMessage) {
  const QModelIndex reply = Row(MessageId(6));
  Conversation()->scrollTo(reply, QAbstractItemView::PositionAtBottom);
  emit Conversation()->ReplyClicked(MessageId(5));
  EXPECT_EQ(Conversation()->currentIndex(), Row(MessageId(5)));
  EXPECT_TRUE(Conversation()->viewport()->rect().intersects(Conversation()->visualRect(Row(MessageId(5)))));
}

}  // namespace
}  // namespace qvn::test
