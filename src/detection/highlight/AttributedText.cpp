#include "detection/highlight/AttributedText.h"

QTextCharFormat AttributedText::formatAt(qsizetype position) const
{
    for (const QTextLayout::FormatRange &range : formats) {
        if (position >= range.start && position < range.start + range.length)
            return range.format;
    }
    return {};
}
