// How a message typed in the rich-text markup (client/qvnTelegram_RichText.h) will look once
// sent: the engine's own parser turns the text into plain text and TDLib entities, and those
// become HTML for the preview beside the message box.
//
// Pure function; any thread (the result is a QString).
#ifndef QVN_APP_QVNRICHTEXTPREVIEW_H
#define QVN_APP_QVNRICHTEXTPREVIEW_H

#include <QString>
#include <string_view>
#include <vector>

#include "client/qvnTelegram_RichText.h"

namespace qvn {

// The plain text as HTML (escaped, line breaks as <br>) with its formatted spans in <b>, <i>,
// <s>, <u> and <code>; an empty string when the parser finds no formatting at all, so the text
// goes out exactly as typed. aKeep: the ranges TDLib recognises (links, mentions...), kept as
// typed as the send keeps them.
QString RichTextPreviewHtml(std::string_view aText, const std::vector<TqvnTextRange>& aKeep = {});

}  // namespace qvn

#endif  // QVN_APP_QVNRICHTEXTPREVIEW_H
