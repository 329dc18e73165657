// NodeText: the value of a node of an event document as text, for the dispatcher and the
// records (called on the tick's thread, like them).
//
// It gives exactly what aNode.Value().AsString() gives, without building the intermediate
// value: a node that holds text (every scalar the reader stores) is copied once, straight from
// the document. Object and list nodes, and nodes whose stored text is empty, take the text that
// Value() builds.
#ifndef QVN_CLIENT_QVNTELEGRAM_NODETEXT_H
#define QVN_CLIENT_QVNTELEGRAM_NODETEXT_H

#include <string>
#include <string_view>

#include "json/qvnJSON.h"

namespace qvn {

// The text of aNode's value without a copy when it holds text; empty otherwise (then use
// NodeText). Valid while the node's document lives and the node is unchanged.
inline std::string_view NodeTextView(const TqvnObjectJSON& aNode) {
  const TqvnJSONtype type = aNode.JSONType();
  return type == qvnJSONObject || type == qvnJSONList ? std::string_view() : aNode.StoredText();
}

inline std::string NodeText(TqvnObjectJSON& aNode) {
  const std::string_view text = NodeTextView(aNode);
  return text.empty() ? aNode.Value().AsString() : std::string(text);
}

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_NODETEXT_H
