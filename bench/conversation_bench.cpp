// One new message in the open conversation of the real window (Qt offscreen, scripted fake
// TDLib) with 100, 1,000 and 5,000 messages loaded: the main thread's CPU time per message, from
// the text's arrival to the conversation repainted, the median of a run of messages. Peer in the
// same run: the chat model's Apply of the same text alone, with as many messages held. The
// window's figure should stay flat as the history grows (the conversation's rows are updated by
// the change, measured and painted only where they change or show).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/qvnChatModel.h"
#include "app/qvnConversationView.h"
#include "bench_support.h"
#include "window_burst.h"

namespace qvn::bench {
namespace {

constexpr int64_t kChatId = -1001777000001;
constexpr int kMeasured = 40;  // new messages timed per history length

const std::string kNewChat =
    R"({"@type":"updateNewChat","chat":{"@type":"chat","id":-1001777000001,"type":{"@type":"chatTypeSupergroup","supergroup_id":1777000001,"is_channel":false},"title":"Benchmark group","positions":[{"@type":"chatPosition","list":{"@type":"chatListMain"},"order":"9000000000000000000","is_pinned":false}],"unread_count":0,"last_read_inbox_message_id":0,"last_read_outbox_message_id":0}})";

// The n-th message of the group: four senders taking turns, a minute apart, some formatting.
std::string Message(int aNumber) {
  const int64_t id = int64_t{aNumber + 1} << 20;
  const int sender = 6200000001 + aNumber % 4;
  return R"({"@type":"updateNewMessage","message":{"@type":"message","id":)" + std::to_string(id) +
         R"(,"sender_id":{"@type":"messageSenderUser","user_id":)" + std::to_string(sender) +
         R"(},"chat_id":-1001777000001,"is_outgoing":false,"date":)" +
         std::to_string(1767000000 + aNumber * 60) +
         R"(,"content":{"@type":"messageText","text":{"@type":"formattedText","text":"Message )" +
         std::to_string(aNumber) +
         R"(: the plan for the week, with **bold** words and a link https://example.org/page","entities":[{"@type":"textEntity","offset":10,"length":8,"type":{"@type":"textEntityTypeBold"}},{"@type":"textEntity","offset":58,"length":24,"type":{"@type":"textEntityTypeUrl"}}]}}}})";
}

double Median(std::vector<double> aValues) {
  std::sort(aValues.begin(), aValues.end());
  return aValues[aValues.size() / 2];
}

// The window: its history filled to aHistory messages, then kMeasured more, one at a time.
double WindowSecondsPerMessage(int aHistory) {
  TBurstWindow window;
  window.OpenChat(kNewChat, kChatId);
  auto* chats = window.Control<QListWidget>("listChats");
  emit chats->itemClicked(chats->currentItem());
  TBurst history;
  for (int i = 0; i < aHistory; ++i) history.Texts.push_back(Message(i));
  window.Deliver(history);
  auto* conversation = window.Control<TqvnConversationView>("listConversation");
  if (conversation->model()->rowCount() != aHistory) {
    std::fprintf(stderr, "the conversation shows %d rows, not %d\n",
                 conversation->model()->rowCount(), aHistory);
  }
  std::vector<double> seconds;
  for (int i = aHistory; i < aHistory + kMeasured; ++i) {
    TBurst one;
    one.Texts.push_back(Message(i));
    const double start = ThreadCpuSeconds();
    window.Deliver(one);
    conversation->viewport()->repaint();
    seconds.push_back(ThreadCpuSeconds() - start);
  }
  return Median(seconds);
}

// The chat model alone: the same texts applied, the last kMeasured timed.
double ModelSecondsPerMessage(int aHistory) {
  TqvnChatModel model;
  model.Apply(kNewChat);
  model.Track(kChatId);
  for (int i = 0; i < aHistory; ++i) model.Apply(Message(i));
  std::vector<double> seconds;
  for (int i = aHistory; i < aHistory + kMeasured; ++i) {
    const std::string text = Message(i);
    const double start = ThreadCpuSeconds();
    model.Apply(text);
    seconds.push_back(ThreadCpuSeconds() - start);
  }
  return Median(seconds);
}

}  // namespace
}  // namespace qvn::bench

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qvn::bench::TTimedApplication app(argc, argv);
  std::printf("One new message in the open conversation (median main-thread CPU of %d):\n",
              qvn::bench::kMeasured);
  for (int history : {100, 1000, 5000}) {
    const double window = qvn::bench::WindowSecondsPerMessage(history);
    const double model = qvn::bench::ModelSecondsPerMessage(history);
    std::printf("  %5d messages loaded: window %6.3f ms, chat model alone %6.3f ms (%.1fx)\n",
                history, window * 1000, model * 1000, window / model);
  }
  return 0;
}
