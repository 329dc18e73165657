// The document tree: node lists, lookups, AddNode and the node's child document.
#include "json/qvnJSON.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "json/qvnJSON_Arena.h"
#include "json/qvnJSON_Text.h"

namespace qvn {

namespace {

[[noreturn]] void ThrowIndex(int i) {
  char message[64];
  std::snprintf(message, sizeof message, "List index out of bounds (%d)", i);
  throw EqvnListError(message);
}

void Store(detail::TqvnJSONStored& aStored, const TqvnJSONValue& aValue,
           detail::TqvnJSONArena& aArena) {
  aStored.Kind = aValue.Kind();
  aStored.TextSize = 0;
  switch (aValue.Kind()) {
    case jvEmpty:
      aStored.Text = nullptr;
      break;
    case jvText: {
      std::string_view text = aArena.CopyText(aValue.TextView());
      aStored.Text = text.data();
      aStored.TextSize = text.size();
      break;
    }
    case jvInteger:
      aStored.I32 = aValue.AsInteger();
      break;
    case jvInt64:
      aStored.I64 = aValue.AsInt64();
      break;
    case jvDouble:
      aStored.D = aValue.AsDouble();
      break;
    case jvBoolean:
      aStored.B = aValue.AsBoolean();
      break;
  }
}

TqvnJSONValue Load(const detail::TqvnJSONStored& aStored) {
  switch (aStored.Kind) {
    case jvText:
      return TqvnJSONValue(std::string_view(aStored.Text, aStored.TextSize));
    case jvInteger:
      return TqvnJSONValue(aStored.I32);
    case jvInt64:
      return TqvnJSONValue(static_cast<std::int64_t>(aStored.I64));
    case jvDouble:
      return TqvnJSONValue(aStored.D);
    case jvBoolean:
      return TqvnJSONValue(aStored.B);
    default:
      return TqvnJSONValue();
  }
}

void RejectEmpty(const void* aHandle) {
  if (aHandle == nullptr) throw EqvnJSONError("Cannot store an empty node handle");
}

}  // namespace

// ---- TqvnObjectJSON ----

IqvnObjectJSON TqvnObjectJSON::Handle() {
  return FArena->Handle(this);
}

TqvnJSON* TqvnObjectJSON::Child() {
  if (FChild == nullptr) {
    FChild = FArena->NewDocument();
    if (FType != qvnJSONList) FType = qvnJSONObject;
  }
  return FChild;
}

IqvnJSON TqvnObjectJSON::JSONObject() {
  return FArena->Handle(Child());
}

void TqvnObjectJSON::SetJSONObject(const IqvnJSON& aValue) {
  if (aValue && !FArena->Owns(aValue)) FArena->KeepAlive(aValue);
  FChild = aValue.get();
}

void TqvnObjectJSON::SetName(std::string_view aName) {
  FName = FArena->CopyText(aName);
}

TqvnJSONValue TqvnObjectJSON::Value() {
  switch (FType) {
    case qvnJSONObject:
      return TqvnJSONValue(Child()->Text());
    case qvnJSONList:
      Child()->SetIsArray(true);
      return TqvnJSONValue(FChild->Text());
    default:
      return Load(FValue);
  }
}

void TqvnObjectJSON::SetValue(const TqvnJSONValue& aValue) {
  Store(FValue, aValue, *FArena);
}

std::string_view TqvnObjectJSON::StoredText() const {
  return FValue.Kind == jvText ? std::string_view(FValue.Text, FValue.TextSize)
                               : std::string_view();
}

int TqvnObjectJSON::Count() const {
  return FChild != nullptr ? FChild->Count() : 0;
}

IqvnObjectJSON TqvnObjectJSON::GetNode(std::string_view aName) {
  return Child()->GetNode(aName);
}

void TqvnObjectJSON::SetNode(std::string_view aName, const IqvnObjectJSON& aValue) {
  Child()->SetNode(aName, aValue);
}

IqvnObjectJSON TqvnObjectJSON::GetItem(int i) {
  return Child()->GetItem(i);
}

void TqvnObjectJSON::SetItem(int i, const IqvnObjectJSON& aValue) {
  Child()->SetItem(i, aValue);
}

// ---- TqvnJSON ----

TqvnJSON::TqvnJSON() = default;

TqvnJSON::TqvnJSON(detail::TqvnJSONArena* aArena) : FArena(aArena) {}

TqvnJSON::~TqvnJSON() = default;

detail::TqvnJSONArena& TqvnJSON::Arena() {
  if (FArena == nullptr) {
    FOwnArena = std::make_shared<detail::TqvnJSONArena>();
    FArena = FOwnArena.get();
  }
  return *FArena;
}

void TqvnJSON::RenewRegion() {
  if (!FOwnArena) return;
  if (FOwnArena.use_count() == 1) {
    FOwnArena->Reset();
  } else {
    FOwnArena.reset();
    FArena = nullptr;
  }
}

TqvnObjectJSON* TqvnJSON::Find(std::string_view aName) const {
  for (std::uint32_t i = 0; i < FCount; ++i) {
    TqvnObjectJSON* node = FItems[i];
    if (node->FName == aName) return node;
  }
  return nullptr;
}

void TqvnJSON::Append(TqvnObjectJSON* aNode) {
  if (FCount == FCapacity) {
    const std::uint32_t capacity = FCapacity == 0 ? 4 : FCapacity * 2;
    TqvnObjectJSON** items = Arena().NewList(capacity);
    if (FCount != 0) std::memcpy(items, FItems, FCount * sizeof(TqvnObjectJSON*));
    FItems = items;
    FCapacity = capacity;
  }
  FItems[FCount++] = aNode;
}

TqvnObjectJSON* TqvnJSON::Adopt(const IqvnObjectJSON& aValue) {
  if (!Arena().Owns(aValue)) FArena->KeepAlive(aValue);
  return aValue.get();
}

IqvnObjectJSON TqvnJSON::GetNode(std::string_view aName) const {
  TqvnObjectJSON* node = Find(aName);
  return node != nullptr ? FArena->Handle(node) : IqvnObjectJSON();
}

void TqvnJSON::SetNode(std::string_view aName, const IqvnObjectJSON& aValue) {
  RejectEmpty(aValue.get());
  for (std::uint32_t i = 0; i < FCount; ++i) {
    if (FItems[i]->FName == aName) {
      FItems[i] = Adopt(aValue);
      return;
    }
  }
}

IqvnObjectJSON TqvnJSON::GetItem(int i) const {
  if (i < 0) ThrowIndex(i);
  if (static_cast<std::uint32_t>(i) >= FCount) return {};
  return FArena->Handle(FItems[i]);
}

void TqvnJSON::SetItem(int i, const IqvnObjectJSON& aValue) {
  if (i < 0) ThrowIndex(i);
  RejectEmpty(aValue.get());
  if (static_cast<std::uint32_t>(i) >= FCount) return;
  FItems[i] = Adopt(aValue);
}

void TqvnJSON::Clear() {
  RenewRegion();
  FItems = nullptr;
  FCount = 0;
  FCapacity = 0;
}

IqvnObjectJSON TqvnJSON::AddPair(std::string_view aName, std::string_view aValue) {
  return AddNode(aName, TqvnJSONValue(aValue), qvnJSONString);
}

IqvnObjectJSON TqvnJSON::AddPair(std::string_view aName, std::int32_t aValue) {
  return AddNode(aName, TqvnJSONValue(aValue), qvnJSONNumber);
}

IqvnObjectJSON TqvnJSON::AddPair(std::string_view aName, std::int64_t aValue) {
  return AddNode(aName, TqvnJSONValue(aValue), qvnJSONNumber);
}

IqvnObjectJSON TqvnJSON::AddPair(std::string_view aName, double aValue) {
  return AddNode(aName, TqvnJSONValue(aValue), qvnJSONNumber);
}

IqvnObjectJSON TqvnJSON::AddPair(std::string_view aName, bool aValue) {
  return AddNode(aName, TqvnJSONValue(aValue), qvnJSONBoolean);
}

IqvnObjectJSON TqvnJSON::AddPair(std::string_view aName) {
  return AddNode(aName, TqvnJSONValue(), qvnJSONNull);
}

IqvnObjectJSON TqvnJSON::AddObject(std::string_view aName, std::string_view aValue) {
  return AddNode(aName, TqvnJSONValue(aValue), qvnJSONObject);
}

IqvnObjectJSON TqvnJSON::AddArray(std::string_view aName, std::string_view aValue) {
  return AddNode(aName, TqvnJSONValue(aValue), qvnJSONList);
}

IqvnObjectJSON TqvnJSON::AddNode(std::string_view aName, const TqvnJSONValue& aValue,
                                 TqvnJSONtype aType) {
  detail::TqvnJSONArena& arena = Arena();
  if (TqvnObjectJSON* existing = Find(aName)) {
    existing->SetValue(aValue);
    return existing->Handle();
  }
  TqvnObjectJSON* node = arena.NewNode();
  if (FEscapeStrings) {
    std::string escaped;
    detail::AppendEscapedJSON(aName, false, escaped);
    node->FName = arena.CopyText(escaped);
  } else {
    node->FName = arena.CopyText(aName);
  }
  node->FType = aType;
  switch (aType) {
    case qvnJSONBoolean: {
      std::string text = aValue.AsString();
      for (char& c : text) c = detail::AsciiLower(c);
      Store(node->FValue, TqvnJSONValue(std::move(text)), arena);
      break;
    }
    case qvnJSONNull:
      break;
    case qvnJSONObject:
    case qvnJSONList:
      node->FChild = arena.NewDocument();
      node->FChild->Read(aValue.AsString());
      break;
    case qvnJSONString:
      if (FEscapeStrings && aValue.Kind() == jvText) {
        std::string escaped;
        detail::AppendEscapedJSON(aValue.TextView(), false, escaped);
        Store(node->FValue, TqvnJSONValue(std::move(escaped)), arena);
      } else {
        Store(node->FValue, aValue, arena);
      }
      if (aValue.Kind() == jvText && !aValue.TextView().empty() &&
          (aValue.TextView()[0] == '{' || aValue.TextView()[0] == '[')) {
        node->FQuoted = false;
      }
      break;
    default:
      Store(node->FValue, aValue, arena);
      break;
  }
  Append(node);
  return arena.Handle(node);
}

}  // namespace qvn
