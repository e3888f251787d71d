#pragma once

#include "X11TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

// A session bus of the test's own with Debian's dunst on it: the notification area of a desktop
// without a tray, which draws each notice on the screen. Gone with the object.
class NotificationHost final
{
public:
    NotificationHost()
    {
        m_bus.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1") });
        if (!m_bus.waitForStarted(5000) || !waitUntil([&] {
                m_bus.waitForReadyRead(50);
                return m_bus.canReadLine();
            }))
            return;
        m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
        if (m_address.isEmpty())
            return;
        m_dunst.setProcessEnvironment(environment());
        m_dunst.start(QStringLiteral("dunst"), {});
        m_running = m_dunst.waitForStarted(5000)
            && waitUntil([&] { return ctl({ QStringLiteral("is-paused") }) == "false"; });
    }
    ~NotificationHost()
    {
        for (QProcess *process : { &m_dunst, &m_bus }) {
            process->terminate();
            if (!process->waitForFinished(3000))
                process->kill();
            process->waitForFinished(1000);
        }
    }
    NotificationHost(const NotificationHost &) = delete;
    NotificationHost &operator=(const NotificationHost &) = delete;

    bool isRunning() const { return m_running; }
    // For the app's environment: DBUS_SESSION_BUS_ADDRESS.
    QString busAddress() const { return m_address; }

    // How many notices are on the screen now.
    int displayed() const { return ctl({ QStringLiteral("count"), QStringLiteral("displayed") }).toInt(); }
    // Whether a notice is on the screen drawn (dunst's window shown and painted).
    static bool noticeIsDrawn()
    {
        const QString shown = toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                QStringLiteral("^dunst$") });
        return !shown.isEmpty() && isDrawn(windowGeometry(shown.split(u'\n').first().toULongLong()).rect);
    }
    // Closes the notices on screen; they go to the history.
    void closeAll() const { ctl({ QStringLiteral("close-all") }); }

    struct Notice
    {
        QString application;
        QString summary;
        QString body;
    };
    // The notices closed so far, newest first.
    QList<Notice> history() const
    {
        const QJsonObject answer
            = QJsonDocument::fromJson(ctl({ QStringLiteral("history") }).toUtf8()).object();
        QList<Notice> notices;
        for (const QJsonValue &group : answer.value(QStringLiteral("data")).toArray()) {
            for (const QJsonValue &entry : group.toArray()) {
                const QJsonObject notice = entry.toObject();
                const auto field = [&](const char *name) {
                    return notice.value(QLatin1String(name))
                        .toObject()
                        .value(QStringLiteral("data"))
                        .toString();
                };
                notices.append({ field("appname"), field("summary"), field("body") });
            }
        }
        return notices;
    }

private:
    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        return environment;
    }
    QString ctl(const QStringList &arguments) const
    {
        QProcess control;
        control.setProcessEnvironment(environment());
        control.start(QStringLiteral("dunstctl"), arguments);
        control.waitForFinished(10000);
        return QString::fromUtf8(control.readAllStandardOutput()).trimmed();
    }

    QProcess m_bus;
    QProcess m_dunst;
    QString m_address;
    bool m_running = false;
};
