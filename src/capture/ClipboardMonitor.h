#pragma once

#include "model/ClipboardDatabaseActor.h"

#include <QFuture>
#include <QObject>
#include <QPointer>

#include <memory>

class ModelContainer;
class Pasteboard;
class Workspace;

// Watches the clipboard for the whole run: polls its change count, reads each new change,
// keeps out what must not be stored, classifies the rest and saves it to the history.
// Main thread only.
class ClipboardMonitor final : public QObject
{
    Q_OBJECT
public:
    // The most recently created monitor; nullptr before the first and after it is gone.
    static ClipboardMonitor *shared();

    // Whatever is on the clipboard when the monitor is created is never captured.
    ClipboardMonitor(ModelContainer &container, Pasteboard &pasteboard, Workspace &workspace, QObject *parent = nullptr);
    ~ClipboardMonitor() override;

    // Starts the poll and the history pruning.
    void startMonitoring();

    // Set before the app writes to the clipboard itself: the next accepted change is
    // skipped instead of captured, and the flag clears.
    bool ignoreNextChange() const { return m_ignoreNextChange; }
    void setIgnoreNextChange(bool ignore) { m_ignoreNextChange = ignore; }

    // Store maintenance on the monitor's own database actor, after the panel's changes.
    QFuture<void> runCheckpointWAL() { return m_databaseActor->checkpointWAL(); }
    QFuture<void> runVacuumStore() { return m_databaseActor->vacuumStore(); }

    ModelContainer &modelContainer() const { return m_container; }
    ClipboardDatabaseActor &databaseActor() const { return *m_databaseActor; }

private:
    ModelContainer &m_container;
    Pasteboard &m_pasteboard;
    Workspace &m_workspace;
    std::unique_ptr<ClipboardDatabaseActor> m_databaseActor;
    qint64 m_lastChangeCount = 0;
    bool m_ignoreNextChange = false;
};
