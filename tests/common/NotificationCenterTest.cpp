#include "common/NotificationCenter.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QThread>

TEST(NotificationCenterTest, DeliversOnlyTheObservedNameWithItsUserInfo)
{
    QObject context;
    QList<QVariantMap> received;
    NotificationCenter::defaultCenter().addObserver(
        Notifications::settingsSelectTab, &context, [&](const QVariantMap &info) { received.append(info); });

    NotificationCenter::defaultCenter().post(Notifications::panelWillShow);
    NotificationCenter::defaultCenter().post(
        Notifications::settingsSelectTab, { { Notifications::tabKey, 2 } });

    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received.first().value(Notifications::tabKey).toInt(), 2);
}

TEST(NotificationCenterTest, ObserverStopsWithItsContext)
{
    int count = 0;
    {
        QObject context;
        NotificationCenter::defaultCenter().addObserver(
            Notifications::volumesDidChange, &context, [&](const QVariantMap &) { ++count; });
        NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
    }
    NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
    EXPECT_EQ(count, 1);
}

TEST(NotificationCenterTest, PostFromAnotherThreadArrivesOnTheMainThread)
{
    QObject context;
    QThread *deliveredOn = nullptr;
    NotificationCenter::defaultCenter().addObserver(Notifications::codeThemeChanged, &context,
        [&](const QVariantMap &) { deliveredOn = QThread::currentThread(); });

    QThread *poster
        = QThread::create([] { NotificationCenter::defaultCenter().post(Notifications::codeThemeChanged); });
    poster->start();
    poster->wait();
    delete poster;

    ASSERT_TRUE(waitUntil([&] { return deliveredOn != nullptr; }));
    EXPECT_EQ(deliveredOn, QThread::currentThread());
}
