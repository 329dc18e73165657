// The window's burst through the engine's dispatcher alone, without Qt: the 10,000 update texts
// of window_burst_bench (new chats and new messages) handed to a client's DoReadEvent with the
// window's chat model attached as the window attaches it, in the thread's CPU time per event.
// Peers on the same texts in the same run: the bare dispatch (no handler set), and the model
// applying the texts by itself (reading each text on its own).
//
// The client stays inactive; the program sits beside the scripted fake libtdjson.so like the
// other dispatch benchmarks. An optional first argument sets the burst's size.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/qvnChatModel.h"
#include "bench_support.h"
#include "client/qvnLibs.h"
#include "tests/support/TestClient.h"
#include "window_burst_texts.h"

namespace qvn::bench {
namespace {

constexpr int kDefaultBurst = 10000;

// The model reads the document the dispatcher already read, as FQVNTelegram's WireClient has it.
void AttachModel(test::TestClient& aClient, TqvnChatModel& aModel) {
  aClient.OnEventDocument = [&aModel](auto*, const TqvnJSON& aEvent, const std::string&) {
    aModel.Apply(aEvent);
  };
}

int Run(int argc, char** argv) {
  const int burstSize = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultBurst;
  const TBurst burst = MakeBurst(burstSize);
  test::TestClient bare(nullptr);
  test::TestClient observed(nullptr);
  TqvnChatModel model;
  AttachModel(observed, model);
  TqvnChatModel alone;

  const std::vector<double> seconds = MedianSecondsPerPass(
      {[&] {
         for (const std::string& text : burst.Texts) bare.DoReadEvent(text);
       },
       [&] {
         model.Clear();
         for (const std::string& text : burst.Texts) observed.DoReadEvent(text);
       },
       [&] {
         alone.Clear();
         for (const std::string& text : burst.Texts) alone.Apply(text);
       }},
      7, 0.2);
  const double perEvent = 1e6 / burstSize;
  std::printf("window_burst_dispatch_bench: %d update texts (%d new chats, %d new messages), "
              "CPU per event\n",
              burstSize, burst.Chats, burst.Messages);
  std::printf("  dispatch with the window's model attached %6.2f us  (%zu chats in the model)\n",
              seconds[1] * perEvent, model.ChatIdsInOrder().size());
  std::printf("  peer: bare dispatch                       %6.2f us\n", seconds[0] * perEvent);
  std::printf("  peer: the model alone, reading each text  %6.2f us\n", seconds[2] * perEvent);
  std::printf("Ratios:\n");
  std::printf("  with the model / bare dispatch            %.2f\n", seconds[1] / seconds[0]);
  std::printf("  with the model / (bare dispatch + model alone) %.2f\n",
              seconds[1] / (seconds[0] + seconds[2]));
  return 0;
}

}  // namespace
}  // namespace qvn::bench

int main(int argc, char** argv) {
  return qvn::bench::Run(argc, argv);
}
