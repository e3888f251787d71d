#pragma once

// Helpers of the X11 tests: a window of our own to type and paste into, the tools that
// play the user (xdotool, xclip), screenshots kept as artefacts.

#include "TestWindowProcess.h"

#include "platform/X11Connection.h"
#include "platform/X11Workspace.h"
#include "support/Artefacts.h"
#include "support/TestIsolation.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QScreen>
#include <QStringList>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>

// Runs a tool to its end; false when it failed or took longer than 10 s.
inline bool runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

inline QString toolOutput(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

inline bool xdotool(const QStringList &arguments)
{
    return runTool(QStringLiteral("xdotool"), arguments);
}

// The whole screen as the user sees it.
inline QImage screenImage()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

// The whole screen as the user sees it, saved as a PNG artefact; returns its path.
inline QString saveScreenshot(const QString &name)
{
    const QString path = artefactPath(name);
    screenImage().save(path, "PNG");
    return path;
}

// A plain window with a line edit, standing in for the application the user works in.
class TestWindow final : public QWidget
{
public:
    explicit TestWindow(const QString &title = QStringLiteral("Tindlewick test window"))
    {
        setWindowTitle(title);
        auto *layout = new QVBoxLayout(this);
        edit = new QLineEdit(this);
        layout->addWidget(edit);
        resize(420, 120);
        move(60, 60);
    }

    quint32 nativeId() { return quint32(winId()); }

    // Shows the window and waits until the window manager made it the active window.
    bool showActive(X11Workspace &workspace)
    {
        show();
        raise();
        activateWindow();
        return waitUntil([&] {
            const auto front = workspace.frontmostApplication();
            if (front && front->windowId == nativeId())
                return true;
            RunningApplication self;
            self.windowId = nativeId();
            workspace.activate(self);
            return false;
        });
    }

    QLineEdit *edit = nullptr;
};

inline bool isActiveWindow(X11Workspace &workspace, quint64 window)
{
    const auto front = workspace.frontmostApplication();
    return front && front->windowId == window;
}

// Stands where the desktop's handler of web addresses (xdg-open) would: put first on PATH, it
// writes down the address it was given instead of starting a browser. Qt keeps the handler it
// finds first for the rest of the process, so the handler is always at the same place in the
// process's folder, and each one writes to a record of its own. One at a time.
class RecordingUrlHandler final
{
public:
    RecordingUrlHandler()
        : m_handlerFolder(TestIsolation::processFolder() + QStringLiteral("/url-handler"))
    {
        QFile handler(m_handlerFolder + QStringLiteral("/xdg-open"));
        if (!m_folder.isValid() || TestIsolation::processFolder().isEmpty() || !QDir().mkpath(m_handlerFolder)
            || !handler.open(QIODevice::WriteOnly))
            return;
        handler.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\n").arg(recordPath()).toUtf8());
        handler.close();
        m_ready = handler.setPermissions(
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    ~RecordingUrlHandler() { QDir(m_handlerFolder).removeRecursively(); }
    RecordingUrlHandler(const RecordingUrlHandler &) = delete;
    RecordingUrlHandler &operator=(const RecordingUrlHandler &) = delete;

    bool isReady() const { return m_ready; }
    // PATH with the handler first.
    QString searchPath() const { return m_handlerFolder + QLatin1Char(':') + qEnvironmentVariable("PATH"); }
    // The address handed over; empty until then.
    QString openedAddress() const
    {
        QFile record(recordPath());
        return record.open(QIODevice::ReadOnly) ? QString::fromUtf8(record.readAll()) : QString();
    }

private:
    QString recordPath() const { return m_folder.filePath(QStringLiteral("opened.txt")); }

    QString m_handlerFolder;
    QTemporaryDir m_folder;
    bool m_ready = false;
};

struct Geometry
{
    QRect rect;
    bool valid = false;
};

// Where a window is on the screen, as xdotool reports it.
inline Geometry windowGeometry(quint64 window)
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
    return { QRect(values[QStringLiteral("X")], values[QStringLiteral("Y")], values[QStringLiteral("WIDTH")],
                 values[QStringLiteral("HEIGHT")]),
        true };
}

// Why the window manager would not take a window for a dialog: its type is not
// _NET_WM_WINDOW_TYPE_DIALOG, or it is transient for no window, or for another than
// `transientFor` (0: any window; a dialog that belongs to no window of its program is transient
// for the root). Empty when it is a dialog.
inline QString notADialogBecause(quint64 window, quint64 transientFor = 0)
{
    const QString properties = toolOutput(QStringLiteral("xprop"),
        { QStringLiteral("-id"), QString::number(window), QStringLiteral("_NET_WM_WINDOW_TYPE"),
            QStringLiteral("WM_TRANSIENT_FOR") });
    static const QRegularExpression type(QStringLiteral(R"(_NET_WM_WINDOW_TYPE\(ATOM\) = (\w+))"));
    const QString firstType = type.match(properties).captured(1);
    if (firstType != QLatin1String("_NET_WM_WINDOW_TYPE_DIALOG"))
        return QStringLiteral("its type is ") + (firstType.isEmpty() ? QStringLiteral("none") : firstType);
    static const QRegularExpression owner(
        QStringLiteral(R"(WM_TRANSIENT_FOR\(WINDOW\): window id # (0x[0-9a-fA-F]+))"));
    const QRegularExpressionMatch transient = owner.match(properties);
    if (!transient.hasMatch())
        return QStringLiteral("it is transient for no window");
    const quint64 over = transient.captured(1).toULongLong(nullptr, 16);
    if (transientFor && over != transientFor)
        return QStringLiteral("it is transient for %1, not for %2").arg(over).arg(transientFor);
    return {};
}

// Whether a window's place on the screen shows it drawn: until its first paint reaches the
// server, a window just mapped over the bare desktop shows the desktop's black.
inline bool isDrawn(const QRect &area)
{
    const QImage image = screenImage().copy(area);
    if (image.isNull() || image.width() == 0 || image.height() == 0)
        return false;
    qsizetype black = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            black += image.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
    }
    return black * 2 < qsizetype(image.width()) * image.height();
}

// Waits until the window manager has handled what reached it before now (an activation asked
// for, a click it focuses and raises on before it hands it on): it handles what comes to it in
// turn, so once it has carried out a change of the number of desktops, and the change back, what
// came before is done too.
inline bool windowManagerCaughtUp()
{
    const auto desktops = [] {
        return toolOutput(QStringLiteral("xdotool"), { QStringLiteral("get_num_desktops") }).toInt();
    };
    const int count = desktops();
    if (count < 1)
        return false;
    const auto change = [&](int to) {
        return xdotool({ QStringLiteral("set_num_desktops"), QString::number(to) })
            && waitUntil([&] { return desktops() == to; });
    };
    return change(count + 1) && change(count);
}

// Shows another desktop, as a pager does; the window manager carries it out a moment later.
inline bool switchToDesktop(int desktop)
{
    return xdotool({ QStringLiteral("set_desktop"), QString::number(desktop) });
}

// A test on the X display: the app's own connection and the workspace over it.
class X11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        connection = X11Connection::shared();
        ASSERT_NE(connection, nullptr) << "no X display";
        workspace = std::make_unique<X11Workspace>(*connection);
    }

    // Starts a window of the test's own and waits until the window manager has given it the
    // focus: the window the user types in before calling the panel up.
    bool startInFront(
        TestWindowProcess &window, TestWindowProcess::Focus focus = TestWindowProcess::Focus::lineEdit)
    {
        return window.start(focus)
            && waitUntil([&] { return isActiveWindow(*workspace, window.windowId()); });
    }

    X11Connection *connection = nullptr;
    std::unique_ptr<X11Workspace> workspace;
};
