// Reading TDLib's objects out of a parsed document: the helpers the engine's records
// (qvnTelegram_Records.cpp), the window's reader (app/qvnTelegramReader.cpp) and programs share,
// so all read the same members the same way.
//
// Programs read an answer or an event by path, with typed and unescaped values:
//
//   TqvnTDLibObject message(event);                         // OnEventDocument's document
//   int64_t chat = message.Get<int64_t>("message", "chat_id");
//   std::string text = message.Text("message", "content", "text", "text");  // escapes decoded
//   for (const TqvnTDLibObject& size : photo.Items("sizes")) size.Get<int32_t>("width");
//
// Pure functions over the nodes of one document, on the thread that owns it; they never change
// the document (a walk never turns a scalar into an object), so observers of the dispatcher's
// document may use them freely. A view made from a document or a node (the implicit
// constructors) is valid while that document lives; Object and Items keep what they return
// alive on their own. Absent members read as empty handles and views, "", 0 or false; a member
// whose value does not convert (a word where a number belongs, a bad escape) raises the JSON
// library's error (EqvnConvertError, EqvnJSONError).
#ifndef QVN_CLIENT_QVNTELEGRAM_READING_H
#define QVN_CLIENT_QVNTELEGRAM_READING_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

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
  TqvnTDLibObject() = default;
  // The member aName; empty when there is none or this is no object.
  IqvnObjectJSON Member(std::string_view aName) const;
  explicit operator bool() const { return FNode != nullptr || FDocument != nullptr; }

  // Typed values by path: the member names from this object inwards (none: this node itself).
  // T is bool, int32_t, int64_t (TDLib writes int64 members as strings; both forms read),
  // double or std::string (JSON escapes decoded; an object or array gives its JSON text). An
  // absent or null member gives T().
  template <class T, class... TNames>
  T Get(const TNames&... aPath) const {
    static_assert(std::is_same_v<T, bool> || std::is_same_v<T, int32_t> ||
                      std::is_same_v<T, int64_t> || std::is_same_v<T, double> ||
                      std::is_same_v<T, std::string>,
                  "Get reads bool, int32_t, int64_t, double or std::string");
    T value{};
    ReadValue(At({std::string_view(aPath)...}), value);
    return value;
  }
  template <class... TNames>
  std::string Text(const TNames&... aPath) const {
    return Get<std::string>(aPath...);
  }
  // True when the path leads to a member (null included).
  template <class... TNames>
  bool Has(const TNames&... aPath) const {
    return At({std::string_view(aPath)...}).FNode != nullptr;
  }
  // The "@type" of this object; "" when it has none.
  std::string Type() const { return Text("@type"); }
  // The object (or array) the path leads to; empty when absent.
  template <class... TNames>
  TqvnTDLibObject Object(const TNames&... aPath) const {
    return At({std::string_view(aPath)...});
  }
  // The elements of the array the path leads to, in order; none when it is absent or no array.
  template <class... TNames>
  std::vector<TqvnTDLibObject> Items(const TNames&... aPath) const {
    return At({std::string_view(aPath)...}).Elements();
  }

 private:
  struct THeld {};
  TqvnTDLibObject(THeld, IqvnObjectJSON aNode) : FNode(aNode.get()), FHeld(std::move(aNode)) {}
  // The node when it holds a value: not absent, not null.
  TqvnObjectJSON* Value() const;
  // The view of the node at aPath, holding it; this object (unheld) for an empty path.
  TqvnTDLibObject At(std::initializer_list<std::string_view> aPath) const;
  std::vector<TqvnTDLibObject> Elements() const;
  static void ReadValue(const TqvnTDLibObject& aObject, bool& aValue);
  static void ReadValue(const TqvnTDLibObject& aObject, int32_t& aValue);
  static void ReadValue(const TqvnTDLibObject& aObject, int64_t& aValue);
  static void ReadValue(const TqvnTDLibObject& aObject, double& aValue);
  static void ReadValue(const TqvnTDLibObject& aObject, std::string& aValue);

  TqvnObjectJSON* FNode = nullptr;
  const TqvnJSON* FDocument = nullptr;
  IqvnObjectJSON FHeld;  // set by Object and Items, whose views outlive the caller's handles
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
