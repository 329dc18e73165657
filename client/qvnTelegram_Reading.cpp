// The reading helpers shared by the engine's records, the window's reader and programs.
#include "client/qvnTelegram_Reading.h"

#include "client/qvnTelegram_NodeText.h"
#include "json/qvnBase_Helpers.h"

namespace qvn {

IqvnObjectJSON TqvnTDLibObject::Member(std::string_view aName) const {
  if (FDocument != nullptr) return FDocument->GetNode(aName);
  // GetNode on a scalar node would make it an object node: only objects are walked.
  if (FNode == nullptr || FNode->JSONType() != qvnJSONObject) return nullptr;
  return FNode->GetNode(aName);
}

TqvnTDLibObject TqvnTDLibObject::At(std::initializer_list<std::string_view> aPath) const {
  if (aPath.size() == 0) return *this;
  IqvnObjectJSON node = NodeAt(*this, aPath);
  return node ? TqvnTDLibObject(THeld(), std::move(node)) : TqvnTDLibObject();
}

std::vector<TqvnTDLibObject> TqvnTDLibObject::Elements() const {
  std::vector<TqvnTDLibObject> elements;
  if (FNode == nullptr || FNode->JSONType() != qvnJSONList) return elements;
  const int count = FNode->Count();
  elements.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) elements.push_back(TqvnTDLibObject(THeld(), FNode->GetItem(i)));
  return elements;
}

// The typed readers: a document (no value of its own), an absent and a null member keep the
// default.
TqvnObjectJSON* TqvnTDLibObject::Value() const {
  return FNode != nullptr && FNode->JSONType() != qvnJSONNull ? FNode : nullptr;
}

void TqvnTDLibObject::ReadValue(const TqvnTDLibObject& aObject, bool& aValue) {
  if (TqvnObjectJSON* node = aObject.Value()) aValue = node->Value().AsBoolean();
}

void TqvnTDLibObject::ReadValue(const TqvnTDLibObject& aObject, int32_t& aValue) {
  if (TqvnObjectJSON* node = aObject.Value()) aValue = node->Value().AsInteger();
}

void TqvnTDLibObject::ReadValue(const TqvnTDLibObject& aObject, int64_t& aValue) {
  if (TqvnObjectJSON* node = aObject.Value()) aValue = node->Value().AsInt64();
}

void TqvnTDLibObject::ReadValue(const TqvnTDLibObject& aObject, double& aValue) {
  if (TqvnObjectJSON* node = aObject.Value()) aValue = node->Value().AsDouble();
}

void TqvnTDLibObject::ReadValue(const TqvnTDLibObject& aObject, std::string& aValue) {
  TqvnObjectJSON* node = aObject.Value();
  if (node == nullptr) return;
  const TqvnJSONtype type = node->JSONType();
  if (type == qvnJSONObject || type == qvnJSONList) {
    aValue = node->Value().AsString();  // the JSON text of the object or array
    return;
  }
  const std::string_view stored = NodeTextView(*node);
  aValue = UnescapeJSONString(stored.empty() ? NodeText(*node) : stored);
}

IqvnObjectJSON NodeAt(const TqvnTDLibObject& aObject,
                      std::initializer_list<std::string_view> aPath) {
  auto name = aPath.begin();
  if (name == aPath.end()) return nullptr;
  IqvnObjectJSON node = aObject.Member(*name);
  while (node && ++name != aPath.end()) node = TqvnTDLibObject(node).Member(*name);
  return node;
}

std::string PlainText(const IqvnObjectJSON& aNode) {
  if (!aNode) return std::string();
  const std::string_view stored = NodeTextView(*aNode);
  return UnescapeJSONString(stored.empty() ? NodeText(*aNode) : stored);
}

int64_t Int64Of(const IqvnObjectJSON& aNode) {
  return aNode ? aNode->Value().AsInt64() : 0;
}

int32_t Int32Of(const IqvnObjectJSON& aNode) {
  return aNode ? aNode->Value().AsInteger() : 0;
}

bool BooleanOf(const IqvnObjectJSON& aNode) {
  return aNode ? aNode->Value().AsBoolean() : false;
}

IqvnObjectJSON LargestPhotoSize(const IqvnObjectJSON& aSizes) {
  IqvnObjectJSON largest;
  double largestPixels = -1;  // a double: no overflow, whatever the sizes say
  const int count = aSizes && aSizes->JSONType() == qvnJSONList ? aSizes->Count() : 0;
  for (int i = 0; i < count; ++i) {
    const IqvnObjectJSON size = aSizes->GetItem(i);
    const IqvnObjectJSON width = NodeAt(size, {"width"});
    const IqvnObjectJSON height = NodeAt(size, {"height"});
    const double pixels =
        width && height
            ? static_cast<double>(Int64Of(width)) * static_cast<double>(Int64Of(height))
            : 0;
    if (pixels >= largestPixels) {
      largest = size;
      largestPixels = pixels;
    }
  }
  return largest;
}

}  // namespace qvn
