# Writes the typed views of TDLib's classes: a header with one class of namespace qvn::td per
# listed TDLib class, each a TqvnTDLibObject (client/qvnTelegram_Reading.h) with one accessor per
# member. The build runs it (client/CMakeLists.txt), and tests/client/views_test.cpp runs it on
# lists it should refuse:
#
#   cmake -DQVN_SCHEMA=layout.json -DQVN_CLASSES=classes.txt -DQVN_VIEWS_HEADER=views.h
#         [-DQVN_VIEW_MEMBERS_HEADER=members.h] -P QvnTDLibViews.cmake
#
# QVN_SCHEMA maps each TDLib class to its members, [name, TL type] in order: the build gives it
# client/schema/tdlib-1.8.67-layout.json, TDLib 1.8.67's own classes as the library reports
# them. QVN_CLASSES names the classes to view, one a line; '#' starts a comment.
# QVN_VIEW_MEMBERS_HEADER, for the tests, visits each view's members by TDLib's name with the
# value its accessor reads, and says how to run this script again.
#
# A listed class the schema lacks, a member type that is no TL scalar, vector, class of the
# schema or abstract (capitalised) type, and listed classes that hold one another stop the run
# with a message before anything is written. A file is rewritten only when its text changes, so
# a run that changes nothing rebuilds nothing.
cmake_minimum_required(VERSION 3.25)

foreach(required QVN_SCHEMA QVN_CLASSES QVN_VIEWS_HEADER)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "QvnTDLibViews.cmake needs -D${required}=...")
  endif()
endforeach()

file(READ "${QVN_SCHEMA}" schema)
file(STRINGS "${QVN_CLASSES}" lines)
set(classes "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "#.*" "" line "${line}")
  string(STRIP "${line}" line)
  if(NOT line STREQUAL "")
    list(APPEND classes "${line}")
  endif()
endforeach()

# name in CamelCase: first_name -> FirstName, messageSenderUser -> MessageSenderUser.
function(camel_case name out)
  string(REPLACE "_" ";" parts "${name}")
  set(result "")
  foreach(part IN LISTS parts)
    string(SUBSTRING "${part}" 0 1 first)
    string(SUBSTRING "${part}" 1 -1 rest)
    string(TOUPPER "${first}" first)
    string(APPEND result "${first}${rest}")
  endforeach()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# The C++ type a member of TL type tl reads as.
function(cpp_type tl out)
  if(tl MATCHES "^vector<(.*)>$")
    cpp_type("${CMAKE_MATCH_1}" element)
    set(type "std::vector<${element}>")
  elseif(tl STREQUAL "int32")
    set(type int32_t)
  elseif(tl STREQUAL "int53" OR tl STREQUAL "int64")
    set(type int64_t)
  elseif(tl STREQUAL "double")
    set(type double)
  elseif(tl STREQUAL "Bool")
    set(type bool)
  elseif(tl STREQUAL "string" OR tl STREQUAL "bytes")
    set(type std::string)
  elseif(tl IN_LIST classes)
    camel_case("${tl}" view)
    set(type "td::${view}")  # qualified: an accessor of the same name may hide the class
  elseif(tl MATCHES "^[A-Z][A-Za-z0-9]*$" OR schema MATCHES "\"${tl}\"[ \t\r\n]*:")
    set(type TqvnTDLibObject)
  else()
    message(FATAL_ERROR "${QVN_SCHEMA}: the member type \"${tl}\" is no TL scalar, vector, "
                        "class of the schema or abstract type")
  endif()
  set(${out} "${type}" PARENT_SCOPE)
endfunction()

# TqvnTDLibObject's own methods, which an accessor must not hide.
set(base_methods Member Get Text Has Type Object Items)
foreach(class IN LISTS classes)
  string(JSON members ERROR_VARIABLE missing GET "${schema}" "${class}")
  if(missing)
    message(FATAL_ERROR "${QVN_CLASSES} lists \"${class}\", a class ${QVN_SCHEMA} does not have")
  endif()
  camel_case("${class}" view)
  set(accessors_${class} "")
  set(visits_${class} "")
  set(uses_${class} "")
  string(JSON count LENGTH "${members}")
  set(i 0)
  while(i LESS count)
    string(JSON name GET "${members}" ${i} 0)
    string(JSON tl GET "${members}" ${i} 1)
    cpp_type("${tl}" type)
    camel_case("${name}" accessor)
    # The comment beside an accessor: the member's name when the accessor's differs, and the
    # TL type of what reads as a TqvnTDLibObject.
    set(note "")
    if(accessor IN_LIST base_methods OR accessor STREQUAL view)
      set(note " \"${name}\"")
      string(APPEND accessor Member)
    endif()
    if(type MATCHES "TqvnTDLibObject" AND note)
      string(APPEND note ": ${tl}")
    elseif(type MATCHES "TqvnTDLibObject")
      set(note " ${tl}")
    endif()
    if(type MATCHES "^std::vector<")
      set(body "return detail::ReadAs<${type}>(Object(\"${name}\"));")
    elseif(type MATCHES "^td::")
      set(body "return ${type}(Object(\"${name}\"));")
    elseif(type STREQUAL "TqvnTDLibObject")
      set(body "return Object(\"${name}\");")
    else()
      set(body "return Get<${type}>(\"${name}\");")
    endif()
    if(note)
      set(note "  //${note}")
    endif()
    set(line "  ${type} ${accessor}() const { ${body} }${note}")
    string(LENGTH "${line}" width)
    if(width GREATER 100)
      set(line "  ${type} ${accessor}() const {${note}\n    ${body}\n  }")
    endif()
    string(APPEND accessors_${class} "${line}\n")
    string(APPEND visits_${class} "    aCheck(\"${name}\", view.${accessor}());\n")
    string(REGEX MATCHALL "[A-Za-z0-9]+" words "${tl}")
    foreach(word IN LISTS words)
      if(word IN_LIST classes AND NOT word STREQUAL class)
        list(APPEND uses_${class} "${word}")
      endif()
    endforeach()
    math(EXPR i "${i} + 1")
  endwhile()
endforeach()

# Each view after the views its accessors return: a function body needs its return type whole.
set(pending ${classes})
set(ordered "")
while(pending)
  set(placed "")
  foreach(class IN LISTS pending)
    set(ready TRUE)
    foreach(used IN LISTS uses_${class})
      if(NOT used IN_LIST ordered)
        set(ready FALSE)
      endif()
    endforeach()
    if(ready)
      list(APPEND ordered "${class}")
      list(APPEND placed "${class}")
    endif()
  endforeach()
  if(NOT placed)
    list(JOIN pending ", " held)
    message(FATAL_ERROR "${QVN_CLASSES}: the classes ${held} hold one another; "
                        "leave one of them out")
  endif()
  list(REMOVE_ITEM pending ${placed})
endwhile()

file(RELATIVE_PATH schema_name "${CMAKE_CURRENT_LIST_DIR}/.." "${QVN_SCHEMA}")
file(RELATIVE_PATH classes_name "${CMAKE_CURRENT_LIST_DIR}/.." "${QVN_CLASSES}")
set(views "")
foreach(class IN LISTS ordered)
  camel_case("${class}" view)
  set(constructor "  explicit ${view}(TqvnTDLibObject aObject = {}) : TqvnTDLibObject(std::move(aObject)) {}")
  string(LENGTH "${constructor}" width)
  if(width GREATER 100)
    set(constructor "  explicit ${view}(TqvnTDLibObject aObject = {})\n      : TqvnTDLibObject(std::move(aObject)) {}")
  endif()
  string(APPEND views "
// TDLib's ${class}.
class ${view} : public TqvnTDLibObject {
 public:
  static constexpr std::string_view kType = \"${class}\";
${constructor}
${accessors_${class}}};
")
endforeach()

set(header "// Typed views of TDLib's classes: generated at build time by cmake/QvnTDLibViews.cmake from
// ${schema_name} (TDLib 1.8.67's own classes, as the library reports them)
// for the classes listed in ${classes_name}. Edit those, not this file.
//
// Each view is a TqvnTDLibObject (client/qvnTelegram_Reading.h) named after its TDLib class in
// CamelCase, with one const accessor per member in TDLib's order, named in CamelCase
// (first_name: FirstName()). A view copies and parses nothing: an accessor reads its member
// from the document when called, as Get, Object and Items do, on the thread that owns the
// document, and a view is valid as long as the TqvnTDLibObject it was made from. Members by TL
// type: int32 reads as int32_t; int53 and int64 as int64_t (TDLib's int64 strings read as
// numbers); double as double; Bool as bool; string and bytes as std::string, unescaped; a listed
// class as its view; any other class, and an abstract type (MessageContent, MessageSender), as
// a TqvnTDLibObject (the comment beside the accessor names its TL type); vector<X> as a
// std::vector of what X reads as. Absent and null members read as empty values and views.
//
// A view does not check its object's \"@type\"; kType is the type it reads. An abstract member
// is read by its Type(), then through the view of that concrete class:
//
//   td::UpdateNewMessage update(event);                  // OnEventDocument's document
//   const TqvnTDLibObject content = update.Message().Content();
//   if (content.Type() == td::MessageText::kType) {
//     std::string text = td::MessageText(content).TextMember().TextMember();
//   }
//
// Accessor names are CamelCase, so none is a C++ keyword. A member named like a method of
// TqvnTDLibObject (Member, Get, Text, Has, Type, Object, Items) or like its own class gets
// \"Member\" added, and the comment beside it names the member: \"type\" reads as TypeMember()
// (Type() stays the \"@type\"), formattedText's \"text\" as TextMember(), document's \"document\"
// as DocumentMember().
#ifndef QVN_CLIENT_QVNTELEGRAM_VIEWS_H
#define QVN_CLIENT_QVNTELEGRAM_VIEWS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include \"client/qvnTelegram_Reading.h\"

namespace qvn::td {
namespace detail {

template <class T>
struct TIsVector : std::false_type {};
template <class T>
struct TIsVector<std::vector<T>> : std::true_type {};

// aObject read as T: a number, Bool or string as itself, a view or TqvnTDLibObject of it, or a
// std::vector of its array's elements, each read as T's element type.
template <class T>
T ReadAs(const TqvnTDLibObject& aObject) {
  if constexpr (TIsVector<T>::value) {
    T elements;
    for (const TqvnTDLibObject& item : aObject.Items()) {
      elements.push_back(ReadAs<typename T::value_type>(item));
    }
    return elements;
  } else if constexpr (std::is_arithmetic_v<T> || std::is_same_v<T, std::string>) {
    return aObject.Get<T>();
  } else {
    return T(aObject);
  }
}

}  // namespace detail
${views}
}  // namespace qvn::td

#endif  // QVN_CLIENT_QVNTELEGRAM_VIEWS_H
")

# path's text becomes text, unless it holds that already.
function(write_if_changed path text)
  if(EXISTS "${path}")
    file(READ "${path}" old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE "${path}" "${text}")
endfunction()

write_if_changed("${QVN_VIEWS_HEADER}" "${header}")

if(DEFINED QVN_VIEW_MEMBERS_HEADER)
  set(names "")
  set(visits "")
  foreach(class IN LISTS classes)
    camel_case("${class}" view)
    string(APPEND names "    \"${class}\",\n")
    if(visits_${class} STREQUAL "")
      string(APPEND visits "  if (aType == td::${view}::kType) return true;\n")
    else()
      string(APPEND visits "  if (aType == td::${view}::kType) {
    const td::${view} view(aObject);
${visits_${class}}    return true;
  }
")
    endif()
  endforeach()
  write_if_changed("${QVN_VIEW_MEMBERS_HEADER}" "// For the tests of the typed views (client/qvnTelegram_Views.h): generated with them by
// cmake/QvnTDLibViews.cmake, from the same schema and list. Test thread only.
#ifndef QVN_TESTS_SUPPORT_TDLIBVIEWMEMBERS_H
#define QVN_TESTS_SUPPORT_TDLIBVIEWMEMBERS_H

#include <string_view>

#include \"client/qvnTelegram_Views.h\"

namespace qvn::test {

// The classes that have a view, as TDLib names them.
inline constexpr std::string_view kViewClasses[] = {
${names}};

// How the build ran the generator: CMake, the script and the schema.
inline constexpr const char* kViewsCMake = \"${CMAKE_COMMAND}\";
inline constexpr const char* kViewsGenerator = \"${CMAKE_CURRENT_LIST_FILE}\";
inline constexpr const char* kViewsSchema = \"${QVN_SCHEMA}\";

// Calls aCheck(member, value) for each member of the listed class aType, in TDLib's order, with
// the value its view of aObject reads; false, calling nothing, when aType has no view.
template <class TCheck>
bool VisitViewMembers(std::string_view aType, const TqvnTDLibObject& aObject, TCheck& aCheck) {
${visits}  return false;
}

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_TDLIBVIEWMEMBERS_H
")
endif()
