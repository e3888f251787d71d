#include "items/CachedCodeLine.h"

#include "detection/CodePreviewLines.h"
#include "detection/HighlightCacheService.h"

namespace CachedCodeLine {

QList<CodeLine> lines(
    const ClipboardItem &item, int maxLines, bool isDark, HighlightTheme theme, HighlightCacheService &cache)
{
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
                shown.append(CodeLine::indented(text.indentation, cached->text, cached->formats));
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
