#pragma once

// The app itself (TINDLEWICK_APP_PATH) in processes of its own on the test's X server, each
// with its own settings and store, and what the tests do to it as a user would.

#include "ExternalClipboard.h"
#include "X11TestSupport.h"

#include "model/ClipboardItem.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <csignal>

// The program under test; TINDLEWICK_APP_UNDER_TEST may name another build of it.
inline QString appPath()
{
    return qEnvironmentVariable("TINDLEWICK_APP_UNDER_TEST", QStringLiteral(TINDLEWICK_APP_PATH));
}

// The app in a process of its own, with its own settings and store.
class AppProcess final
{
public:
    explicit AppProcess(const QString &home)
        : m_home(home)
    { }
    ~AppProcess() { stop(); }

    // Keeps what the app prints, for output() and errors(); otherwise it goes to the test's
    // own output.
    void captureOutput() { m_capture = true; }
    QString output() { return m_output += QString::fromUtf8(m_process.readAllStandardOutput()); }
    QString errors() { return m_errors += QString::fromUtf8(m_process.readAllStandardError()); }

    bool start()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_home);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home + QStringLiteral("/data"));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home + QStringLiteral("/cache"));
        // Copies with the same home are one user's: they meet at the same socket and lock,
        // and no other test's (or anyone else's) copy is asked to quit.
        const QString runtime = m_home + QStringLiteral("/runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(
            runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(m_capture ? QProcess::SeparateChannels : QProcess::ForwardedChannels);
        m_process.start(appPath(), {});
        return m_process.waitForStarted(5000);
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    bool waitForExit(int milliseconds)
    {
        return waitUntil([&] { return m_process.state() == QProcess::NotRunning; },
            std::chrono::milliseconds(milliseconds));
    }
    int exitCode() const { return m_process.exitCode(); }
    bool crashed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    qint64 pid() const { return m_process.processId(); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    void stop()
    {
        if (!isRunning())
            return;
        signal(SIGTERM);
        if (!waitForExit(5000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

private:
    QString m_home;
    QProcess m_process;
    bool m_capture = false;
    QString m_output;
    QString m_errors;
};

struct Geometry
{
    QRect rect;
    bool valid = false;
};

class AppX11Test : public X11Test
{
protected:
    void SetUp() override
    {
        X11Test::SetUp();
        ASSERT_TRUE(home.isValid());
        QDir().mkpath(home.path() + QStringLiteral("/data/Tindlewick"));
    }

    QString storePath() const { return home.path() + QStringLiteral("/data/Tindlewick/default.store"); }

    // Items in the store before the app starts (the capture's job once the app runs).
    void seedStore(const QStringList &texts)
    {
        QString error;
        std::unique_ptr<ModelContainer> container = ModelContainer::open(storePath(), &error);
        ASSERT_TRUE(container) << error.toStdString();
        std::unique_ptr<ModelContext> context = container->makeContext();
        for (const QString &text : texts)
            context->insert(ClipboardItem::create(ClipboardItemType::text, { .text = text }));
        ASSERT_TRUE(context->save().ok);
    }

    void copyFromOutside(const QString &text) { ASSERT_TRUE(external.copyWithXclip(text.toUtf8())); }

    bool isFront(quint64 window) { return isActiveWindow(*workspace, window); }
    bool appIsFront(const AppProcess &app)
    {
        const auto front = workspace->frontmostApplication();
        return front && front->processIdentifier == app.pid();
    }
    quint64 frontWindow()
    {
        const auto front = workspace->frontmostApplication();
        return front ? front->windowId : 0;
    }

    // Presses Control+Space until the app's panel has the focus (the app needs a moment
    // after its start to take the shortcut).
    bool openPanel(const AppProcess &app)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (!xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+space") }))
                return false;
            if (waitUntil([&] { return appIsFront(app); }, std::chrono::milliseconds(700)))
                return true;
        }
        return false;
    }

    bool isViewable(quint64 window)
    {
        return toolOutput(QStringLiteral("xwininfo"), { QStringLiteral("-id"), QString::number(window) })
            .contains(QLatin1String("IsViewable"));
    }

    Geometry windowGeometry(quint64 window)
    {
        const QString shell = toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window) });
        QHash<QString, int> values;
        for (const QString &line : shell.split(QLatin1Char('\n'))) {
            const QStringList parts = line.split(QLatin1Char('='));
            if (parts.size() == 2)
                values.insert(parts[0], parts[1].toInt());
        }
        if (!values.contains(QStringLiteral("WIDTH")))
            return {};
        return { QRect(values[QStringLiteral("X")], values[QStringLiteral("Y")],
                     values[QStringLiteral("WIDTH")], values[QStringLiteral("HEIGHT")]),
            true };
    }

    bool pressKey(const QString &key) { return xdotool({ QStringLiteral("key"), key }); }
    bool clickAt(const QPoint &point)
    {
        return xdotool({ QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
            QStringLiteral("click"), QStringLiteral("1") });
    }

    QTemporaryDir home;
    ExternalClipboard external;
};
