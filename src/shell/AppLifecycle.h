#pragma once

#include <QObject>

class AppSettings;
class ClipboardMonitor;
class ModelContainer;
class QuitDeadline;
class SingleInstance;

// Which copy of the app runs, and what its start and its end leave in the settings and the
// store. Only one copy watches the clipboard: a new copy asks the running one to quit, and one
// that cannot settle it does nothing and quits. At start the running version is noted (an
// update raises the banner once); at quit the store is saved and its write-ahead log folded in.
// Main thread only.
class AppLifecycle final : public QObject
{
    Q_OBJECT
public:
    // instance: nullptr for no coordination with other copies (tests).
    AppLifecycle(ModelContainer &container, AppSettings &settings, SingleInstance *instance,
        QObject *parent = nullptr);

    // Settles which copy runs; false when another copy keeps running (see SingleInstance::takeOver):
    // this one must do nothing more, and quits.
    bool terminateOtherInstances();
    bool refusedToRun() const { return m_refusedToRun; }
    // Notes the running version; a version other than the one seen last raises the banner.
    void updateVersionBookkeeping();
    // The store saved, the capture's waiting copies with it, and the log folded into the file,
    // the waits ending by the quit's deadline. capture: nullptr when none ran.
    void saveStoreForQuit(ClipboardMonitor *capture, QuitDeadline &quit);

    // "<version> (<build>)" of the running program.
    static QString runningVersion();
    // What the log says when another copy keeps running and this one quits.
    static QString anotherCopyRunsMessage(const QString &lockPath);
    // What the log says when no lock can be made to settle which copy runs, and this one runs on.
    static QString cannotCheckForOtherCopiesMessage(const QString &lockProblem);

Q_SIGNALS:
    // A copy started later (`tindlewick --settings`) asks this one to open its settings window.
    void anotherCopyAsksForSettings();

private:
    ModelContainer &m_container;
    AppSettings &m_settings;
    SingleInstance *m_instance;
    bool m_refusedToRun = false;
};
