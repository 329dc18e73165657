// Reading TDLib's objects out of a parsed event document: the helpers the engine's records
// (qvnTelegram_Records.cpp) and the window's reader (app/qvnTelegramReader.cpp) share, so both
// read the same members the same way.
//
// Pure functions over the nodes of one document, on the thread that owns it; they never change
// the document (a walk never turns a scalar into an object), so observers of the dispatcher's
// document may use them freely. Absent members read as empty handles, "", 0 or false; a member
// whose value does not convert (a word where a number belongs, a bad escape) raises the JSON
// library's error.
#ifndef QVN_CLIENT_QVNTELEGRAM_READING_H
#define QVN_CLIENT_QVNTELEGRAM_READING_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "json/qvnJSON.h"

namespace qvn {

// A TDLib object of an event: a node of the document, or the event document itself (an answer
// such as "user" or "message" is the whole text). Views its node or document for the call it
// is passed to; an empty one has no members.
class TqvnTDLibObject {
 public:
  // Implicit, so each reader takes a node and a whole document alike.
  TqvnTDLibObject(const IqvnObjectJSON& aNode) : FNode(aNode.get()) {}
  TqvnTDLibObject(const TqvnJSON& aDocument) : FDocument(&aDocument) {}
  // The member aName; empty when there is none or this is no object.
  IqvnObjectJSON Member(std::string_view aName) const;
  explicit operator bool() const { return FNode != nullptr || FDocument != nullptr; }

 private:
  TqvnObjectJSON* FNode = nullptr;
  const TqvnJSON* FDocument = nullptr;
};

// The node reached from aObject through the members aPath, outside in; empty when any member on
// the way is absent or not an object.
IqvnObjectJSON NodeAt(const TqvnTDLibObject& aObject,
                      std::initializer_list<std::string_view> aPath);

// The node's string with its JSON escapes decoded; "" for an empty handle.
std::string PlainText(const IqvnObjectJSON& aNode);

// The node's integer whether TDLib wrote it as a number (int32, int53) or as a string (int64
// values such as chat orders); 0 for an empty handle.
int64_t Int64Of(const IqvnObjectJSON& aNode);
// The same for an int32 member; a value beyond 32 bits raises EqvnConvertError.
int32_t Int32Of(const IqvnObjectJSON& aNode);
bool BooleanOf(const IqvnObjectJSON& aNode);

// The photoSize of aSizes (a photo's "sizes") with the most pixels, width times height (0 where
// either is absent). Of equal ones the later: TDLib lists sizes by type, smallest first, and a
// picture too small for a larger type repeats its dimensions in that type's entry, the better
// copy. Empty when there is none.
IqvnObjectJSON LargestPhotoSize(const IqvnObjectJSON& aSizes);

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_READING_H
