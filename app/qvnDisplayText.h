// Bounds a text before a view lays it out: Qt's layout of one long unbroken line grows with the
// square of its length (a 2 MiB line held the GUI thread for minutes), so no text the window
// shows is longer than a bound.
//
// Pure function, any thread.
#ifndef QVN_APP_QVNDISPLAYTEXT_H
#define QVN_APP_QVNDISPLAYTEXT_H

#include <cstddef>
#include <string>
#include <string_view>

namespace qvn {

// aText (UTF-8) when it has at most aMaxBytes bytes; otherwise its first aMaxBytes bytes or
// fewer (never half a character), then "… (N bytes" + aNote + ")" with N the whole size.
std::string ShortenForDisplay(std::string_view aText, std::size_t aMaxBytes,
                              std::string_view aNote = {});

}  // namespace qvn

#endif  // QVN_APP_QVNDISPLAYTEXT_H
