#include "shell/AppIcon.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPalette>

namespace {

QIcon drawnClipboardIcon()
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = QApplication::palette().color(QPalette::WindowText);
    painter.setPen(QPen(ink, 5));
    painter.drawRoundedRect(QRectF(12, 10, 40, 48), 6, 6);
    painter.setBrush(ink);
    painter.drawRoundedRect(QRectF(22, 4, 20, 12), 3, 3);
    painter.drawLine(QPointF(21, 30), QPointF(43, 30));
    painter.drawLine(QPointF(21, 42), QPointF(37, 42));
    return QIcon(pixmap);
}

} // namespace

namespace AppIcon {

QIcon installedIcon(const QString &executableDirectory)
{
    const QDir hicolor(executableDirectory + QStringLiteral("/../share/icons/hicolor"));
    QIcon icon;
    // Folders named "<n>x<n>"; the scalable SVG needs an icon engine Qt may lack.
    for (const QString &size : hicolor.entryList({ QStringLiteral("*x*") }, QDir::Dirs)) {
        const QString file = hicolor.filePath(size + QStringLiteral("/apps/tindlewick.png"));
        if (QFileInfo::exists(file))
            icon.addFile(file);
    }
    return icon;
}

QIcon icon()
{
    QIcon beside = installedIcon(QCoreApplication::applicationDirPath());
    return QIcon::fromTheme(QStringLiteral("tindlewick"), beside.isNull() ? drawnClipboardIcon() : beside);
}

} // namespace AppIcon
