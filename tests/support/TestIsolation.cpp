#include "support/TestIsolation.h"

#include "KeyboardShortcuts/ShortcutCenter.h"
#include "capture/ClipboardMonitor.h"
#include "items/LabelEditState.h"
#include "model/ModelContainer.h"
#include "platform/UserDefaults.h"
#include "shell/AppDelegate.h"
#include "shell/PasteService.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QThreadPool>
#include <QWidget>

namespace {

// Qt keeps the modifiers and buttons of the last input event it saw, and code that asks for
// them (a Shift-click, a held modifier) reads what an earlier test's synthetic events left. On
// X11 the modifiers are asked of the server, where a test's key held down by XTest would stay
// down for every later test.
QStringList releaseHeldInput()
{
    QStringList left;
    const Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
    const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    if (modifiers == Qt::NoModifier && buttons == Qt::NoButton)
        return left;
    QWidget releaser;
    if (modifiers != Qt::NoModifier) {
        left.append(QStringLiteral("keyboard modifiers held (0x%1)").arg(int(modifiers), 0, 16));
        QTest::sendKeyEvent(QTest::Release, &releaser, Qt::Key_Shift, QString(), Qt::NoModifier);
        if (QGuiApplication::queryKeyboardModifiers() != Qt::NoModifier) {
            QProcess::execute(QStringLiteral("xdotool"),
                { QStringLiteral("keyup"), QStringLiteral("Shift_L"), QStringLiteral("Shift_R"),
                    QStringLiteral("Control_L"), QStringLiteral("Control_R"), QStringLiteral("Alt_L"),
                    QStringLiteral("Alt_R"), QStringLiteral("Super_L"), QStringLiteral("Super_R") });
        }
    }
    if (buttons != Qt::NoButton) {
        left.append(QStringLiteral("mouse buttons held (0x%1)").arg(int(buttons), 0, 16));
        for (Qt::MouseButton button :
            { Qt::LeftButton, Qt::RightButton, Qt::MiddleButton, Qt::BackButton, Qt::ForwardButton })
            if (buttons.testFlag(button))
                QTest::mouseRelease(&releaser, button, Qt::NoModifier);
    }
    return left;
}

QStringList releaseGrabs()
{
    QStringList left;
    if (QWidget *grabber = QWidget::keyboardGrabber()) {
        left.append(QStringLiteral("keyboard grabbed by %1")
                        .arg(QString::fromLatin1(grabber->metaObject()->className())));
        grabber->releaseKeyboard();
    }
    if (QWidget *grabber = QWidget::mouseGrabber()) {
        left.append(QStringLiteral("pointer grabbed by %1")
                        .arg(QString::fromLatin1(grabber->metaObject()->className())));
        grabber->releaseMouse();
    }
    return left;
}

// Files of the test's home that the process still holds open: something made during the test
// (a store, a log) outlives it and would go on writing into a folder that is about to go.
QStringList filesStillOpenUnder(const QString &home)
{
    QStringList left;
    QDirIterator descriptors(
        QStringLiteral("/proc/self/fd"), QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    while (descriptors.hasNext()) {
        const QString target = QFileInfo(descriptors.next()).symLinkTarget();
        if (target.startsWith(home + QLatin1Char('/')))
            left.append(QStringLiteral("file still open: %1").arg(target.mid(home.size() + 1)));
    }
    left.removeDuplicates();
    return left;
}

// The temporary folder (TMPDIR) of the tests living in home.
QString temporaryFolderOf(const QString &home)
{
    return home + QStringLiteral("/tmp");
}

} // namespace

namespace {
QString g_processFolder;
} // namespace

TestIsolation::TestIsolation(QString root)
    : m_root(std::move(root))
{
    g_processFolder = m_root;
}

QString TestIsolation::processFolder()
{
    return g_processFolder;
}

void TestIsolation::useHome(const QString &folder)
{
    const QString runtime = folder + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", folder.toLocal8Bit());
    qputenv("XDG_DATA_HOME", (folder + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (folder + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (folder + QStringLiteral("/cache")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    // Temporary files too: what a test leaves there is seen and goes with its home, instead of
    // piling up in the machine's temporary folder.
    const QString temporary = temporaryFolderOf(folder);
    QDir().mkpath(temporary);
    qputenv("TMPDIR", temporary.toLocal8Bit());
}

void TestIsolation::OnTestStart(const ::testing::TestInfo &)
{
    // A number, not the test's name: names of parameterised tests hold slashes.
    static int count = 0;
    m_testHome = m_root + QStringLiteral("/test-%1").arg(++count);
    useHome(m_testHome);
}

void TestIsolation::OnTestEnd(const ::testing::TestInfo &)
{
    // Work the test started reaches no later test.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Work on the shared pool ends with the test that started it; a task still running after a
    // generous grace belongs to this test, not to whichever test happens to run next.
    QStringList left;
    if (!QThreadPool::globalInstance()->waitForDone(10'000))
        left.append(QStringLiteral("thread pool work still running"));
    left += releaseHeldInput();
    left += releaseGrabs();
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        left.append(QStringLiteral("window %1 (%2)")
                        .arg(QString::fromLatin1(window->metaObject()->className()), window->objectName()));
        window->hide(); // reported once, not again by every later test
    }
    if (ClipboardMonitor::shared())
        left.append(QStringLiteral("ClipboardMonitor::shared()"));
    if (PasteService::shared())
        left.append(QStringLiteral("PasteService::shared()"));
    if (AppDelegate::shared())
        left.append(QStringLiteral("AppDelegate::shared()"));
    if (KeyboardShortcuts::ShortcutCenter::shared())
        left.append(QStringLiteral("ShortcutCenter::shared()"));
    // The process-wide store and settings keep the home they were made in, which goes now;
    // they stay for the rest of the process, so only the test that made them is told.
    static bool processWideReported = false;
    if (!processWideReported && (sharedModelContainerIfOpened() || UserDefaults::hasStandard())) {
        left.append(QStringLiteral("the shared store or settings, kept in a home about to go"));
        processWideReported = true;
    }
    if (LabelEditState::shared().isEditing())
        left.append(QStringLiteral("LabelEditState editing"));
    left += filesStillOpenUnder(m_testHome);
    // A temporary folder made again after its test removed it (a late write of settings kept
    // there) would otherwise stay on the machine.
    for (const QString &name :
        QDir(temporaryFolderOf(m_testHome)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        left.append(QStringLiteral("temporary file left: %1").arg(name));
    // Reported here, the failure is the test's own (this listener's end runs before the
    // result is printed).
    if (!left.isEmpty())
        ADD_FAILURE() << "left behind for the next test: " << left.join(QStringLiteral(", ")).toStdString();

    QDir(m_testHome).removeRecursively();
    useHome(m_root);
}
