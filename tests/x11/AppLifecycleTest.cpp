// The program itself on a real X server: it starts, stays up, and on SIGTERM saves,
// checkpoints its store and exits cleanly.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <csignal>

TEST(AppLifecycleTest, StaysUpUntilToldToQuitAndLeavesTheStoreCheckpointed)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    QProcess app;
    app.setProcessEnvironment(environment);
    app.setProcessChannelMode(QProcess::ForwardedChannels);
    app.start(QStringLiteral(TINDLEWICK_APP_PATH), {});
    ASSERT_TRUE(app.waitForStarted(5000));

    const QString store = home.path() + QStringLiteral("/data/Tindlewick/default.store");
    EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(store); }, std::chrono::seconds(20)));
    EXPECT_FALSE(app.waitForFinished(1500)) << "the app must stay up";

    ::kill(pid_t(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(5000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    const QFileInfo wal(store + QStringLiteral("-wal"));
    EXPECT_TRUE(!wal.exists() || wal.size() == 0) << "the write-ahead log is folded into the store at quit";
}

TEST(AppLifecycleTest, WithoutADisplayItExplainsAndExits)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess app;
    app.setProcessEnvironment(environment);
    app.start(QStringLiteral(TINDLEWICK_APP_PATH), {});
    ASSERT_TRUE(app.waitForFinished(5000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 1);
    EXPECT_TRUE(app.readAllStandardError().contains("needs an X11 display"));
}
