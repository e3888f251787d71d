#include "shell/AppLifecycle.h"

#include "capture/ClipboardMonitor.h"
#include "common/Diagnostics.h"
#include "common/QuitDeadline.h"
#include "model/AppSettings.h"
#include "model/ClipboardDatabaseActor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

// Said once nothing more can reach the store: what the captures under way left out of it.
void reportCopiesNotKept(int count)
{
    if (count == 1)
        printDiagnostic(QStringLiteral(
            "[Quit] A copy being read or saved as the app quit did not reach the store: it is not kept"));
    else if (count > 1)
        printDiagnostic(QStringLiteral("[Quit] %1 copies being read or saved as the app quit did not reach "
                                       "the store: they are not kept")
                            .arg(count));
}

} // namespace

AppLifecycle::AppLifecycle(
    ModelContainer &container, AppSettings &settings, SingleInstance *instance, QObject *parent)
    : QObject(parent)
    , m_container(container)
    , m_settings(settings)
    , m_instance(instance)
{ }

QString AppLifecycle::runningVersion()
{
    // The package version is both the release and the build here.
    const QString version = QCoreApplication::applicationVersion();
    return QStringLiteral("%1 (%2)").arg(version, version);
}

QString AppLifecycle::anotherCopyRunsMessage(const QString &lockPath)
{
    return QStringLiteral(
        "[AppDelegate] Another copy of Tindlewick is running (it holds %1); this one quits.")
        .arg(lockPath);
}

QString AppLifecycle::cannotCheckForOtherCopiesMessage(const QString &lockProblem)
{
    return QStringLiteral("[AppDelegate] Whether another copy of Tindlewick runs cannot be checked: the lock "
                          "file %1. This copy runs on; another one started meanwhile would watch the "
                          "clipboard too.")
        .arg(lockProblem);
}

bool AppLifecycle::terminateOtherInstances()
{
    if (!m_instance)
        return true;
    // Only one copy may watch the clipboard. The app settles it before it opens the store;
    // an instance that has not is settled here.
    if (!m_instance->runs() && !m_instance->takeOver()) {
        printDiagnostic(anotherCopyRunsMessage(m_instance->lockPath()));
        // Another copy runs (or is starting at this very moment): this one does nothing.
        m_refusedToRun = true;
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return false;
    }
    if (!m_instance->hasClaimed())
        printDiagnostic(cannotCheckForOtherCopiesMessage(m_instance->lockProblem()));
    if (!m_instance->isListening())
        printDiagnostic(
            QStringLiteral("[AppDelegate] Cannot listen on %1: a later start will not find this one")
                .arg(m_instance->socketPath()));
    connect(m_instance, &SingleInstance::settingsRequested, this, &AppLifecycle::anotherCopyAsksForSettings,
        Qt::UniqueConnection);
    return true;
}

void AppLifecycle::updateVersionBookkeeping()
{
    const QString running = runningVersion();
    const QString lastSeen = m_settings.lastSeenVersion();
    if (!lastSeen.isEmpty() && lastSeen != running)
        m_settings.setShowUpdateSuccessBanner(true);
    m_settings.setLastSeenVersion(running);
}

void AppLifecycle::saveStoreForQuit(ClipboardMonitor *capture, QuitDeadline &quit)
{
    // A copy that did not run leaves the store to the one that does.
    if (m_refusedToRun)
        return;
    if (capture) {
        // The main context does not wait for a lock: the app's own writes in the background
        // (a long text, a link's pictures) end first.
        quit.note(capture->databaseActor().waitForIdle(quit.lastStepDeadline()),
            QStringLiteral("A write of the store in the background"), quit.lastStepDeadline());
        capture->savePendingItems();
    }
    if (const ModelContext::SaveResult saved = m_container.mainContext()->save(); !saved.ok)
        printDiagnostic(
            QStringLiteral("[AppDelegate] The store could not be saved at quit (%1): what was "
                           "deleted or changed since its last save is as before at the next start")
                .arg(saved.error));
    if (capture)
        reportCopiesNotKept(capture->copiesNotKept());
    // Everything the user copied is in the store; the log is folded into it so the file on
    // disk is complete on its own. Through the store's maintenance, which reports a checkpoint
    // that fails, and after any pruning still running there (it would keep the log open).
    if (capture) {
        quit.waitFor(capture->databaseActor().checkpointWAL(), QStringLiteral("The store's checkpoint"),
            quit.lastStepDeadline());
    } else {
        ClipboardDatabaseActor maintenance(m_container);
        maintenance.checkpointWAL().waitForFinished();
    }
}
