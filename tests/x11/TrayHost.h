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
        // The panel, once made, is a window of the same class: the icon is the small one.
        QRegularExpressionMatchIterator matches = iconLine.globalMatch(
            toolOutput(QStringLiteral("xwininfo"), { QStringLiteral("-root"), QStringLiteral("-tree") }));
        while (matches.hasNext()) {
            const QRegularExpressionMatch match = matches.next();
            const QRect icon(match.captured(3).toInt(), match.captured(4).toInt(), match.captured(1).toInt(),
                match.captured(2).toInt());
            if (icon.x() > 0 && icon.width() <= 64 && icon.height() <= 64)
                return icon;
        }
        return {};
    }

private:
    QProcess m_process;
    bool m_started = false;
};
