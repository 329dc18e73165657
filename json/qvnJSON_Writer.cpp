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
  explicit TqvnJSONWriter(std::string& aOut) : fOut(aOut) {}

  void WriteDocument(const TqvnJSON& aDocument) {
    const char open = aDocument.fIsArray ? '[' : '{';
    const char close = aDocument.fIsArray ? ']' : '}';
    if (aDocument.fCount == 0) {
      fOut += open;
      fOut += close;
      return;
    }
    fOut += open;
    for (std::uint32_t i = 0; i < aDocument.fCount; ++i) {
      WriteNode(*aDocument.fItems[i], aDocument.fIsArray);
      if (i + 1 == aDocument.fCount) {
        fOut += close;
      } else if (fOut.back() != ',') {
        // A node that printed as nothing leaves no second comma behind.
        fOut += ',';
      }
    }
  }

  // With aInArray on only the value is printed, otherwise the member form.
  void WriteNode(const TqvnObjectJSON& aNode, bool aInArray) {
    switch (aNode.fType) {
      case qvnJSONUndefined:
        return;
      case qvnJSONObject:
        if (!aInArray) WriteName(aNode);
        if (aNode.fChild != nullptr) {
          WriteDocument(*aNode.fChild);
        } else {
          fOut += "{}";
        }
        return;
      case qvnJSONList: {
        // A named list prints its name even inside an array; a member of an object always
        // does, so a list member named "" keeps its (empty) name and the text stays JSON.
        if (!aInArray || !aNode.fName.empty()) WriteName(aNode);
        fOut += '[';
        if (const TqvnJSON* child = aNode.fChild) {
          for (std::uint32_t i = 0; i < child->fCount; ++i) {
            if (i != 0) fOut += ',';
            WriteNode(*child->fItems[i], true);
          }
        }
        fOut += ']';
        return;
      }
      case qvnJSONString: {
        if (!aInArray) WriteName(aNode);
        const detail::TqvnJSONStored& value = aNode.fValue;
        const bool startsWithQuote =
            value.kind == jvText && value.textSize != 0 && value.text[0] == '"';
        const bool wrap = !startsWithQuote && aNode.fQuoted;
        if (wrap) fOut += '"';
        AppendStoredText(value, fOut);
        if (wrap) fOut += '"';
        return;
      }
      case qvnJSONNumber: {
        if (!aInArray) WriteName(aNode);
        if (aNode.fValue.kind == jvDouble && !std::isfinite(aNode.fValue.d)) {
          fOut += "null";  // JSON has no NaN or infinity
          return;
        }
        const std::size_t from = fOut.size();
        AppendStoredText(aNode.fValue, fOut);
        // A double printed under a comma-decimal locale still gets a point.
        for (std::size_t i = from; i < fOut.size(); ++i) {
          if (fOut[i] == ',') fOut[i] = '.';
        }
        return;
      }
      case qvnJSONBoolean:
        if (!aInArray) WriteName(aNode);
        AppendStoredText(aNode.fValue, fOut);
        return;
      case qvnJSONNull:
        if (!aInArray) {
          WriteName(aNode);
          fOut += "null";
        } else if (aNode.fValue.kind == jvEmpty ||
                   (aNode.fValue.kind == jvText && aNode.fValue.textSize == 0)) {
          // A null added without a value would otherwise print nothing inside an array.
          fOut += "null";
        } else {
          AppendStoredText(aNode.fValue, fOut);
        }
        return;
    }
  }

 private:
  void WriteName(const TqvnObjectJSON& aNode) {
    fOut += '"';
    fOut.append(aNode.fName);
    fOut += "\":";
  }

  std::string& fOut;
};

}  // namespace detail

std::string TqvnJSON::Text() const {
  std::string result;
  detail::TqvnJSONWriter(result).WriteDocument(*this);
  return result;
}

}  // namespace qvn
