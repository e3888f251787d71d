#include "platform/DesktopNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPromise>

#include <memory>

QFuture<bool> DBusDesktopNotifications::notify(const QString &title, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return QtFuture::makeReadyFuture(false);
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"), QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("Notify"));
    // The desktop entry lets the desktop name the notice after the app and find its icon.
    const QVariantMap hints { { QStringLiteral("desktop-entry"), QStringLiteral("tindlewick") } };
    call << QStringLiteral("Tindlewick") << uint(0) << QStringLiteral("tindlewick") << title << body
         << QStringList() << hints << int(-1);
    auto promise = std::make_shared<QPromise<bool>>();
    promise->start();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [promise](QDBusPendingCallWatcher *done) {
        const QDBusPendingReply<uint> reply = *done;
        promise->addResult(!reply.isError());
        promise->finish();
        done->deleteLater();
    });
    return promise->future();
}
