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
    // +1897+1049`; empty until it is there and shown (a click before would reach the tray).
    // Looked for among the tray's own windows only: the panel and a desktop theme's helper
    // window (GTK's, 10 x 10) have the app's class too.
    static QRect appIcon()
    {
        static const QRegularExpression trayLine(
            QStringLiteral(R"re((0x[0-9a-f]+) .*\("panel" "trayer"\))re"));
        static const QRegularExpression iconLine(QStringLiteral(
            R"re((0x[0-9a-f]+) .*\("tindlewick" "Tindlewick"\)\s+(\d+)x(\d+)[-+]\d+[-+]\d+\s+\+(-?\d+)\+(-?\d+))re"));
        const QRegularExpressionMatch tray = trayLine.match(
            toolOutput(QStringLiteral("xwininfo"), { QStringLiteral("-root"), QStringLiteral("-tree") }));
        if (!tray.hasMatch())
            return {};
        const QRegularExpressionMatch icon = iconLine.match(toolOutput(QStringLiteral("xwininfo"),
            { QStringLiteral("-tree"), QStringLiteral("-id"), tray.captured(1) }));
        if (!icon.hasMatch()
            || !toolOutput(QStringLiteral("xwininfo"), { QStringLiteral("-id"), icon.captured(1) })
                    .contains(QLatin1String("Map State: IsViewable")))
            return {};
        return QRect(icon.captured(4).toInt(), icon.captured(5).toInt(), icon.captured(2).toInt(),
            icon.captured(3).toInt());
    }

    // The app's icon once two looks in a row find it at the same place: the tray may still be
    // placing it when it first shows. Empty when it never stands still within the limit.
    static QRect settledAppIcon(std::chrono::milliseconds limit = std::chrono::seconds(15))
    {
        QRect icon;
        waitUntil(
            [&] {
                const QRect before = icon;
                icon = appIcon();
                return !icon.isEmpty() && icon == before;
            },
            limit);
        return icon;
    }

private:
    QProcess m_process;
    bool m_started = false;
};
