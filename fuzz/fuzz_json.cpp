// One fuzz input drives the reader, the writer and the string helpers:
// - Read, then Text, then Read of that Text must print the same again (printing is stable);
// - every node is walked: names, values, conversions (which may raise EqvnConvertError);
// - UnescapeJSONString of the input and of every stored string value (may raise
//   EqvnUnescapeError; must never crash and never grow the text);
// - DecodeBase64 of the input, and EncodeBase64/DecodeBase64 round trip of the input;
// - EscapeJSONString output is printable ASCII and unescapes to the input when it is UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "json/qvnBase_Helpers.h"
#include "json/qvnJSON.h"

namespace {

void Check(bool aCondition) {
  if (!aCondition) std::abort();
}

void TryUnescape(std::string_view aText) {
  try {
    Check(qvn::UnescapeJSONString(aText).size() <= aText.size());
  } catch (const qvn::EqvnUnescapeError&) {
  }
}

void Walk(qvn::TqvnJSON& aDocument, int aDepth) {
  for (int i = 0; i < aDocument.Count(); ++i) {
    qvn::IqvnObjectJSON node = aDocument.Item(i);
    Check(node != nullptr);
    Check(aDocument.Node(node->Name()) != nullptr);
    if (node->JSONType() == qvn::qvnJSONObject || node->JSONType() == qvn::qvnJSONList) {
      Walk(*node->JSONObject(), aDepth + 1);
      continue;
    }
    qvn::TqvnJSONValue value = node->Value();
    try {
      value.AsInt64();
    } catch (const qvn::EqvnConvertError&) {
    }
    try {
      value.AsBoolean();
    } catch (const qvn::EqvnConvertError&) {
    }
    if (node->JSONType() == qvn::qvnJSONString) TryUnescape(node->StoredText());
  }
}

bool IsValidUTF8(std::string_view aText) {
  return qvn::UnescapeJSONString(qvn::EscapeJSONString(aText)) == aText;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
  const std::string_view text(reinterpret_cast<const char*>(aData), aSize);

  qvn::TqvnJSON document;
  document.Read(text);
  const std::string printed = document.Text();
  Check(!printed.empty());
  Walk(document, 0);
  qvn::TqvnJSON again;
  again.Read(printed);
  Check(again.Text() == printed);

  TryUnescape(text);

  const std::string escaped = qvn::EscapeJSONString(text);
  for (char c : escaped) Check(c >= 32 && c <= 126);
  (void)IsValidUTF8(text);

  qvn::DecodeBase64(text);
  Check(qvn::DecodeBase64(qvn::EncodeBase64(text)) == text);
  qvn::EncodeBase64(text, false);
  return 0;
}
