#include "items/CachedCodeLine.h"

#include "detection/CodePreviewLines.h"
#include "detection/HighlightCacheService.h"
#include "detection/highlight/HighlightThemeSheets.h"
#include "detection/highlight/LegibleRuns.h"
#include "items/ItemRowPainter.h"

#include <QPalette>

namespace CachedCodeLine {

QList<CodeLine> lines(const ClipboardItem &item, int maxLines, const QPalette &palette, HighlightTheme theme,
    HighlightCacheService &cache)
{
    const bool isDark = ItemRowPainter::isDark(palette);
    const QColor background = palette.color(QPalette::Window);
    const QColor textColour
        = isDark ? HighlightThemes::darkTextColor(theme) : HighlightThemes::lightTextColor(theme);
    const QString context = HighlightCacheService::previewContext();
    const QList<CodePreviewLines::Line> texts
        = CodePreviewLines::split(item.textContent().value_or(QString()), maxLines);
    QList<CodeLine> shown;
    shown.reserve(texts.size());
    QList<HighlightCacheService::Line> missing;
    for (int i = 0; i < texts.size(); ++i) {
        const CodePreviewLines::Line &text = texts[i];
        if (!CodePreviewLines::isBlank(text.code)) {
            const std::optional<AttributedText> cached
                = cache.cachedHighlight(item, i, isDark, theme, context);
            if (cached) {
                shown.append(CodeLine::indented(text.indentation, cached->text,
                    LegibleRuns::onBackground(cached->formats, background, textColour)));
                continue;
            }
            missing.append({ i, text.code });
        }
        shown.append(CodeLine::indented(text.indentation, text.code));
    }
    if (!missing.isEmpty()) {
        const std::optional<QString> label = item.codeLanguage();
        cache.highlightLines(std::const_pointer_cast<ClipboardItem>(item.shared_from_this()), missing,
            label ? HighlightLanguages::forDetectorLabel(*label) : std::nullopt, isDark, theme, context,
            HighlightCacheService::Priority::visible);
    }
    return shown;
}

} // namespace CachedCodeLine
