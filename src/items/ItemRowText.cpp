#include "items/ItemRowText.h"

#include "common/TextExcerpt.h"

#include <QFileInfo>
#include <QPalette>
#include <QStringTokenizer>

namespace {

// Rows show one line; a longer cut keeps eliding cheap for huge texts (and a letter under
// thousands of accents keeps a few of them).
constexpr qsizetype maxLineLength = 300;

QString firstLine(const QString &text)
{
    for (QStringView line : QStringTokenizer(text, QLatin1Char('\n'))) {
        const QStringView trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            return TextExcerpt::make(trimmed, 1, maxLineLength).text;
    }
    return QString();
}

QString contentTitle(const ClipboardItem &item)
{
    switch (item.type()) {
    case ClipboardItemType::link:
        if (const std::optional<QString> title = item.linkTitle(); title && !title->trimmed().isEmpty())
            return firstLine(*title);
        return firstLine(item.displayText().value_or(item.textContent().value_or(QString())));
    case ClipboardItemType::file:
    case ClipboardItemType::media:
        if (const std::optional<QUrl> url = item.fileURL()) {
            const QString name = QFileInfo(url->path()).fileName();
            const int further = item.additionalFileTotal();
            if (further > 0)
                return QStringLiteral("%1 + %2 more").arg(name).arg(further);
            return name.isEmpty() ? url->toString() : name;
        }
        if (item.type() == ClipboardItemType::media) {
            switch (item.mediaSubtype().value_or(MediaSubtype::image)) {
            case MediaSubtype::image:
                return QStringLiteral("Image");
            case MediaSubtype::video:
                return QStringLiteral("Video");
            case MediaSubtype::audio:
                return QStringLiteral("Audio");
            }
        }
        return firstLine(item.textContent().value_or(QString()));
    case ClipboardItemType::color:
        return firstLine(item.textContent().value_or(item.colorHex().value_or(QString())));
    case ClipboardItemType::text:
    case ClipboardItemType::code:
        break;
    }
    if (const std::optional<QString> preview = item.previewText(); preview && !preview->isEmpty())
        return firstLine(*preview);
    return firstLine(item.textContent().value_or(QString()));
}

} // namespace

QString itemTitle(const ClipboardItem &item)
{
    if (const std::optional<QString> label = item.pinnedLabel(); label && !label->trimmed().isEmpty())
        return firstLine(*label);
    return contentTitle(item.resolvedItem());
}

QString itemSubtitle(const ClipboardItem &item)
{
    const ClipboardItem &shown = item.resolvedItem();
    if (const std::optional<QString> label = item.pinnedLabel(); label && !label->trimmed().isEmpty())
        return contentTitle(shown);
    switch (shown.type()) {
    case ClipboardItemType::link:
        if (shown.linkTitle())
            return firstLine(shown.displayText().value_or(shown.textContent().value_or(QString())));
        return QString();
    case ClipboardItemType::file:
    case ClipboardItemType::media:
        if (const std::optional<QUrl> url = shown.fileURL())
            return QFileInfo(url->path()).path();
        return QString();
    case ClipboardItemType::color: {
        const QString hex = shown.colorHex().value_or(QString());
        return hex.compare(contentTitle(shown), Qt::CaseInsensitive) == 0 ? QString() : hex;
    }
    case ClipboardItemType::text:
    case ClipboardItemType::code:
        return QString();
    }
    return QString();
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

namespace {

QColor primaryTint(const QPalette &palette, double opacity)
{
    return withAlpha(palette.color(QPalette::Text), opacity);
}

} // namespace

QColor primaryTint04(const QPalette &palette)
{
    return primaryTint(palette, 0.04);
}

QColor primaryTint05(const QPalette &palette)
{
    return primaryTint(palette, 0.05);
}

QColor primaryTint075(const QPalette &palette)
{
    return primaryTint(palette, 0.075);
}

QColor primaryTint65(const QPalette &palette)
{
    return primaryTint(palette, 0.65);
}
