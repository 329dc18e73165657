// Internal to qvn_json: the memory region that holds the nodes, child documents, node lists and
// texts of one root document. Objects placed here are never destructed one by one: they hold no
// resources of their own (texts are views into the region), and the region frees everything at
// once. A handle on anything inside is a std::shared_ptr that shares ownership of the region.
//
// Foreign objects (a node or document of another region stored here with SetNode, SetItem or
// SetJSONObject) are kept alive by a handle the region holds until it is reset or freed.
#ifndef QVN_JSON_QVNJSON_ARENA_H
#define QVN_JSON_QVNJSON_ARENA_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "json/qvnJSON.h"

namespace qvn::detail {

class TqvnJSONArena : public std::enable_shared_from_this<TqvnJSONArena> {
 public:
  // User-provided, so that std::make_shared does not zero the inline block.
  TqvnJSONArena();
  ~TqvnJSONArena();
  TqvnJSONArena(const TqvnJSONArena&) = delete;
  TqvnJSONArena& operator=(const TqvnJSONArena&) = delete;

  void* Allocate(std::size_t aSize, std::size_t aAlign) {
    auto p = reinterpret_cast<std::uintptr_t>(FCur);
    std::uintptr_t aligned = (p + aAlign - 1) & ~(static_cast<std::uintptr_t>(aAlign) - 1);
    if (aligned + aSize <= reinterpret_cast<std::uintptr_t>(FEnd)) {
      FCur = reinterpret_cast<char*>(aligned + aSize);
      return reinterpret_cast<void*>(aligned);
    }
    return AllocateSlow(aSize, aAlign);
  }

  // A copy of aText inside the region.
  std::string_view CopyText(std::string_view aText);

  TqvnObjectJSON* NewNode() {
    return new (Allocate(sizeof(TqvnObjectJSON), alignof(TqvnObjectJSON))) TqvnObjectJSON(this);
  }
  TqvnJSON* NewDocument() {
    return new (Allocate(sizeof(TqvnJSON), alignof(TqvnJSON))) TqvnJSON(this);
  }
  TqvnObjectJSON** NewList(std::size_t aCount) {
    return static_cast<TqvnObjectJSON**>(
        Allocate(aCount * sizeof(TqvnObjectJSON*), alignof(TqvnObjectJSON*)));
  }

  // True when aHandle shares ownership of this region (its object lives here).
  bool Owns(const std::shared_ptr<const void>& aHandle) const;
  // Holds aHandle until the region is reset or freed.
  void KeepAlive(std::shared_ptr<const void> aHandle) { FKept.push_back(std::move(aHandle)); }
  // True when objects of other regions are kept alive here (KeepAlive).
  bool KeepsOthers() const { return !FKept.empty(); }
  // True when aAddress lies in memory of this region.
  bool Holds(const void* aAddress) const;

  // Forgets everything placed here; keeps the largest block for reuse. Only for a region on
  // which no handle is held.
  void Reset();

  // A handle on an object inside the region that shares ownership of the region.
  template <typename T>
  std::shared_ptr<T> Handle(T* aObject) {
    return std::shared_ptr<T>(shared_from_this(), aObject);
  }

 private:
  struct Block {
    Block* Next;
    std::size_t Size;  // bytes of data after the header
  };
  static constexpr std::size_t kInlineSize = 4096;
  static constexpr std::size_t kMinBlock = 16384;

  void* AllocateSlow(std::size_t aSize, std::size_t aAlign);
  static char* Data(Block* aBlock) { return reinterpret_cast<char*>(aBlock + 1); }

  alignas(std::max_align_t) char FInline[kInlineSize];
  char* FCur = FInline;
  char* FEnd = FInline + kInlineSize;
  Block* FBlocks = nullptr;  // in use, newest first
  Block* FSpare = nullptr;   // kept by Reset for reuse
  std::size_t FNextBlock = kMinBlock;
  std::vector<std::shared_ptr<const void>> FKept;
};

}  // namespace qvn::detail

#endif  // QVN_JSON_QVNJSON_ARENA_H
