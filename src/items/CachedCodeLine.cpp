#include "items/CachedCodeLine.h"

#include "detection/CodePreviewLines.h"
#include "detection/HighlightCacheService.h"

namespace CachedCodeLine {

QList<CodeLine> lines(
    const ClipboardItem &item, int maxLines, bool isDark, HighlightTheme theme, HighlightCacheService &cache)
{
    const QString context = HighlightCacheService::previewContext();
    const QStringList texts = CodePreviewLines::make(item.textContent().value_or(QString()), maxLines);
    QList<CodeLine> shown;
    shown.reserve(texts.size());
    QList<HighlightCacheService::Line> missing;
    for (int i = 0; i < texts.size(); ++i) {
        const QString &text = texts[i];
        if (!CodePreviewLines::isBlank(text)) {
            const std::optional<AttributedText> cached
                = cache.cachedHighlight(item, i, isDark, theme, context);
            if (cached) {
                shown.append(CodeLine { cached->text, cached->formats });
                continue;
            }
            missing.append({ i, text });
        }
        shown.append(CodeLine { text, {} });
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
