#include "app/qvnRichTextPreview.h"

#include <string>
#include <vector>

#include "client/qvnTelegram_Reading.h"
#include "client/qvnTelegram_RichText.h"
#include "json/qvnJSON.h"

namespace qvn {
namespace {

// The tags of TDLib's entity types the markup makes, one bit each.
struct TFormat {
  const char* EntityType;
  const char* Open;
  const char* Close;
};
constexpr TFormat kFormats[] = {
    {"textEntityTypeBold", "<b>", "</b>"},
    {"textEntityTypeItalic", "<i>", "</i>"},
    {"textEntityTypeStrikethrough", "<s>", "</s>"},
    {"textEntityTypeUnderline", "<u>", "</u>"},
    {"textEntityTypeCode", "<code>", "</code>"},
};

QString Escaped(const QString& aText) {
  return aText.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

}  // namespace

QString RichTextPreviewHtml(std::string_view aText, const std::vector<TqvnTextRange>& aKeep) {
  std::string plain;
  std::string entities;
  ParseRichText(aText, aKeep, plain, entities);
  if (entities.empty()) return {};
  const QString text = QString::fromStdString(plain);
  // The formats of each UTF-16 unit of the plain text (entity offsets count those units).
  std::vector<unsigned> formats(static_cast<size_t>(text.size()), 0);
  TqvnJSON document;
  document.Read("{\"entities\":[" + entities + "]}");
  IqvnObjectJSON list = document.GetNode("entities");
  for (int i = 0; list && i < list->Count(); ++i) {
    const TqvnTDLibObject entity(list->Item(i));
    const std::string type = PlainText(NodeAt(entity, {"type", "@type"}));
    const int64_t offset = Int64Of(NodeAt(entity, {"offset"}));
    const int64_t end = offset + Int64Of(NodeAt(entity, {"length"}));
    for (unsigned bit = 0; bit < std::size(kFormats); ++bit) {
      if (type != kFormats[bit].EntityType) continue;
      for (int64_t at = std::max<int64_t>(offset, 0);
           at < end && at < static_cast<int64_t>(formats.size()); ++at) {
        formats[static_cast<size_t>(at)] |= 1u << bit;
      }
    }
  }
  QString html;
  unsigned open = 0;
  qsizetype runStart = 0;
  const auto flush = [&](qsizetype aEnd, unsigned aNext) {
    html += Escaped(text.mid(runStart, aEnd - runStart));
    for (unsigned bit = std::size(kFormats); bit-- > 0;) {
      if (open & (1u << bit)) html += QLatin1String(kFormats[bit].Close);
    }
    for (unsigned bit = 0; bit < std::size(kFormats); ++bit) {
      if (aNext & (1u << bit)) html += QLatin1String(kFormats[bit].Open);
    }
    open = aNext;
    runStart = aEnd;
  };
  for (qsizetype at = 0; at < text.size(); ++at) {
    if (formats[static_cast<size_t>(at)] != open) flush(at, formats[static_cast<size_t>(at)]);
  }
  flush(text.size(), 0);
  return html;
}

}  // namespace qvn
