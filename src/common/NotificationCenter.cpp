#include "common/NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter *center = [] {
        auto *created = new NotificationCenter;
        if (QCoreApplication *app = QCoreApplication::instance())
            created->moveToThread(app->thread());
        return created;
    }();
    return *center;
}

void NotificationCenter::post(const QString &name, const QVariantMap &userInfo)
{
    if (QThread::currentThread() == thread()) {
        Q_EMIT notificationPosted(name, userInfo);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, name, userInfo] { Q_EMIT notificationPosted(name, userInfo); }, Qt::QueuedConnection);
}

QMetaObject::Connection NotificationCenter::addObserver(
    const QString &name, const QObject *context, std::function<void(const QVariantMap &)> handler)
{
    return connect(this, &NotificationCenter::notificationPosted, context,
        [name, handler = std::move(handler)](const QString &posted, const QVariantMap &userInfo) {
            if (posted == name)
                handler(userInfo);
        });
}
