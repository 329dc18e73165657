// The reading helpers shared by the engine's records and the window's reader.
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
