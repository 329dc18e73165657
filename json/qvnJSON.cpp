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
  aStored.kind = aValue.Kind();
  aStored.textSize = 0;
  switch (aValue.Kind()) {
    case jvEmpty:
      aStored.text = nullptr;
      break;
    case jvText: {
      std::string_view text = aArena.CopyText(aValue.TextView());
      aStored.text = text.data();
      aStored.textSize = text.size();
      break;
    }
    case jvInteger:
      aStored.i32 = aValue.AsInteger();
      break;
    case jvInt64:
      aStored.i64 = aValue.AsInt64();
      break;
    case jvDouble:
      aStored.d = aValue.AsDouble();
      break;
    case jvBoolean:
      aStored.b = aValue.AsBoolean();
      break;
  }
}

TqvnJSONValue Load(const detail::TqvnJSONStored& aStored) {
  switch (aStored.kind) {
    case jvText:
      return TqvnJSONValue(std::string_view(aStored.text, aStored.textSize));
    case jvInteger:
      return TqvnJSONValue(aStored.i32);
    case jvInt64:
      return TqvnJSONValue(static_cast<std::int64_t>(aStored.i64));
    case jvDouble:
      return TqvnJSONValue(aStored.d);
    case jvBoolean:
      return TqvnJSONValue(aStored.b);
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
  return fArena->Handle(this);
}

TqvnJSON* TqvnObjectJSON::Child() {
  if (fChild == nullptr) {
    fChild = fArena->NewDocument();
    if (fType != qvnJSONList) fType = qvnJSONObject;
  }
  return fChild;
}

IqvnJSON TqvnObjectJSON::JSONObject() {
  return fArena->Handle(Child());
}

void TqvnObjectJSON::SetJSONObject(const IqvnJSON& aValue) {
  if (aValue && !fArena->Owns(aValue)) fArena->KeepAlive(aValue);
  fChild = aValue.get();
}

void TqvnObjectJSON::SetName(std::string_view aName) {
  fName = fArena->CopyText(aName);
}

TqvnJSONValue TqvnObjectJSON::Value() {
  switch (fType) {
    case qvnJSONObject:
      return TqvnJSONValue(Child()->Text());
    case qvnJSONList:
      Child()->SetIsArray(true);
      return TqvnJSONValue(fChild->Text());
    default:
      return Load(fValue);
  }
}

void TqvnObjectJSON::SetValue(const TqvnJSONValue& aValue) {
  Store(fValue, aValue, *fArena);
}

std::string_view TqvnObjectJSON::StoredText() const {
  return fValue.kind == jvText ? std::string_view(fValue.text, fValue.textSize)
                               : std::string_view();
}

int TqvnObjectJSON::Count() const {
  return fChild != nullptr ? fChild->Count() : 0;
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

TqvnJSON::TqvnJSON(detail::TqvnJSONArena* aArena) : fArena(aArena) {}

TqvnJSON::~TqvnJSON() = default;

detail::TqvnJSONArena& TqvnJSON::Arena() {
  if (fArena == nullptr) {
    fOwnArena = std::make_shared<detail::TqvnJSONArena>();
    fArena = fOwnArena.get();
  }
  return *fArena;
}

void TqvnJSON::RenewRegion() {
  if (!fOwnArena) return;
  if (fOwnArena.use_count() == 1) {
    fOwnArena->Reset();
  } else {
    fOwnArena.reset();
    fArena = nullptr;
  }
}

TqvnObjectJSON* TqvnJSON::Find(std::string_view aName) const {
  for (std::uint32_t i = 0; i < fCount; ++i) {
    TqvnObjectJSON* node = fItems[i];
    if (node->fName == aName) return node;
  }
  return nullptr;
}

void TqvnJSON::Append(TqvnObjectJSON* aNode) {
  if (fCount == fCapacity) {
    const std::uint32_t capacity = fCapacity == 0 ? 4 : fCapacity * 2;
    TqvnObjectJSON** items = Arena().NewList(capacity);
    if (fCount != 0) std::memcpy(items, fItems, fCount * sizeof(TqvnObjectJSON*));
    fItems = items;
    fCapacity = capacity;
  }
  fItems[fCount++] = aNode;
}

TqvnObjectJSON* TqvnJSON::Adopt(const IqvnObjectJSON& aValue) {
  if (!Arena().Owns(aValue)) fArena->KeepAlive(aValue);
  return aValue.get();
}

IqvnObjectJSON TqvnJSON::GetNode(std::string_view aName) const {
  TqvnObjectJSON* node = Find(aName);
  return node != nullptr ? fArena->Handle(node) : IqvnObjectJSON();
}

void TqvnJSON::SetNode(std::string_view aName, const IqvnObjectJSON& aValue) {
  RejectEmpty(aValue.get());
  for (std::uint32_t i = 0; i < fCount; ++i) {
    if (fItems[i]->fName == aName) {
      fItems[i] = Adopt(aValue);
      return;
    }
  }
}

IqvnObjectJSON TqvnJSON::GetItem(int i) const {
  if (i < 0) ThrowIndex(i);
  if (static_cast<std::uint32_t>(i) >= fCount) return {};
  return fArena->Handle(fItems[i]);
}

void TqvnJSON::SetItem(int i, const IqvnObjectJSON& aValue) {
  if (i < 0) ThrowIndex(i);
  RejectEmpty(aValue.get());
  if (static_cast<std::uint32_t>(i) >= fCount) return;
  fItems[i] = Adopt(aValue);
}

void TqvnJSON::Clear() {
  RenewRegion();
  fItems = nullptr;
  fCount = 0;
  fCapacity = 0;
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
  if (fEscapeStrings) {
    std::string escaped;
    detail::AppendEscapedJSON(aName, false, escaped);
    node->fName = arena.CopyText(escaped);
  } else {
    node->fName = arena.CopyText(aName);
  }
  node->fType = aType;
  switch (aType) {
    case qvnJSONBoolean: {
      std::string text = aValue.AsString();
      for (char& c : text) c = detail::AsciiLower(c);
      Store(node->fValue, TqvnJSONValue(std::move(text)), arena);
      break;
    }
    case qvnJSONNull:
      break;
    case qvnJSONObject:
    case qvnJSONList:
      node->fChild = arena.NewDocument();
      node->fChild->Read(aValue.AsString());
      break;
    case qvnJSONString:
      if (fEscapeStrings && aValue.Kind() == jvText) {
        std::string escaped;
        detail::AppendEscapedJSON(aValue.TextView(), false, escaped);
        Store(node->fValue, TqvnJSONValue(std::move(escaped)), arena);
      } else {
        Store(node->fValue, aValue, arena);
      }
      if (aValue.Kind() == jvText && !aValue.TextView().empty() &&
          (aValue.TextView()[0] == '{' || aValue.TextView()[0] == '[')) {
        node->fQuoted = false;
      }
      break;
    default:
      Store(node->fValue, aValue, arena);
      break;
  }
  Append(node);
  return arena.Handle(node);
}

}  // namespace qvn
