// The writer: TqvnJSON::Text. Prints names and values exactly as stored (nothing is escaped)
// with no blanks; brackets follow each document's IsArray, list nodes always print "[...]".
// A NaN or infinite double prints as null.
#include <cmath>
#include <string>

#include "json/qvnJSON.h"
#include "json/qvnJSON_Text.h"

namespace qvn {
namespace detail {

class TqvnJSONWriter {
 public:
  explicit TqvnJSONWriter(std::string& aOut) : FOut(aOut) {}

  void WriteDocument(const TqvnJSON& aDocument) {
    const char open = aDocument.FIsArray ? '[' : '{';
    const char close = aDocument.FIsArray ? ']' : '}';
    if (aDocument.FCount == 0) {
      FOut += open;
      FOut += close;
      return;
    }
    FOut += open;
    for (std::uint32_t i = 0; i < aDocument.FCount; ++i) {
      WriteNode(*aDocument.FItems[i], aDocument.FIsArray);
      if (i + 1 == aDocument.FCount) {
        FOut += close;
      } else if (FOut.back() != ',') {
        // A node that printed as nothing leaves no second comma behind.
        FOut += ',';
      }
    }
  }

  // With aInArray on only the value is printed, otherwise the member form.
  void WriteNode(const TqvnObjectJSON& aNode, bool aInArray) {
    switch (aNode.FType) {
      case qvnJSONUndefined:
        return;
      case qvnJSONObject:
        if (!aInArray) WriteName(aNode);
        if (aNode.FChild != nullptr) {
          WriteDocument(*aNode.FChild);
        } else {
          FOut += "{}";
        }
        return;
      case qvnJSONList: {
        // A named list prints its name even inside an array; a member of an object always
        // does, so a list member named "" keeps its (empty) name and the text stays JSON.
        if (!aInArray || !aNode.FName.empty()) WriteName(aNode);
        FOut += '[';
        if (const TqvnJSON* child = aNode.FChild) {
          for (std::uint32_t i = 0; i < child->FCount; ++i) {
            if (i != 0) FOut += ',';
            WriteNode(*child->FItems[i], true);
          }
        }
        FOut += ']';
        return;
      }
      case qvnJSONString: {
        if (!aInArray) WriteName(aNode);
        const detail::TqvnJSONStored& value = aNode.FValue;
        const bool startsWithQuote =
            value.Kind == jvText && value.TextSize != 0 && value.Text[0] == '"';
        const bool wrap = !startsWithQuote && aNode.FQuoted;
        if (wrap) FOut += '"';
        AppendStoredText(value, FOut);
        if (wrap) FOut += '"';
        return;
      }
      case qvnJSONNumber: {
        if (!aInArray) WriteName(aNode);
        if (aNode.FValue.Kind == jvDouble && !std::isfinite(aNode.FValue.D)) {
          FOut += "null";  // JSON has no NaN or infinity
          return;
        }
        const std::size_t from = FOut.size();
        AppendStoredText(aNode.FValue, FOut);
        // A double printed under a comma-decimal locale still gets a point.
        for (std::size_t i = from; i < FOut.size(); ++i) {
          if (FOut[i] == ',') FOut[i] = '.';
        }
        return;
      }
      case qvnJSONBoolean:
        if (!aInArray) WriteName(aNode);
        AppendStoredText(aNode.FValue, FOut);
        return;
      case qvnJSONNull:
        if (!aInArray) {
          WriteName(aNode);
          FOut += "null";
        } else if (aNode.FValue.Kind == jvEmpty ||
                   (aNode.FValue.Kind == jvText && aNode.FValue.TextSize == 0)) {
          // A null added without a value would otherwise print nothing inside an array.
          FOut += "null";
        } else {
          AppendStoredText(aNode.FValue, FOut);
        }
        return;
    }
  }

 private:
  void WriteName(const TqvnObjectJSON& aNode) {
    FOut += '"';
    FOut.append(aNode.FName);
    FOut += "\":";
  }

  std::string& FOut;
};

}  // namespace detail

std::string TqvnJSON::Text() const {
  std::string result;
  detail::TqvnJSONWriter(result).WriteDocument(*this);
  return result;
}

}  // namespace qvn
