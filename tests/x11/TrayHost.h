#pragma once

#include "X11TestSupport.h"

#include <QProcess>
#include <QRect>
#include <QRegularExpression>

// Debian's trayer: a system tray on the bottom edge, for the app's icon.
class TrayHost final
{
public:
    TrayHost()
    {
        m_process.start(QStringLiteral("trayer"),
            { QStringLiteral("--edge"), QStringLiteral("bottom"), QStringLiteral("--align"),
                QStringLiteral("right"), QStringLiteral("--height"), QStringLiteral("32") });
        m_started = m_process.waitForStarted(3000) && waitUntil([] {
            return toolOutput(
                QStringLiteral("xwininfo"), { QStringLiteral("-root"), QStringLiteral("-tree") })
                .contains(QLatin1String("(\"panel\" \"trayer\")"));
        });
    }
    ~TrayHost()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    TrayHost(const TrayHost &) = delete;
    TrayHost &operator=(const TrayHost &) = delete;

    bool isRunning() const { return m_started; }

    // The app's icon in the tray, e.g. `0x600006 "Tindlewick": ("tindlewick" "Tindlewick") 22x30+0+0
    // +1897+1049`; empty until it is there.
    static QRect appIcon()
    {
        static const QRegularExpression iconLine(QStringLiteral(
            R"re(\("tindlewick" "Tindlewick"\)\s+(\d+)x(\d+)[-+]\d+[-+]\d+\s+\+(-?\d+)\+(-?\d+))re"));
        static const QRegularExpression panelLine(
            QStringLiteral(R"re(\("panel" "trayer"\)\s+(\d+)x(\d+)[-+]\d+[-+]\d+\s+\+(-?\d+)\+(-?\d+))re"));
        const QString tree
            = toolOutput(QStringLiteral("xwininfo"), { QStringLiteral("-root"), QStringLiteral("-tree") });
        const auto rectOf = [](const QRegularExpressionMatch &match) {
            return QRect(match.captured(3).toInt(), match.captured(4).toInt(), match.captured(1).toInt(),
                match.captured(2).toInt());
        };
        const QRegularExpressionMatch panel = panelLine.match(tree);
        if (!panel.hasMatch())
            return {};
        // The app's other windows of the same class (the panel once made, and under the GTK
        // platform theme GTK's own small leader window) lie outside the tray's panel.
        QRegularExpressionMatchIterator matches = iconLine.globalMatch(tree);
        while (matches.hasNext()) {
            const QRect icon = rectOf(matches.next());
            if (rectOf(panel).contains(icon) && icon.width() <= 64 && icon.height() <= 64)
                return icon;
        }
        return {};
    }

private:
    QProcess m_process;
    bool m_started = false;
};
