#include "json/qvnJSON_Arena.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace qvn::detail {

TqvnJSONArena::TqvnJSONArena() {}

TqvnJSONArena::~TqvnJSONArena() {
  FKept.clear();
  for (Block* b = FBlocks; b != nullptr;) {
    Block* next = b->Next;
    std::free(b);
    b = next;
  }
  std::free(FSpare);
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
  if (FSpare != nullptr && FSpare->Size >= need) {
    block = FSpare;
    FSpare = nullptr;
  } else {
    std::size_t size = std::max(FNextBlock, need);
    block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
    if (block == nullptr) throw std::bad_alloc();
    block->Size = size;
    FNextBlock = std::min<std::size_t>(size * 2, std::size_t{1} << 24);
  }
  block->Next = FBlocks;
  FBlocks = block;
  FCur = Data(block);
  FEnd = FCur + block->Size;
  return Allocate(aSize, aAlign);
}

bool TqvnJSONArena::Holds(const void* aAddress) const {
  const auto address = reinterpret_cast<std::uintptr_t>(aAddress);
  const auto within = [address](const char* aBegin, std::size_t aSize) {
    const auto begin = reinterpret_cast<std::uintptr_t>(aBegin);
    return address >= begin && address < begin + aSize;
  };
  if (within(FInline, kInlineSize)) return true;
  for (Block* b = FBlocks; b != nullptr; b = b->Next) {
    if (within(Data(b), b->Size)) return true;
  }
  return false;
}

bool TqvnJSONArena::Owns(const std::shared_ptr<const void>& aHandle) const {
  std::weak_ptr<const TqvnJSONArena> self = weak_from_this();
  return !aHandle.owner_before(self) && !self.owner_before(aHandle);
}

void TqvnJSONArena::Reset() {
  FKept.clear();
  Block* largest = FSpare;
  for (Block* b = FBlocks; b != nullptr;) {
    Block* next = b->Next;
    if (largest == nullptr || b->Size > largest->Size) {
      std::free(largest);
      largest = b;
    } else {
      std::free(b);
    }
    b = next;
  }
  FBlocks = nullptr;
  FSpare = largest;
  FCur = FInline;
  FEnd = FInline + kInlineSize;
}

}  // namespace qvn::detail
