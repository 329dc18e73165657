// The burst of the window benchmarks: TDLib update texts (new chats and new messages from the
// sample files) as a logged-in account's first seconds bring them. Plain C++, no Qt: the
// window's benchmarks queue it in the fake TDLib, the dispatch benchmark hands it to a client
// directly.
#ifndef QVN_BENCH_WINDOW_BURST_TEXTS_H
#define QVN_BENCH_WINDOW_BURST_TEXTS_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"

namespace qvn::bench {

// aCount update texts cycled from the sample file: every new chat and every new message the
// window shows as a line (text, document, photo, video). TDLib announces each chat once, so each
// repeat of a chat's text announces a chat of its own (a fresh id): every one is a row.
struct TBurst {
  std::vector<std::string> Texts;
  int Chats = 0;
  int Messages = 0;
  // The chat with the most new messages in the burst, its updateNewChat text and its count.
  int64_t BusiestChatId = 0;
  std::string BusiestChatText;
  int BusiestChatMessages = 0;
};

inline TBurst MakeBurst(int aCount) {
  std::vector<std::string> shown;
  for (const std::string& text : SampleTexts({"messages-sample.jsonl"})) {
    const bool chat = text.rfind("{\"@type\":\"updateNewChat\"", 0) == 0;
    const bool line =
        text.rfind("{\"@type\":\"updateNewMessage\"", 0) == 0 &&
        (text.find("\"content\":{\"@type\":\"messageText\"") != std::string::npos ||
         text.find("\"content\":{\"@type\":\"messageDocument\"") != std::string::npos ||
         text.find("\"content\":{\"@type\":\"messagePhoto\"") != std::string::npos ||
         text.find("\"content\":{\"@type\":\"messageVideo\"") != std::string::npos);
    if (chat || line) shown.push_back(text);
  }
  const std::string chatId = "\"chat\":{\"@type\":\"chat\",\"id\":";
  TBurst burst;
  for (int i = 0; i < aCount; ++i) {
    std::string text = shown[static_cast<size_t>(i) % shown.size()];
    if (text.rfind("{\"@type\":\"updateNewChat\"", 0) == 0) {
      if (i >= static_cast<int>(shown.size())) {
        const size_t at = text.find(chatId) + chatId.size();
        text.replace(at, text.find(',', at) - at, std::to_string(9000000000000LL + i));
      }
      ++burst.Chats;
    } else {
      ++burst.Messages;
    }
    burst.Texts.push_back(std::move(text));
  }
  std::map<int64_t, int> messagesPerChat;
  std::map<int64_t, std::string> chatTexts;
  const auto idAfter = [](const std::string& aText, const std::string& aMember) -> int64_t {
    const size_t at = aText.find(aMember);
    return at == std::string::npos ? 0 : std::stoll(aText.substr(at + aMember.size()));
  };
  for (const std::string& text : burst.Texts) {
    if (text.rfind("{\"@type\":\"updateNewChat\"", 0) == 0) {
      chatTexts.emplace(idAfter(text, chatId), text);
    } else {
      ++messagesPerChat[idAfter(text, "\"chat_id\":")];
    }
  }
  for (const auto& [id, count] : messagesPerChat) {
    if (count <= burst.BusiestChatMessages || !chatTexts.contains(id)) continue;
    burst.BusiestChatId = id;
    burst.BusiestChatText = chatTexts[id];
    burst.BusiestChatMessages = count;
  }
  return burst;
}

}  // namespace qvn::bench

#endif  // QVN_BENCH_WINDOW_BURST_TEXTS_H
