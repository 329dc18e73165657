// qvnJSON: a JSON document (TqvnJSON) as an ordered list of named nodes (TqvnObjectJSON),
// a lenient reader (Read) and a writer (Text).
//
// Who calls it: the dispatcher and the inbound records read one document per TDLib event text
// and walk it by member names; the proxy requests build a document with AddPair/AddObject and
// send its Text.
//
// Values stay text: the reader stores every string, number, boolean and null exactly as the text
// spells it (strings keep their escape sequences, see UnescapeJSONString in qvnBase_Helpers.h);
// nothing is converted until a caller asks a TqvnJSONValue for a number or a boolean.
//
// Handles and ownership:
// - IqvnJSON is a std::shared_ptr<TqvnJSON>, IqvnObjectJSON a std::shared_ptr<TqvnObjectJSON>.
//   An empty handle means "not there" (Node with a missing name, Item past the end).
// - A document owns its nodes, a node owns its child document. Any handle obtained from this
//   library (Node, Item, AddPair, AddObject, AddArray, JSONObject) keeps that object, and all it
//   was read or built with, alive and readable after its document was cleared or destroyed.
// - A document declared by the caller (on the stack or with std::make_shared) is a root. The
//   nodes and texts of a root and of all its child documents live in one memory region. Read and
//   Clear on a root on which no handle is held reuse that region; otherwise the held handles keep
//   the old region alive and the root starts a new one. Changing a document (AddPair on an
//   existing name, SetValue, SetName, Read of a child) adds to the region until it is released:
//   documents are meant to live for one event or one request.
// - SetNode, SetItem and SetJSONObject with a node or document of another root keep that root's
//   region alive as long as this one. Never make a document (or its root) a member of itself.
//
// Reading never throws and never reports failure: on text it cannot read it stops and keeps what
// it read before (see Read). Objects and arrays nest at most kMaxDepth levels; deeper text stops
// the read the same way.
//
// Thread safety: none. A document, its nodes and the handles on them belong to one thread.
#ifndef QVN_JSON_QVNJSON_H
#define QVN_JSON_QVNJSON_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace qvn {

class TqvnJSON;
class TqvnObjectJSON;

// Handles. Compare with nullptr / test with `if (node)` before use.
using IqvnJSON = std::shared_ptr<TqvnJSON>;
using IqvnObjectJSON = std::shared_ptr<TqvnObjectJSON>;

// The type of a node (one byte).
enum TqvnJSONtype : std::uint8_t {
  qvnJSONUndefined = 0,  // no type yet; prints as nothing
  qvnJSONObject = 1,     // members are the nodes of the child document
  qvnJSONList = 2,       // elements are the nodes of the child document
  qvnJSONString = 3,
  qvnJSONNumber = 4,
  qvnJSONBoolean = 5,
  qvnJSONNull = 6,
};

// Every error raised by this library.
class EqvnJSONError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A value could not be converted (an empty text or a word read as a number, ...).
class EqvnConvertError : public EqvnJSONError {
 public:
  using EqvnJSONError::EqvnJSONError;
};

// A negative position in Item/SetItem: "List index out of bounds (%d)".
class EqvnListError : public EqvnJSONError {
 public:
  using EqvnJSONError::EqvnJSONError;
};

// What a TqvnJSONValue holds.
enum TqvnJSONValueKind : std::uint8_t {
  jvEmpty = 0,
  jvText = 1,
  jvInteger = 2,  // 32-bit signed
  jvInt64 = 3,
  jvDouble = 4,
  jvBoolean = 5,
};

// The tagged value of a node: empty, UTF-8 text, 32/64-bit integer, double or boolean.
// Values read from text are always text; the As* conversions work on that text.
class TqvnJSONValue {
 public:
  TqvnJSONValue() = default;
  TqvnJSONValue(std::string aText) : FData(std::in_place_index<jvText>, std::move(aText)) {}
  TqvnJSONValue(std::string_view aText) : FData(std::in_place_index<jvText>, aText) {}
  TqvnJSONValue(const char* aText) : FData(std::in_place_index<jvText>, aText) {}
  TqvnJSONValue(std::int32_t aValue) : FData(std::in_place_index<jvInteger>, aValue) {}
  TqvnJSONValue(long aValue) : FData(std::in_place_index<jvInt64>, aValue) {}
  TqvnJSONValue(long long aValue) : FData(std::in_place_index<jvInt64>, aValue) {}
  TqvnJSONValue(double aValue) : FData(std::in_place_index<jvDouble>, aValue) {}
  TqvnJSONValue(bool aValue) : FData(std::in_place_index<jvBoolean>, aValue) {}

  TqvnJSONValueKind Kind() const { return static_cast<TqvnJSONValueKind>(FData.index()); }
  bool IsEmpty() const { return FData.index() == jvEmpty; }
  // The text of a text value without a copy; empty for the other kinds.
  std::string_view TextView() const {
    const std::string* text = std::get_if<jvText>(&FData);
    return text != nullptr ? std::string_view(*text) : std::string_view();
  }

  // Text unchanged; integers in decimal; a double in its shortest round-trip form with a
  // point; a boolean as "True"/"False"; empty as "". Never throws.
  std::string AsString() const;
  // A text holding a signed decimal integer (optional sign, digits only) converts; integers are
  // returned as they are (AsInteger raises when the value does not fit 32 bits); a double with
  // no fraction converts; a boolean gives 1 or 0. Anything else raises EqvnConvertError.
  std::int64_t AsInt64() const;
  std::int32_t AsInteger() const;
  // "true"/"false" in any letter case; a number (or number text) is true when it is not 0: a
  // number text by its digits, so "1e-400" and "1e400" are true and "0e5" is false.
  // Anything else (empty text, another word) raises EqvnConvertError.
  bool AsBoolean() const;
  // A number text (JSON syntax, a leading "+" allowed) or any numeric value. Else raises. A text
  // beyond the double range gives an infinity when too large ("1e400", "-1e400") and a zero
  // when too small ("1e-400"), with the text's sign; never a value of another size.
  double AsDouble() const;

  bool operator==(const TqvnJSONValue& aOther) const = default;

 private:
  std::variant<std::monostate, std::string, std::int32_t, std::int64_t, double, bool> FData;
};

namespace detail {
class TqvnJSONArena;
class TqvnJSONReader;
class TqvnJSONWriter;

// A node's value as stored inside the document's memory region (texts are views into it).
struct TqvnJSONStored {
  TqvnJSONValueKind Kind = jvEmpty;
  std::size_t TextSize = 0;
  union {
    const char* Text;
    std::int32_t I32;
    std::int64_t I64;
    double D;
    bool B;
  };
  TqvnJSONStored() : Text(nullptr) {}
};
}  // namespace detail

// A node: a member of an object or an element of an array. Created only by documents.
class TqvnObjectJSON {
 public:
  TqvnObjectJSON(const TqvnObjectJSON&) = delete;
  TqvnObjectJSON& operator=(const TqvnObjectJSON&) = delete;

  // The child document, created on first use; creating it makes the node an object node
  // unless it is a list node.
  IqvnJSON JSONObject();
  // Makes aValue the child document (an empty handle drops it); the type is not changed.
  void SetJSONObject(const IqvnJSON& aValue);

  TqvnJSONtype JSONType() const { return FType; }
  void SetJSONType(TqvnJSONtype aType) { FType = aType; }

  // The member name (empty for array elements), raw as it stood between the quotes.
  std::string Name() const { return std::string(FName); }
  void SetName(std::string_view aName);

  // The value: for an object node the child document's Text; for a list node the child's
  // IsArray is set and its Text returned; otherwise the stored value.
  TqvnJSONValue Value();
  // Stores aValue unchanged (type and child are not touched).
  void SetValue(const TqvnJSONValue& aValue);
  // The stored text of a text value without a copy (empty for other values). Valid while the
  // node lives and its value is unchanged.
  std::string_view StoredText() const;

  // 0 when the node has no child document (none is created), else the child's Count.
  int Count() const;

  // Node/Item forms: JSONObject() first (so a scalar node becomes an object node), then the
  // same operation on the child document.
  IqvnObjectJSON GetNode(std::string_view aName);
  IqvnObjectJSON Node(std::string_view aName) { return GetNode(aName); }
  void SetNode(std::string_view aName, const IqvnObjectJSON& aValue);
  IqvnObjectJSON GetItem(int i);
  IqvnObjectJSON Item(int i) { return GetItem(i); }
  void SetItem(int i, const IqvnObjectJSON& aValue);

  // Drops the node's child document; type and value stay.
  void Clear() { FChild = nullptr; }

  // False for a string added with AddPair whose text begins with "{" or "[": the writer then
  // inserts it as raw JSON.
  bool Quoted() const { return FQuoted; }

 private:
  friend class TqvnJSON;
  friend class detail::TqvnJSONArena;
  friend class detail::TqvnJSONReader;
  friend class detail::TqvnJSONWriter;
  explicit TqvnObjectJSON(detail::TqvnJSONArena* aArena) : FArena(aArena) {}
  ~TqvnObjectJSON() = default;
  IqvnObjectJSON Handle();
  TqvnJSON* Child();

  detail::TqvnJSONArena* FArena;
  std::string_view FName;
  detail::TqvnJSONStored FValue;
  TqvnJSON* FChild = nullptr;
  TqvnJSONtype FType = qvnJSONUndefined;
  bool FQuoted = true;
};

// A document: an ordered list of named nodes, a JSON object or (IsArray) a JSON array.
class TqvnJSON {
 public:
  // Objects and arrays nested deeper than this stop the reader like malformed text.
  static constexpr int kMaxDepth = 256;

  TqvnJSON();
  ~TqvnJSON();
  TqvnJSON(const TqvnJSON&) = delete;
  TqvnJSON& operator=(const TqvnJSON&) = delete;

  int Count() const { return static_cast<int>(FCount); }

  // First node whose name equals aName exactly (case matters), or an empty handle.
  IqvnObjectJSON GetNode(std::string_view aName) const;
  IqvnObjectJSON Node(std::string_view aName) const { return GetNode(aName); }
  // Puts aValue in the place of the first node named aName; nothing when there is none.
  // An empty aValue raises EqvnJSONError.
  void SetNode(std::string_view aName, const IqvnObjectJSON& aValue);
  // Node at position i (from 0), or an empty handle when i >= Count. i < 0 raises
  // EqvnListError("List index out of bounds (i)").
  IqvnObjectJSON GetItem(int i) const;
  IqvnObjectJSON Item(int i) const { return GetItem(i); }
  // Replaces the node at position i; nothing when i >= Count; i < 0 raises EqvnListError.
  void SetItem(int i, const IqvnObjectJSON& aValue);

  bool IsArray() const { return FIsArray; }
  void SetIsArray(bool aValue) { FIsArray = aValue; }

  // When on, names and string values added later are escaped (as EscapeJSONString, except that
  // character 127 is kept).
  bool EscapeStrings() const { return FEscapeStrings; }
  void SetEscapeStrings(bool aValue) { FEscapeStrings = aValue; }

  // Each AddPair/AddObject/AddArray goes through AddNode: when a node named aName exists, only
  // its value is set to aValue (nothing else changes, nothing is added) and it is returned.
  // Otherwise a new node is appended:
  // - string: stored unchanged; a text beginning with "{" or "[" is printed as raw JSON.
  IqvnObjectJSON AddPair(std::string_view aName, std::string_view aValue);
  IqvnObjectJSON AddPair(std::string_view aName, const char* aValue) {
    return AddPair(aName, std::string_view(aValue));
  }
  IqvnObjectJSON AddPair(std::string_view aName, const std::string& aValue) {
    return AddPair(aName, std::string_view(aValue));
  }
  // - numbers, printed in decimal (a double with a point).
  IqvnObjectJSON AddPair(std::string_view aName, std::int32_t aValue);
  IqvnObjectJSON AddPair(std::string_view aName, std::int64_t aValue);
  IqvnObjectJSON AddPair(std::string_view aName, long long aValue) {
    return AddPair(aName, static_cast<std::int64_t>(aValue));
  }
  IqvnObjectJSON AddPair(std::string_view aName, double aValue);
  // - boolean, stored as "true"/"false".
  IqvnObjectJSON AddPair(std::string_view aName, bool aValue);
  // - null (empty value; prints null).
  IqvnObjectJSON AddPair(std::string_view aName);
  // An object (array) node whose child document reads aValue (JSON text, may be empty).
  IqvnObjectJSON AddObject(std::string_view aName, std::string_view aValue = {});
  IqvnObjectJSON AddArray(std::string_view aName, std::string_view aValue = {});
  // The single path of the Add* operations above.
  IqvnObjectJSON AddNode(std::string_view aName, const TqvnJSONValue& aValue, TqvnJSONtype aType);

  // Removes every node (handles held on them keep them alive).
  void Clear();

  // Clears the document, sets IsArray to false and reads aText into it. A text whose first
  // character is "[" is read as an array (IsArray true); anything else as an object. Lenient:
  // blanks, "#" comments up to the end of the line, optional and trailing commas, TRUE/False/
  // NULL in any case, numbers with a leading "+" or zeros. Text after the top-level value is
  // ignored. On the first error it stops: what was read before stays, the rest is dropped.
  // aText may view this document's own memory (a node's StoredText): it is read before that
  // memory is let go.
  void Read(std::string_view aText);

  // The document as JSON text with no blanks; never empty ("{}" or "[]" when there are no
  // nodes). Nothing is escaped: names and values print as stored. A double that is NaN or
  // infinite (which JSON cannot spell) prints as null.
  std::string Text() const;

 private:
  friend class TqvnObjectJSON;
  friend class detail::TqvnJSONArena;
  friend class detail::TqvnJSONReader;
  friend class detail::TqvnJSONWriter;
  explicit TqvnJSON(detail::TqvnJSONArena* aArena);
  detail::TqvnJSONArena& Arena();
  // Starts over with an empty region when this is a root (see the contract above).
  void RenewRegion();
  IqvnJSON Handle();
  TqvnObjectJSON* Find(std::string_view aName) const;
  void Append(TqvnObjectJSON* aNode);
  TqvnObjectJSON* Adopt(const IqvnObjectJSON& aValue);

  std::shared_ptr<detail::TqvnJSONArena> FOwnArena;  // set on roots only
  detail::TqvnJSONArena* FArena = nullptr;
  TqvnObjectJSON** FItems = nullptr;  // in the region
  std::uint32_t FCount = 0;
  std::uint32_t FCapacity = 0;
  bool FIsArray = false;
  bool FEscapeStrings = false;
};

}  // namespace qvn

#endif  // QVN_JSON_QVNJSON_H
