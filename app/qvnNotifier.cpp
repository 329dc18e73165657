#include "app/qvnNotifier.h"

#include <algorithm>

namespace qvn {

TqvnNotifier::TqvnNotifier() {
  FFlushTimer.setSingleShot(true);
  QObject::connect(&FFlushTimer, &QTimer::timeout, &FFlushTimer, [this] { Flush(); });
}

TqvnNotifier::~TqvnNotifier() {
  SetSink(nullptr, {});
}

void TqvnNotifier::SetSink(IqvnNotificationSink* aSink,
                           std::function<void(int64_t aChatId)> aOnActivated) {
  if (FSink != nullptr) FSink->OnActivated = nullptr;
  FSink = aSink;
  if (FSink != nullptr) FSink->OnActivated = std::move(aOnActivated);
}

void TqvnNotifier::SetEnabled(bool aEnabled) {
  FEnabled = aEnabled;
  if (!aEnabled) {
    FGathered.clear();
    FFlushTimer.stop();
  }
}

bool TqvnNotifier::Worth(const TqvnChat& aChat, const TqvnMessage& aMessage, int64_t aNow) {
  return !aMessage.Outgoing && !aChat.Muted && aMessage.Id > aChat.LastReadInboxMessageId &&
         aMessage.Date >= aNow - kFreshFor;
}

bool TqvnNotifier::Add(int64_t aChatId, const std::string& aSummary, std::string aBody) {
  if (!FEnabled) return false;
  TGathered& gathered = FGathered[aChatId];
  gathered.Summary = aSummary;
  gathered.Body = std::move(aBody);
  ++gathered.Count;
  if (!FFlushTimer.isActive()) {
    const auto quietLeft =
        FSinceFlush.isValid()
            ? std::max<int64_t>(0, kQuietTime.count() - FSinceFlush.elapsed())
            : 0;
    FFlushTimer.start(static_cast<int>(quietLeft));
  }
  return true;
}

void TqvnNotifier::Flush() {
  std::map<int64_t, TGathered> gathered;
  gathered.swap(FGathered);
  FSinceFlush.start();
  if (FSink == nullptr || gathered.empty()) return;
  if (gathered.size() <= kMostChats) {
    for (const auto& [chatId, chat] : gathered) {
      const std::string summary =
          chat.Count > 1 ? chat.Summary + " (" + std::to_string(chat.Count) + " new messages)"
                         : chat.Summary;
      FSink->Show(chatId, summary, chat.Body);
    }
    return;
  }
  // One notification for them all, naming the first few chats.
  int count = 0;
  size_t named = 0;
  std::string titles;
  for (const auto& [chatId, chat] : gathered) {
    count += chat.Count;
    if (named++ < kMostChats) titles += (titles.empty() ? "" : ", ") + chat.Summary;
  }
  titles += " and " + std::to_string(gathered.size() - kMostChats) + " more";
  FSink->Show(0, std::to_string(count) + " new messages in " + std::to_string(gathered.size()) +
                     " chats",
              titles);
}

}  // namespace qvn
