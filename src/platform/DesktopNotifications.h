#pragma once

#include <QFuture>
#include <QList>
#include <QString>

// Notices in the desktop's notification area: the freedesktop.org notification service on the
// session bus, which desktops without a tray (GNOME's default session) have too; tests use
// FakeDesktopNotifications. Main thread only.
class DesktopNotifications
{
public:
    virtual ~DesktopNotifications() = default;

    // Hands a notice to the desktop without waiting for it. The future says whether the desktop
    // took it: false where no notification service runs.
    virtual QFuture<bool> notify(const QString &title, const QString &body) = 0;
};

// The freedesktop.org notification service (org.freedesktop.Notifications) on the session bus.
class DBusDesktopNotifications final : public DesktopNotifications
{
public:
    QFuture<bool> notify(const QString &title, const QString &body) override;
};

class FakeDesktopNotifications final : public DesktopNotifications
{
public:
    struct Notice
    {
        QString title;
        QString body;
    };
    QList<Notice> notices;
    // Whether a notification service takes them.
    bool serviceRuns = true;

    QFuture<bool> notify(const QString &title, const QString &body) override
    {
        if (serviceRuns)
            notices.append({ title, body });
        return QtFuture::makeReadyFuture(serviceRuns);
    }
};
