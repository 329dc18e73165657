#include "json/qvnJSON_Arena.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace qvn::detail {

TqvnJSONArena::TqvnJSONArena() {}

TqvnJSONArena::~TqvnJSONArena() {
  fKept.clear();
  for (Block* b = fBlocks; b != nullptr;) {
    Block* next = b->next;
    std::free(b);
    b = next;
  }
  std::free(fSpare);
}

std::string_view TqvnJSONArena::CopyText(std::string_view aText) {
  if (aText.empty()) return {};
  char* p = static_cast<char*>(Allocate(aText.size(), 1));
  std::memcpy(p, aText.data(), aText.size());
  return {p, aText.size()};
}

void* TqvnJSONArena::AllocateSlow(std::size_t aSize, std::size_t aAlign) {
  std::size_t need = aSize + aAlign;
  Block* block = nullptr;
  if (fSpare != nullptr && fSpare->size >= need) {
    block = fSpare;
    fSpare = nullptr;
  } else {
    std::size_t size = std::max(fNextBlock, need);
    block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
    if (block == nullptr) throw std::bad_alloc();
    block->size = size;
    fNextBlock = std::min<std::size_t>(size * 2, std::size_t{1} << 24);
  }
  block->next = fBlocks;
  fBlocks = block;
  fCur = Data(block);
  fEnd = fCur + block->size;
  return Allocate(aSize, aAlign);
}

bool TqvnJSONArena::Holds(const void* aAddress) const {
  const auto address = reinterpret_cast<std::uintptr_t>(aAddress);
  const auto within = [address](const char* aBegin, std::size_t aSize) {
    const auto begin = reinterpret_cast<std::uintptr_t>(aBegin);
    return address >= begin && address < begin + aSize;
  };
  if (within(fInline, kInlineSize)) return true;
  for (Block* b = fBlocks; b != nullptr; b = b->next) {
    if (within(Data(b), b->size)) return true;
  }
  return false;
}

bool TqvnJSONArena::Owns(const std::shared_ptr<const void>& aHandle) const {
  std::weak_ptr<const TqvnJSONArena> self = weak_from_this();
  return !aHandle.owner_before(self) && !self.owner_before(aHandle);
}

void TqvnJSONArena::Reset() {
  fKept.clear();
  Block* largest = fSpare;
  for (Block* b = fBlocks; b != nullptr;) {
    Block* next = b->next;
    if (largest == nullptr || b->size > largest->size) {
      std::free(largest);
      largest = b;
    } else {
      std::free(b);
    }
    b = next;
  }
  fBlocks = nullptr;
  fSpare = largest;
  fCur = fInline;
  fEnd = fInline + kInlineSize;
}

}  // namespace qvn::detail
