#include "support/TestIsolation.h"

#include "KeyboardShortcuts/ShortcutCenter.h"
#include "capture/ClipboardMonitor.h"
#include "items/LabelEditState.h"
#include "shell/AppDelegate.h"
#include "shell/PasteService.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QWidget>

TestIsolation::TestIsolation(QString root)
    : m_root(std::move(root))
{ }

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

    QStringList left;
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
    if (LabelEditState::shared().isEditing())
        left.append(QStringLiteral("LabelEditState editing"));
    // Reported here, the failure is the test's own (this listener's end runs before the
    // result is printed).
    if (!left.isEmpty())
        ADD_FAILURE() << "left behind for the next test: " << left.join(QStringLiteral(", ")).toStdString();

    QDir(m_testHome).removeRecursively();
    useHome(m_root);
}
