#include "shell/TindlewickApp.h"

#include "capture/LinkMetadataTask.h"
#include "capture/ServiceCodeClassifier.h"
#include "common/Diagnostics.h"
#include "common/NotificationCenter.h"
#include "common/QuitDeadline.h"
#include "detection/CodeDetectionService.h"
#include "detection/HighlightCacheService.h"
#include "enrichment/FileAvailabilityService.h"
#include "enrichment/LinkMetadataService.h"
#include "items/LabelEditState.h"
#include "model/AppSettings.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "platform/Bundle.h"
#include "platform/ClipboardRequests.h"
#include "platform/DesktopNotifications.h"
#include "platform/FileExistence.h"
#include "platform/GlobalHotKeys.h"
#include "platform/GlobalInputMonitor.h"
#include "platform/Pasteboard.h"
#include "platform/SingleInstance.h"
#include "platform/SyntheticKeyboard.h"
#include "platform/SystemPasteboard.h"
#include "platform/UnixSignalWatcher.h"
#include "platform/UserDefaults.h"
#include "platform/UserFiles.h"
#include "platform/X11ClipboardRequests.h"
#include "platform/X11Connection.h"
#include "platform/X11CopyPresence.h"
#include "platform/X11EventCatchUp.h"
#include "platform/X11GlobalHotKeys.h"
#include "platform/X11GlobalInputMonitor.h"
#include "platform/X11Session.h"
#include "platform/X11SyntheticKeyboard.h"
#include "platform/X11Workspace.h"
#include "shell/AppDelegate.h"
#include "shell/AppIcon.h"
#include "shell/AppLifecycle.h"
#include "shell/CommandLine.h"
#include "shell/DetectionModels.h"
#include "shell/PreviewPanelManager.h"
#include "shell/ShellPanelEnvironment.h"
#include "shell/TestHooks.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QThreadPool>

#include <cstdio>
#include <optional>

#include <unistd.h>

namespace {

void showFatalError(const QString &message)
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        QMessageBox::critical(nullptr, QStringLiteral("Tindlewick"), message);
}

// The desktop the app runs on: X11 when Qt runs there, stand-ins otherwise (a headless
// run has no desktop to grab keys from or paste into).
struct Desktop
{
    // This copy on the display, for the hot keys to tell another copy's grab from another program's.
    std::unique_ptr<X11CopyPresence> presence;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<GlobalHotKeys> hotKeys;
    std::unique_ptr<GlobalInputMonitor> inputMonitor;
    std::unique_ptr<SyntheticKeyboard> keyboard;
    std::unique_ptr<Pasteboard> pasteboard;
    // Which forms the window in front asks the clipboard for; nothing without X11.
    std::unique_ptr<ClipboardRequests> clipboardRequests;
};

Desktop makeDesktop()
{
    Desktop desktop;
    if (X11Connection *connection = X11Connection::shared()) {
        desktop.workspace = std::make_unique<X11Workspace>(*connection);
        desktop.presence = std::make_unique<X11CopyPresence>(*connection);
        auto hotKeys = std::make_unique<X11GlobalHotKeys>(*connection);
        hotKeys->setCopyPresence(desktop.presence.get());
        desktop.hotKeys = std::move(hotKeys);
        desktop.inputMonitor = std::make_unique<X11GlobalInputMonitor>(*connection);
        desktop.keyboard = std::make_unique<X11SyntheticKeyboard>(*connection);
    } else {
        desktop.workspace = std::make_unique<FakeWorkspace>();
        desktop.hotKeys = std::make_unique<FakeGlobalHotKeys>();
        desktop.inputMonitor = std::make_unique<FakeGlobalInputMonitor>();
        desktop.keyboard = std::make_unique<FakeSyntheticKeyboard>();
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        desktop.pasteboard = std::make_unique<SystemPasteboard>();
        // After the pasteboard: Qt asks the filter installed last first, and the pasteboard's
        // own filter takes the requests for a long file list that it serves itself; this one
        // only watches, so it must see them before.
        desktop.clipboardRequests = std::make_unique<X11ClipboardRequests>();
    } else
        desktop.pasteboard = std::make_unique<MemoryPasteboard>();
    return desktop;
}

// The answer to --help or --version, which needs no display; nothing when the app is to start.
std::optional<int> answerCommandLine(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine::Request request = CommandLine::immediateRequest(arguments);
    if (request == CommandLine::Request::start)
        return std::nullopt;
    // The application object only tells where the program's files lie.
    QCoreApplication core(argc, argv);
    std::fputs(CommandLine::answer(request).toLocal8Bit().constData(), stdout);
    return 0;
}

// Whether there is an X display to run on; says how to get one when there is none.
bool findDisplay()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    QString reason;
    if ((platform.isEmpty() || platform == "xcb") && !X11Session::canConnect(&reason)) {
        std::fprintf(stderr,
            "Tindlewick needs an X11 display (%s). Start it from a desktop session; "
            "on Wayland it runs through XWayland.\n",
            reason.toLocal8Bit().constData());
        return false;
    }
    if (platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

void describeApplication()
{
    QApplication::setApplicationName(QStringLiteral("Tindlewick"));
    QApplication::setOrganizationName(QStringLiteral("Tindlewick"));
    QApplication::setApplicationVersion(QStringLiteral(TINDLEWICK_VERSION));
    // The menu entry's name, which desktops match windows with, and its icon on the windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("tindlewick"));
    QApplication::setWindowIcon(AppIcon::icon());
    QApplication::setQuitOnLastWindowClosed(false);
    setFatalErrorHandler(&showFatalError);
    // Learnt now: a highlighting engine or a model still starting at quit looks for its file
    // after the application object has gone.
    Bundle::resourceDirectories();
}

// The parts of the app around the shell, as the running app has them.
AppDelegate::Neighbours appNeighbours(Desktop &desktop, ModelContainer &container)
{
    PreviewPanelManager::setSharedWindowTranslucent(desktop.workspace->isCompositing());
    FileAvailabilityService &availability = FileAvailabilityService::shared();
    return AppDelegate::Neighbours { .makePanelContent = ShellPanelEnvironment::panelViewFactory(
                                         *desktop.workspace, container, AppSettings::shared(), availability),
        .detectionModels = DetectionModels::hooks(),
        .isEditingLabel = [] { return LabelEditState::shared().isEditing(); },
        .preview = &PreviewPanelManager::shared(),
        .availability = &availability };
}

// The process ends here, without the teardown: work left behind by the quit still runs on
// threads that the application object (its thread pool) and the static services wait for
// without a limit. What the user copied is in the store by now.
[[noreturn]] void endWithoutTeardown(const QuitDeadline &quit)
{
    printDiagnostic(QStringLiteral("[Quit] The app ends now, without waiting for: %1")
                        .arg(quit.leftBehind().join(QStringLiteral("; "))));
    std::fflush(nullptr);
    ::_exit(0);
}

// The app's end, in one order, whichever way the quit was asked for: no part takes new work,
// the captures under way end (their copy reaches the store), then the file readings, the
// enrichment and the detection, and the store is saved last. Every wait ends by the quit's
// deadline. The parts are destroyed only after that, as runDelegate() returns, and the
// application object with the shared thread pool last: work that ended later would hand its
// next step to a pool that is gone.
void endRun(AppDelegate &delegate)
{
    QuitDeadline quit(AppDelegate::quitLimit, AppDelegate::storeSaveLimit);
    delegate.stopTakingWork();
    // No link's page is fetched from now on; the end of its thread is waited for below.
    LinkMetadataService &links = LinkMetadataService::shared();
    links.stop();
    // A copy made a moment before the quit is known to the X server, but Qt may not have told
    // the capture yet.
    X11EventCatchUp::waitForEventsSentBeforeNow(quit.deadline(AppDelegate::captureFinishLimit));
    // A copy under way still needs the file readings (a copied file's identity on disk), the
    // detection and the pool.
    delegate.finishCaptures(quit);
    UserFiles::shared().stop();
    quit.waitUntilEnded(links, QStringLiteral("The reading of a link"));
    delegate.endHighlighting(quit);
    // What the models and the detection still run may hand a step on to the shared pool.
    DetectionModels::end(quit);
    CodeDetectionService &detection = CodeDetectionService::shared();
    detection.stop();
    quit.waitUntilEnded(detection, QStringLiteral("A code detection"));
    quit.waitForPool(*QThreadPool::globalInstance(), QStringLiteral("the shared thread pool"));
    delegate.applicationWillTerminate(quit);
    if (!quit.leftBehind().isEmpty())
        endWithoutTeardown(quit);
}

// Runs the app until it quits, the copy that runs settled already; with openSettings its
// settings window opens once it has started.
int runDelegate(QApplication &app, SingleInstance &singleInstance, bool openSettings)
{
    ModelContainer &container = sharedModelContainer();
    Desktop desktop = makeDesktop();
    // Showing the panel must never wait for a disk: whether the files of file items are
    // still there is learnt on a worker thread, and the panel looks again when it changed
    // (the file-availability service tells it).
    FileExistence::shared().setBackgroundChecks(true);
    ServiceCodeClassifier codeClassifier(CodeDetectionService::shared(), DetectionModels::languageRanker());
    DBusDesktopNotifications notifications;
    AppDelegate delegate(AppDelegate::Services { container, AppSettings::shared(), UserDefaults::standard(),
                             *desktop.pasteboard, *desktop.workspace, *desktop.hotKeys, *desktop.inputMonitor,
                             *desktop.keyboard, HighlightCacheService::shared(), &singleInstance, true,
                             &codeClassifier, &notifications, desktop.clipboardRequests.get() },
        appNeighbours(desktop, container));

    if (TestHooks::requested())
        TestHooks::install();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, [&] { endRun(delegate); });
    delegate.applicationDidFinishLaunching();
    if (delegate.refusedToRun())
        return 0;
    startLinkMetadataTasks(*delegate.clipboardMonitor(), LinkMetadataService::shared());
    if (openSettings)
        delegate.openSettings();
    return app.exec();
}

// --settings: the running copy opens its settings window and keeps running, and this copy leaves
// with the status returned; nothing when no copy runs and this one is to start instead.
std::optional<int> handOverSettingsRequest(SingleInstance &singleInstance)
{
    switch (singleInstance.askToOpenSettings()) {
    case SingleInstance::SettingsRequest::delivered:
        return 0;
    case SingleInstance::SettingsRequest::thisCopyRuns:
        return std::nullopt;
    case SingleInstance::SettingsRequest::unanswered:
        break;
    }
    std::fprintf(stderr,
        "Tindlewick is running (it holds %s) but did not answer the request to open its settings; "
        "quit it and start it again.\n",
        singleInstance.lockPath().toLocal8Bit().constData());
    return 1;
}

} // namespace

namespace TindlewickApp {

int run(int argc, char **argv)
{
    if (const std::optional<int> answered = answerCommandLine(argc, argv))
        return *answered;
    if (!findDisplay())
        return 1;
    QApplication app(argc, argv);
    // From here on SIGTERM, SIGINT and SIGHUP end the app through its own end, whenever they come:
    // one that comes during the start is taken up as soon as the event loop runs. exit(), not
    // quit(): a window that does not close (a dialog without an escape button) may refuse a quit.
    UnixSignalWatcher signals;
    QObject::connect(
        &signals, &UnixSignalWatcher::terminationRequested, &app, [] { QCoreApplication::exit(0); });
    // Qt has taken its own options (-display, -platform...) out of the arguments by now.
    const CommandLine::Parsed parsed = CommandLine::parse(QCoreApplication::arguments().mid(1));
    if (parsed.request == CommandLine::Request::usageError) {
        std::fputs(CommandLine::usageError(parsed).toLocal8Bit().constData(), stderr);
        return CommandLine::usageErrorStatus;
    }
    describeApplication();
    // Which copy runs is settled first: a copy that does not run leaves before it opens the
    // store or loads a model.
    SingleInstance singleInstance;
    // A later start asks this copy to go: it ends as on SIGTERM, the copy it is reading kept.
    QObject::connect(
        &singleInstance, &SingleInstance::quitRequested, &app, [] { QCoreApplication::exit(0); });
    const bool openSettings = parsed.request == CommandLine::Request::openSettings;
    if (openSettings) {
        if (const std::optional<int> status = handOverSettingsRequest(singleInstance))
            return *status;
    } else if (!singleInstance.takeOver()) {
        printDiagnostic(AppLifecycle::anotherCopyRunsMessage(singleInstance.lockPath()));
        return 0;
    }
    return runDelegate(app, singleInstance, openSettings);
}

} // namespace TindlewickApp
