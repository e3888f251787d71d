#include "shell/AppDelegate.h"

#include "KeyboardShortcuts/DoubleTapService.h"
#include "KeyboardShortcuts/ShortcutCenter.h"
#include "capture/ClipboardMonitor.h"
#include "columns/CategoryColumn.h"
#include "common/NotificationCenter.h"
#include "common/QuitDeadline.h"
#include "detection/HighlightCacheService.h"
#include "detection/HighlightedLinesBlob.h"
#include "enrichment/FileAvailabilityService.h"
#include "model/ClipboardDatabaseActor.h"
#include "model/FetchDescriptor.h"
#include "model/StoreTestSupport.h"
#include "panel/ClipboardPanelView.h"
#include "panel/FakePanelRoles.h"
#include "panel/OwnRowStates.h"
#include "panel/PanelFrameMemory.h"

#include "KeyboardShortcuts/Recorder.h"
#include "panel/PanelController.h"
#include "panel/PanelViewState.h"
#include "panel/SearchBar.h"
#include "panel/SearchField.h"
#include "platform/GlobalHotKeys.h"
#include "platform/GlobalInputMonitor.h"
#include "platform/Pasteboard.h"
#include "platform/SingleInstance.h"
#include "platform/SyntheticKeyboard.h"
#include "platform/UserDefaults.h"
#include "settings/HistoryTab.h"
#include "settings/HotkeyTab.h"
#include "settings/SettingsView.h"
#include "shell/ActivationController.h"
#include "shell/AppDelegateTestSupport.h"
#include "shell/AppLifecycle.h"
#include "shell/ClipboardPanel.h"
#include "shell/PanelPresenter.h"
#include "shell/SettingsLinkHelper.h"
#include "shell/SettingsOpener.h"
#include "shell/SettingsWindowController.h"
#include "shell/ShellPanelEnvironment.h"
#include "shell/StatusItem.h"
#include "support/FileSizeLimit.h"
#include "support/FullDiskVfs.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMenu>
#include <QSignalSpy>
#include <QThread>
#include <QVBoxLayout>

namespace {

const HotKeyCombination controlSpace { 0x20, 4 };
const RunningApplication editor { QStringLiteral("org.example.Editor"), QStringLiteral("Editor"), 4242, 77 };
const RunningApplication browser { QStringLiteral("firefox"), QStringLiteral("firefox"), 5151, 88 };

void typeInto(QWidget *target, int key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &event);
}

RunningApplication thisApp()
{
    RunningApplication self;
    self.processIdentifier = QCoreApplication::applicationPid();
    self.windowId = 99;
    return self;
}

class AppDelegateTest : public AppDelegateTestBase
{
protected:
    ~AppDelegateTest() override { delegate.reset(); }

    // The app started; its notices are collected in notices.
    void launch(SingleInstance *instance = nullptr, AppDelegate::Neighbours neighbours = {})
    {
        neighbours.notifyUser = [this](const QString &, const QString &message) { notices << message; };
        createDelegate(instance, std::move(neighbours));
        delegate->applicationDidFinishLaunching();
    }
    void pressShortcut()
    {
        hotKeys.press(controlSpace);
        hotKeys.release(controlSpace);
    }
    ClipboardPanel *panel() const { return delegate->popoverPanel(); }
    bool panelShown() const { return panel() && panel()->isVisible(); }
    DoubleTapService *doubleTap() const { return delegate->activation()->doubleTapService(); }
    std::optional<AppSettings::ActivationMode> activationMode() const
    {
        return delegate->activation()->currentActivationMode();
    }

    // The app with the panel view the running app builds for its window, over one stored item.
    ClipboardPanelView *launchWithPanelView(SingleInstance *instance = nullptr)
    {
        insertText(QStringLiteral("stored"));
        EXPECT_TRUE(context().save().ok);
        launch(instance,
            { .makePanelContent
                = ShellPanelEnvironment::panelViewFactory(workspace, container(), settings, availability),
                .isEditingLabel = [this] { return editingLabel; } });
        return qobject_cast<ClipboardPanelView *>(panel()->contentView());
    }

    // A stored file item whose file exists, with answers about it and a highlighted line kept.
    ClipboardItemPtr fileItemInCaches(const QString &name, const QDateTime &timestamp, bool pinned = false)
    {
        const QString path = m_folder->filePath(name);
        QFile(path).open(QIODevice::WriteOnly);
        ClipboardItemPtr item
            = ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(path) });
        if (timestamp.isValid())
            item->setTimestamp(timestamp);
        item->setIsPinned(pinned);
        context().insert(item);
        EXPECT_TRUE(context().save().ok);
        EXPECT_TRUE(availability.isAvailable(*item));
        highlights.store(AttributedText::plain(QStringLiteral("x")),
            { item->id(), 0, false, QStringLiteral("GitHub"), HighlightCacheService::previewContext() });
        return item;
    }

    // Files asked about in a world of the test's own (no folder watches, no mount table).
    FileAvailabilityService availability { FileAvailabilityService::Dependencies {
        std::make_unique<FakeFileEventStream>(), std::make_unique<FakeVolumeMonitor>(), nullptr } };
    QStringList notices;
    bool editingLabel = false;
};

// A copy that is already running, on its own thread so the new one can wait for it.
class RunningCopy final : public QThread
{
public:
    explicit RunningCopy(QString socketPath)
        : m_socketPath(std::move(socketPath))
    { }
    std::atomic<bool> listening { false };
    std::atomic<bool> asked { false };

protected:
    void run() override
    {
        SingleInstance instance(m_socketPath);
        QObject::connect(&instance, &SingleInstance::quitRequested, [this] {
            asked = true;
            quit(); // leaving the loop destroys the instance, which closes the connection
        });
        // As the app's copies do: the lock first, then the socket.
        listening = instance.claim(0) && instance.listen();
        exec();
    }

private:
    QString m_socketPath;
};

TEST_F(AppDelegateTest, StartUpRunsInOrder)
{
    const QString socketPath = m_settingsFolder.path() + QStringLiteral("/instance.socket");
    RunningCopy earlier(socketPath);
    earlier.start();
    ASSERT_TRUE(waitUntil([&] { return earlier.listening.load(); }));

    struct AtFirstGrab
    {
        bool seen = false;
        bool sharedSet = false;
        bool earlierCopyAsked = false;
        bool monitorRunning = false;
        bool panelCreated = false;
        QString lastSeenVersion;
    } atGrab;
    hotKeys.onGrab = [&](const HotKeyCombination &) {
        if (atGrab.seen)
            return;
        atGrab = { true, AppDelegate::shared() != nullptr, earlier.asked.load(),
            ClipboardMonitor::shared() != nullptr, delegate && delegate->popoverPanel() != nullptr,
            settings.lastSeenVersion() };
    };
    settings.setActivationMode(AppSettings::ActivationMode::doubleTap);
    SingleInstance instance(socketPath);
    launch(&instance);

    ASSERT_TRUE(atGrab.seen);
    EXPECT_TRUE(atGrab.sharedSet);
    EXPECT_TRUE(atGrab.earlierCopyAsked) << "two captures would run at once";
    EXPECT_TRUE(atGrab.monitorRunning);
    EXPECT_TRUE(atGrab.panelCreated);
    EXPECT_EQ(atGrab.lastSeenVersion, AppLifecycle::runningVersion());
    EXPECT_TRUE(earlier.wait(2000));
    EXPECT_EQ(AppDelegate::shared(), delegate.get());
    // The activation mode comes last: double tap releases the grab the binding took.
    EXPECT_TRUE(hotKeys.grabbed.isEmpty());
    ASSERT_NE(doubleTap(), nullptr);
    EXPECT_TRUE(input.watchesModifiers);
    EXPECT_EQ(activationMode(), AppSettings::ActivationMode::doubleTap);
    // The new copy now answers later ones.
    SingleInstance later(socketPath);
    QSignalSpy quitAsked(&instance, &SingleInstance::quitRequested);
    // (asked from this thread, the answer comes when the loop runs)
    QLocalSocket probe;
    probe.connectToServer(socketPath);
    ASSERT_TRUE(probe.waitForConnected(1000));
    probe.write("quit\n");
    probe.flush();
    EXPECT_TRUE(waitUntil([&] { return quitAsked.count() == 1; }));
}

TEST_F(AppDelegateTest, TheShortcutTogglesThePanelAndHidingGivesTheFocusBack)
{
    launch();
    EXPECT_EQ(defaults.object(QStringLiteral("KeyboardShortcuts_togglePanel")),
        QVariant(QStringLiteral(R"({"carbonKeyCode":49,"carbonModifiers":4096})")));
    QStringList posted;
    QObject observer;
    for (const QString &name : { Notifications::panelWillShow, Notifications::panelDidHide })
        NotificationCenter::defaultCenter().addObserver(
            name, &observer, [&posted, name](const QVariantMap &) { posted << name; });

    workspace.frontmost = editor;
    pressShortcut();
    ASSERT_TRUE(panelShown());
    EXPECT_EQ(delegate->previousApp(), editor);
    EXPECT_TRUE(input.watchesMouseDowns);
    EXPECT_TRUE(waitUntil([&] { return posted.contains(Notifications::panelWillShow); }));

    // With the panel in front, the remembered application stays.
    workspace.frontmost = thisApp();
    workspace.activations.clear();
    QSignalSpy saves(&defaults, &UserDefaults::saved);
    pressShortcut();
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(delegate->previousApp(), editor);
    EXPECT_EQ(workspace.activations, QList<RunningApplication> { editor });
    EXPECT_FALSE(input.watchesMouseDowns);
    EXPECT_EQ(posted.last(), Notifications::panelDidHide);
    EXPECT_TRUE(PanelFrameMemory::savedSize(defaults));
    EXPECT_EQ(saves.count(), 1) << "the size and the place of a first hide are saved together";
    EXPECT_TRUE(PanelFrameMemory::savedPosition(
        defaults, ClipboardPanel::screenKey(QGuiApplication::primaryScreen())));

    // Escape hides with the focus given back too.
    workspace.frontmost = browser;
    delegate->togglePanel();
    ASSERT_TRUE(panelShown());
    workspace.activations.clear();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(panel(), &escape);
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(workspace.activations, QList<RunningApplication> { browser });
}

TEST_F(AppDelegateTest, AnOutsideClickGivesTheFocusBackOnlyWhenItLandedOnNoOtherApplication)
{
    launch();
    workspace.frontmost = editor;
    const auto showAndClick = [&](const QPoint &at) {
        workspace.frontmost = editor;
        delegate->togglePanel();
        EXPECT_TRUE(panelShown());
        workspace.activations.clear();
        input.click(at);
        QCoreApplication::sendPostedEvents();
    };

    // Inside the panel: it stays.
    showAndClick(panel()->frameGeometry().center());
    EXPECT_TRUE(panelShown());
    delegate->hidePanel(false);

    // On another application's window: it hides and leaves that window the focus.
    workspace.underPointer = browser;
    showAndClick(panel()->frameGeometry().topLeft() - QPoint(5, 5));
    EXPECT_FALSE(panelShown());
    EXPECT_TRUE(workspace.activations.isEmpty()) << "the focus was taken from the clicked window";

    // On the bare desktop: it hides and the previous window gets the focus again.
    workspace.underPointer.reset();
    showAndClick(panel()->frameGeometry().topLeft() - QPoint(5, 5));
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(workspace.activations, QList<RunningApplication> { editor });

    // A pinned panel stays whatever is clicked.
    delegate->togglePanel();
    delegate->panelController()->setIsPinned(true);
    input.click(QPoint(1, 1));
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(panelShown());
}

TEST_F(AppDelegateTest, AnotherApplicationComingToTheFrontHidesThePanelWithoutRestoring)
{
    launch();
    workspace.frontmost = editor;
    delegate->togglePanel();
    workspace.activations.clear();
    workspace.simulateActivation(std::nullopt); // between two windows
    workspace.simulateActivation(thisApp());
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(panelShown());
    workspace.simulateActivation(browser);
    EXPECT_TRUE(waitUntil([&] { return !panelShown(); }));
    EXPECT_TRUE(workspace.activations.isEmpty());
}

TEST_F(AppDelegateTest, ActivationModeSwitchesBetweenShortcutAndDoubleTap)
{
    launch();
    EXPECT_TRUE(hotKeys.grabbed.contains(controlSpace));
    EXPECT_EQ(doubleTap(), nullptr);

    settings.setActivationMode(AppSettings::ActivationMode::doubleTap);
    ASSERT_TRUE(waitUntil([&] { return doubleTap() != nullptr; }));
    EXPECT_FALSE(hotKeys.grabbed.contains(controlSpace));
    DoubleTapService *service = doubleTap();
    EXPECT_EQ(service->targetModifier(), settings.doubleTapModifier());

    // Option twice: the panel opens.
    workspace.frontmost = editor;
    double time = 500;
    for (quint64 flags : { 0x80000ull, 0ull, 0x80000ull, 0ull })
        input.changeModifiers(flags, time += 0.05);
    EXPECT_TRUE(waitUntil([&] { return panelShown(); }));
    delegate->hidePanel(false);

    // Only the modifier changes: the same service follows it.
    settings.setDoubleTapModifier(AppSettings::DoubleTapModifier::control);
    ASSERT_TRUE(
        waitUntil([&] { return service->targetModifier() == AppSettings::DoubleTapModifier::control; }));
    EXPECT_EQ(doubleTap(), service);

    settings.setActivationMode(AppSettings::ActivationMode::shortcut);
    ASSERT_TRUE(waitUntil([&] { return doubleTap() == nullptr; }));
    EXPECT_TRUE(hotKeys.grabbed.contains(controlSpace));
    EXPECT_FALSE(input.watchesModifiers);
}

TEST_F(AppDelegateTest, WithoutTheDesktopsKeysDoubleTapKeepsTheShortcutAndSaysWhyOnce)
{
    input.unavailableReason = QStringLiteral("the X server has no XInput extension");
    settings.setActivationMode(AppSettings::ActivationMode::doubleTap);
    CapturedDiagnostics diagnostics;
    launch();
    EXPECT_EQ(doubleTap(), nullptr);
    EXPECT_TRUE(delegate->shortcuts().isShortcutEnabled(AppDelegate::togglePanelShortcut()));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices.first(),
        QStringLiteral(
            "A double tap of Alt cannot open Tindlewick here: the X server has no XInput extension. "
            "Until it can, open it with Ctrl+Space."));
    workspace.frontmost = editor;
    pressShortcut();
    EXPECT_TRUE(panelShown());
    delegate->hidePanel(false);

    // Switching away and back tries again, keeps the shortcut and does not repeat itself.
    settings.setActivationMode(AppSettings::ActivationMode::shortcut);
    ASSERT_TRUE(waitUntil([&] { return activationMode() == AppSettings::ActivationMode::shortcut; }));
    settings.setActivationMode(AppSettings::ActivationMode::doubleTap);
    ASSERT_TRUE(waitUntil([&] { return activationMode() == AppSettings::ActivationMode::doubleTap; }));
    EXPECT_TRUE(hotKeys.grabbed.contains(controlSpace));
    EXPECT_EQ(notices.size(), 1);
    EXPECT_EQ(diagnostics.lines().filter(QStringLiteral("Double tap unavailable")).size(), 1);

    // Raw input back (a new server): the next switch lets the shortcut go for the double tap.
    input.unavailableReason.clear();
    settings.setActivationMode(AppSettings::ActivationMode::shortcut);
    ASSERT_TRUE(waitUntil([&] { return activationMode() == AppSettings::ActivationMode::shortcut; }));
    settings.setActivationMode(AppSettings::ActivationMode::doubleTap);
    ASSERT_TRUE(waitUntil([&] { return doubleTap() != nullptr; }));
    EXPECT_FALSE(hotKeys.grabbed.contains(controlSpace));
}

TEST_F(AppDelegateTest, VersionChangesRaiseTheBannerOnce)
{
    settings.setLastSeenVersion(QStringLiteral("0.9 (0.9)"));
    launch();
    EXPECT_TRUE(settings.showUpdateSuccessBanner());
    EXPECT_EQ(settings.lastSeenVersion(), AppLifecycle::runningVersion());
    delegate.reset();
    settings.setShowUpdateSuccessBanner(false);
    launch();
    EXPECT_FALSE(settings.showUpdateSuccessBanner());
}

TEST_F(AppDelegateTest, AShortcutTakenByAnotherProgramIsToldToTheUserAfterOneMoreTry)
{
    hotKeys.refused.insert(controlSpace);
    CapturedDiagnostics diagnostics;
    launch();
    EXPECT_TRUE(notices.isEmpty()) << "a quitting copy may still hold it: tried again first";
    ASSERT_TRUE(waitUntil([&] { return !notices.isEmpty(); }));
    EXPECT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices.first().contains(QStringLiteral("Ctrl+Space may not reach Tindlewick")));
    EXPECT_FALSE(delegate->shortcuts().isShortcutEnabled(AppDelegate::togglePanelShortcut()));
}

TEST_F(AppDelegateTest, AShortcutFreedSoonAfterTheStartIsTakenWithoutAWord)
{
    hotKeys.refused.insert(controlSpace);
    launch();
    hotKeys.refused.clear(); // the copy that held it has gone
    ASSERT_TRUE(waitUntil(
        [&] { return delegate->shortcuts().isShortcutEnabled(AppDelegate::togglePanelShortcut()); }));
    EXPECT_TRUE(notices.isEmpty());
    workspace.frontmost = editor;
    pressShortcut();
    EXPECT_TRUE(panelShown());
}

TEST_F(AppDelegateTest, TheSearchFieldIsThePanelViewsWhereverTheViewSits)
{
    FakePanelRoles environment;
    OwnRowStates rowStates;
    ClipboardPanelView view(context(), environment.roles(), nullptr, settings, rowStates.rows());
    QWidget wrapper;
    auto *layout = new QVBoxLayout(&wrapper);
    auto *nested
        = new ClipboardPanelView(context(), environment.roles(), nullptr, settings, rowStates.rows());
    layout->addWidget(new QLineEdit);
    layout->addWidget(nested);
    QWidget lineEditOnly;
    (new QVBoxLayout(&lineEditOnly))->addWidget(new QLineEdit);

    struct Case
    {
        const char *name;
        QWidget *content;
        SearchField *expected;
    };
    const Case cases[] = {
        { "the view itself", &view, view.searchField() },
        { "a view inside other content", &wrapper, nested->searchField() },
        { "a line edit but no panel view", &lineEditOnly, nullptr },
        { "no content", nullptr, nullptr },
    };
    for (const Case &c : cases)
        EXPECT_EQ(PanelPresenter::findSearchField(c.content), c.expected) << c.name;
}

// The field takes the keyboard a moment after the show; a quick typist has begun by then.
TEST(PanelPresenterSearchFocusTest, OnlyTheSearchOfBeforeTheShowIsSelected)
{
    struct Case
    {
        const char *name;
        QString atShow;
        QString now;
        QString selected;
    };
    const Case cases[] = {
        { "the old search, untouched", QStringLiteral("old"), QStringLiteral("old"), QStringLiteral("old") },
        { "typed into an empty field since", QString(), QStringLiteral("/em"), QString() },
        { "typed after the old search since", QStringLiteral("old"), QStringLiteral("oldn"), QString() },
        { "nothing at all", QString(), QString(), QString() },
    };
    for (const Case &c : cases) {
        QWidget window;
        auto *field = new SearchField(&window);
        window.show();
        QApplication::setActiveWindow(&window);
        field->setText(c.now);
        PanelPresenter::focusSearchField(field, c.atShow);
        EXPECT_TRUE(field->hasFocus()) << c.name;
        EXPECT_EQ(field->selectedText(), c.selected) << c.name;
        EXPECT_EQ(field->text(), c.now) << c.name;
    }
    PanelPresenter::focusSearchField(nullptr, QString()); // a panel without a field
}

TEST_F(AppDelegateTest, ShowingSelectsThePreviousSearchSoThatTypingReplacesIt)
{
    ClipboardPanelView *view = launchWithPanelView();
    ASSERT_NE(view, nullptr);
    SearchField *field = view->searchField();

    view->state().setSearchText(QStringLiteral("old"));
    delegate->togglePanel();
    ASSERT_TRUE(waitUntil([&] { return panel()->isActiveWindow(); }));
    // The search takes the focus a moment after showing, with its text selected.
    ASSERT_TRUE(
        waitUntil([&] { return field->hasFocus() && field->selectedText() == QStringLiteral("old"); }));
    typeInto(field, Qt::Key_N, Qt::NoModifier, QStringLiteral("n"));
    EXPECT_EQ(field->text(), QStringLiteral("n"));
    EXPECT_EQ(view->state().searchText(), QStringLiteral("n"));
}

TEST_F(AppDelegateTest, TypingInThePanelMovesTheFocusToTheSearchField)
{
    ClipboardPanelView *view = launchWithPanelView();
    ASSERT_NE(view, nullptr);
    SearchField *field = view->searchField();
    delegate->togglePanel();
    ASSERT_TRUE(waitUntil([&] { return panel()->isActiveWindow(); }));
    ASSERT_FALSE(view->columns().isEmpty());

    int typed = 0;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(
        Notifications::focusSearchAndType, &observer, [&](const QVariantMap &) { ++typed; });
    struct Case
    {
        const char *name;
        QWidget *receiver; // where the key arrives while the field has no focus
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        bool editingLabel;
        bool moves;
    };
    QWidget *window = panel();
    QWidget *column = view->columns().first();
    const Case cases[] = {
        { "a letter at the window", window, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), false, true },
        { "a letter at a column", column, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), false, true },
        { "with Shift", window, Qt::Key_B, Qt::ShiftModifier, QStringLiteral("B"), false, true },
        { "with Control", window, Qt::Key_C, Qt::ControlModifier, QStringLiteral("\x03"), false, false },
        { "Return", column, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), false, false },
        { "an arrow", column, Qt::Key_Down, Qt::NoModifier, QString(), false, false },
        { "while a label is edited", column, Qt::Key_D, Qt::NoModifier, QStringLiteral("d"), true, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        editingLabel = c.editingLabel;
        view->state().setSearchText(QStringLiteral("x"));
        field->clearFocus();
        ASSERT_TRUE(panel()->isActiveWindow());
        typed = 0;
        typeInto(c.receiver, c.key, c.modifiers, c.text);
        EXPECT_EQ(field->hasFocus(), c.moves);
        EXPECT_EQ(typed, c.moves ? 1 : 0);
        EXPECT_EQ(field->text(), c.moves ? QStringLiteral("x") + c.text : QStringLiteral("x"));
        EXPECT_EQ(view->state().searchText(), field->text()) << "the search follows the field";
    }
    // Typing in the field itself stays there.
    field->setFocus();
    typed = 0;
    typeInto(field, Qt::Key_E, Qt::NoModifier, QStringLiteral("e"));
    EXPECT_EQ(typed, 0);
}

TEST_F(AppDelegateTest, ThePanelsStoreMaintenanceRunsOnTheCapturesDatabaseActor)
{
    const QByteArray secret = "shell-maintenance-secret";
    for (int i = 0; i < 20; ++i)
        insertText(QString::fromLatin1(secret) + QString::number(i) + QString(20'000, QLatin1Char('.')));
    ASSERT_TRUE(context().save().ok);
    launch();
    ShellPanelEnvironment environment(
        *delegate, *panel(), *delegate->pasteService(), workspace, settings, availability);
    ClipboardDatabaseActor &actor = delegate->clipboardMonitor()->databaseActor();

    environment.checkpointStore();
    actor.waitForIdle();
    EXPECT_EQ(QFileInfo(storePath() + QStringLiteral("-wal")).size(), 0) << "the log was not folded in";
    ASSERT_TRUE(storeFilesContain(storePath(), secret));

    for (const ClipboardItemPtr &item : context().fetch(FetchDescriptor::newestFirst()).items)
        context().remove(item);
    ASSERT_TRUE(context().save().ok);
    environment.compactStore();
    actor.waitForIdle();
    EXPECT_FALSE(storeFilesContain(storePath(), secret)) << "deleted content stayed on disk";
}

// Whatever deletes an item (the capture's pruning to the limit or by age, a Delete or a Clear in
// the panel), the highlighted lines and the file answers kept for it go with it; those of an
// item that stays (a pinned one) stay.
TEST_F(AppDelegateTest, WhatTheCachesKeepOfAnItemGoesWithItWhoeverDeletesIt)
{
    launch(nullptr, { .availability = &availability });
    ClipboardDatabaseActor &actor = delegate->clipboardMonitor()->databaseActor();
    ClipboardItemPtr gone;
    const auto removeUnpinned = [&] {
        for (const ClipboardItemPtr &item : context().fetch(FetchDescriptor::newestFirst()).items) {
            if (!item->isPinned())
                context().remove(item);
        }
        ASSERT_TRUE(context().save().ok);
    };
    struct Case
    {
        const char *name;
        std::function<void()> remove;
    };
    const Case cases[] = {
        { "pruned to the history limit", [&] { actor.pruneToLimit(0).waitForFinished(); } },
        { "pruned by age", [&] { actor.pruneOlderThan(3600).waitForFinished(); } },
        { "deleted in the panel",
            [&] {
                context().remove(gone);
                ASSERT_TRUE(context().save().ok);
            } },
        { "cleared in the panel", removeUnpinned },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        gone = fileItemInCaches(QStringLiteral("gone.txt"), QDateTime::currentDateTimeUtc().addSecs(-7200));
        const ClipboardItemPtr pinned = fileItemInCaches(QStringLiteral("pinned.txt"), {}, true);
        ASSERT_EQ(availability.itemAnswerCount(), 2);

        c.remove();
        ASSERT_TRUE(waitUntil([&] { return gone->isDeleted(); }));
        // A list not read again yet still holds it: asked about, it keeps nothing.
        EXPECT_TRUE(availability.isAvailable(*gone));
        EXPECT_EQ(availability.itemAnswerCount(), 1);
        EXPECT_EQ(availability.cachedAnswerCount(), 1);
        ASSERT_EQ(highlights.cacheCount(), 1);
        EXPECT_EQ(highlights.cacheOrder().first().itemId, pinned->id());

        context().remove(pinned);
        ASSERT_TRUE(context().save().ok);
        EXPECT_EQ(availability.itemAnswerCount(), 0);
        EXPECT_EQ(highlights.cacheCount(), 0);
    }
}

TEST_F(AppDelegateTest, HidingWithAnOpenRowMenuClosesItAndFadesThePanelOut)
{
    launch();
    workspace.frontmost = editor;
    delegate->togglePanel();
    QMenu menu;
    menu.addAction(QStringLiteral("Pin"));
    menu.popup(panel()->frameGeometry().center());
    delegate->setActiveMenu(&menu);
    workspace.activations.clear();

    delegate->hidePanel(true);
    EXPECT_FALSE(menu.isVisible());
    EXPECT_EQ(delegate->activeMenu(), nullptr);
    EXPECT_TRUE(panelShown()) << "the panel fades out first";
    ASSERT_TRUE(waitUntil([&] { return !panelShown(); }));
    EXPECT_EQ(workspace.activations, QList<RunningApplication> { editor });
    EXPECT_EQ(panel()->windowOpacity(), 1.0) << "the next show starts opaque";
}

TEST_F(AppDelegateTest, SettingChangesReachTheModelsAndThePanelBackground)
{
    QStringList calls;
    const auto call = [&calls](const QString &name) {
        return [&calls, name] {
            calls << name;
            return QtFuture::makeReadyFuture();
        };
    };
    settings.setDetectCode(true);
    launch(nullptr,
        { .detectionModels = { call(QStringLiteral("warm up")), call(QStringLiteral("load")),
              call(QStringLiteral("unload")) } });
    ASSERT_TRUE(waitUntil([&] { return calls.size() == 1; }));
    settings.setDetectCode(false);
    ASSERT_TRUE(waitUntil([&] { return calls.size() == 2; }));
    settings.setDetectCode(true);
    ASSERT_TRUE(waitUntil([&] { return calls.size() == 3; }));
    EXPECT_EQ(
        calls, (QStringList { QStringLiteral("warm up"), QStringLiteral("unload"), QStringLiteral("load") }));

    QPointer<QWidget> background = panel()->backgroundEffectView();
    settings.setUseLiquidGlass(!settings.useLiquidGlass());
    EXPECT_TRUE(waitUntil([&] { return background.isNull(); })) << "the background was not rebuilt";
}

TEST_F(AppDelegateTest, StoredCodeIsHighlightedAfterLaunchAndTheSettingsReachTheHighlighter)
{
    ClipboardItemPtr code = ClipboardItem::create(ClipboardItemType::code,
        { .text = QStringLiteral("fn main() {\n    println!(\"hi\");\n}"),
            .codeLanguage = QStringLiteral("rust") });
    context().insert(code);
    ASSERT_TRUE(context().save().ok);

    // The refresh after the start gives the item its lines, in the settings' theme.
    settings.setCodeTheme(HighlightTheme::xcode);
    launch();
    ASSERT_NE(delegate->backgroundEnrichment(), nullptr);
    ASSERT_TRUE(waitUntil(
        [&] { return code->highlightedLinesTheme() == QStringLiteral("Xcode"); }, std::chrono::seconds(30)));
    const std::optional<HighlightedLinesBlob::Lines> lines
        = HighlightedLinesBlob::decode(code->highlightedLinesData().value_or(QByteArray()));
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->size(), 3);
    EXPECT_GT(highlights.cacheCount(), 0);
    EXPECT_TRUE(highlights.hasHighlighter());

    // A new theme empties the cache before anyone hears of it.
    qsizetype countWhenAnnounced = -1;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(Notifications::codeThemeChanged, &observer,
        [&](const QVariantMap &) { countWhenAnnounced = highlights.cacheCount(); });
    settings.setCodeTheme(HighlightTheme::solarized);
    EXPECT_EQ(countWhenAnnounced, 0);

    // Code detection switched off lets the engine go.
    settings.setDetectCode(false);
    EXPECT_TRUE(waitUntil([&] { return !highlights.hasHighlighter(); }));
}

TEST_F(AppDelegateTest, SettingsWindowsAreRecognisedByIdentifierOrTitle)
{
    struct Case
    {
        QString identifier;
        QString title;
        bool elevate;
    };
    const Case cases[] = {
        { QStringLiteral("com_settings_window"), QString(), true },
        { QString(), QStringLiteral("Tindlewick Settings"), true },
        { QString(), QStringLiteral("History"), true },
        { QString(), QStringLiteral("Hotkey"), true },
        { QString(), QStringLiteral("Appearance"), false },
        { QStringLiteral("Settings"), QString(), false }, // the identifier is matched as written
        { QString(), QStringLiteral("history"), false },
    };
    for (const Case &c : cases)
        EXPECT_EQ(SettingsWindowController::shouldElevateSettingsWindow(c.identifier, c.title), c.elevate)
            << c.identifier.toStdString() << "/" << c.title.toStdString();
}

TEST_F(AppDelegateTest, SettingsOpenOnceOnGeneralOnATabWhenAskedAndAfreshAfterClosing)
{
    launch();
    EXPECT_EQ(delegate->settingsWindow(), nullptr);
    delegate->openSettings();
    SettingsView *window = delegate->settingsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("General — Tindlewick Settings"));

    // "Customize Formats": the same window, on Colors, a moment later.
    SettingsLinkHelper::shared().openSettings(SettingsView::colors);
    EXPECT_EQ(delegate->settingsWindow(), window);
    ASSERT_TRUE(waitUntil([&] { return window->selectedTab() == SettingsView::colors; }));

    // The History tab's clear goes through the app's store and lets the highlighter go.
    insertText(QStringLiteral("to be cleared"));
    ASSERT_TRUE(context().save().ok);
    highlights.highlighter();
    window->historyTab()->clearAllHistory();
    window->historyTab()->lastCompaction().waitForFinished();
    EXPECT_FALSE(highlights.hasHighlighter());
    EXPECT_EQ(context().fetchCount(FetchDescriptor()), 0);

    // Closed, the window goes; opened again it starts on General.
    QPointer<SettingsView> closed = window;
    window->close();
    ASSERT_TRUE(waitUntil([&] { return closed.isNull(); }));
    delegate->openSettings();
    ASSERT_NE(delegate->settingsWindow(), nullptr);
    EXPECT_EQ(delegate->settingsWindow()->selectedTab(), SettingsView::general);
}

TEST_F(AppDelegateTest, QuittingSavesAndFoldsTheWriteAheadLogThroughTheStoreReportingWhatKeptItOpen)
{
    const struct
    {
        const char *name;
        bool readerHoldsTheLog;
    } cases[] = {
        { "nobody else reads the store", false },
        { "another program reads the store and keeps the log from being folded in", true },
    };
    for (const auto &quit : cases) {
        SCOPED_TRACE(quit.name);
        launch();
        // The start's pruning writes through the capture's actor; the test's own save below
        // waits for no lock, as the main thread never does.
        delegate->clipboardMonitor()->databaseActor().waitForIdle();
        context().insert(
            ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("unsaved") }));
        SqliteConnection reader;
        if (quit.readerHoldsTheLog) {
            ASSERT_TRUE(context().save().ok);
            ASSERT_TRUE(reader.open(storePath(), SQLITE_OPEN_READONLY));
            ASSERT_TRUE(reader.exec(QStringLiteral("BEGIN; SELECT count(*) FROM ClipboardItem;")));
            container().setBusyTimeout(100);
        }
        CapturedDiagnostics diagnostics;
        QuitDeadline deadline(AppDelegate::quitLimit, AppDelegate::storeSaveLimit);
        delegate->applicationWillTerminate(deadline);
        EXPECT_TRUE(deadline.leftBehind().isEmpty()) << deadline.leftBehind().join(u'\n').toStdString();
        EXPECT_FALSE(context().hasChanges());
        const QFileInfo wal(storePath() + QStringLiteral("-wal"));
        if (quit.readerHoldsTheLog) {
            EXPECT_TRUE(diagnostics.contains(
                QStringLiteral("[ClipboardDatabaseActor] WAL checkpoint failed (5): database is locked")))
                << diagnostics.lines().join(u'\n').toStdString();
            reader.exec(QStringLiteral("COMMIT"));
        } else {
            EXPECT_TRUE(!wal.exists() || wal.size() == 0) << wal.size();
            EXPECT_TRUE(diagnostics.lines().isEmpty()) << diagnostics.lines().join(u'\n').toStdString();
        }
        std::unique_ptr<ModelContainer> reopened = ModelContainer::open(storePath(), nullptr);
        EXPECT_EQ(reopened->makeContext()->fetchCount(FetchDescriptor::newestFirst()), 1);
        delegate.reset();
        resetStore();
    }
}

TEST_F(AppDelegateTest, QuittingSavesTheSettingsThatFoundNoRoomBefore)
{
    launch();
    {
        FileSizeLimit full(0, 10);
        settings.setHistoryLimit(120);
    }
    ASSERT_NE(UserDefaults(defaults.filePath()).integer(QStringLiteral("historyLimit")), 120);
    QuitDeadline quit(AppDelegate::quitLimit, AppDelegate::storeSaveLimit);
    delegate->applicationWillTerminate(quit);
    EXPECT_EQ(UserDefaults(defaults.filePath()).integer(QStringLiteral("historyLimit")), 120);
}

} // namespace

TEST_F(AppDelegateTest, ACopyStartedWhileAnotherHoldsTheLockDoesNothingAndQuits)
{
    const QString socketPath = m_settingsFolder.path() + QStringLiteral("/instance.socket");
    // Another copy starting at the same moment: it holds the lock but does not listen yet,
    // so it cannot be asked to quit.
    SingleInstance starting(socketPath);
    ASSERT_TRUE(starting.claim(0));
    SingleInstance instance(socketPath);
    launch(&instance);
    EXPECT_TRUE(delegate->refusedToRun());
    EXPECT_EQ(delegate->clipboardMonitor(), nullptr) << "two captures would store every copy twice";
    EXPECT_EQ(delegate->popoverPanel(), nullptr);
    EXPECT_TRUE(hotKeys.grabbed.isEmpty());
    EXPECT_FALSE(instance.hasClaimed());
    QuitDeadline quit(AppDelegate::quitLimit, AppDelegate::storeSaveLimit);
    delegate->applicationWillTerminate(quit); // leaves the store to the other copy
}

TEST_F(AppDelegateTest, TheUserHearsOnceOfEachReasonACopyWasNotSaved)
{
    // A store that cannot be written (as a read-only disk or file would be).
    container().setConnectionSetupSql(QStringLiteral("PRAGMA query_only = ON"));
    launch();
    ClipboardMonitor *monitor = delegate->clipboardMonitor();
    ASSERT_NE(monitor, nullptr);
    for (const char *text : { "one", "two", "three" }) {
        ClipboardItemPtr item
            = ClipboardItem::create(ClipboardItemType::text, { .text = QString::fromUtf8(text) });
        monitor->saveClipboardItem(item, false, std::nullopt);
    }
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices.first().contains(storePath()));
    EXPECT_TRUE(notices.first().contains(QLatin1String("writable"))) << notices.first().toStdString();
}

// What the user deletes must leave the file: on a full disk the deletion waits in memory, the
// user hears once that it is still in the file, and it is written once there is room, at the
// latest when the panel next shows or hides.
TEST_F(AppDelegateTest, ADeletionRefusedByAFullDiskIsToldOnceAndWrittenWhenThePanelShowsOrHides)
{
    container().setClock(clock);
    FullDiskVfs disk; // the main context's connection opens on it
    insertText(QStringLiteral("written when the panel shows"));
    insertText(QStringLiteral("written when the panel hides"));
    launchWithPanelView();
    const QList<ClipboardItemPtr> items = context().fetch(FetchDescriptor::newestFirst()).items;
    ASSERT_EQ(items.size(), 3);
    const auto storedTexts = [&] {
        std::unique_ptr<ModelContext> reader = container().makeContext();
        QStringList texts;
        for (const ClipboardItemPtr &item : reader->fetch(FetchDescriptor::newestFirst()).items)
            texts << item->textContent().value_or(QString());
        return texts;
    };
    const struct
    {
        QString text;
        bool panelShownAtTheDelete;
    } deletions[] = { { QStringLiteral("written when the panel shows"), false },
        { QStringLiteral("written when the panel hides"), true } };
    for (const auto &deletion : deletions) {
        SCOPED_TRACE(deletion.text.toStdString());
        ASSERT_EQ(panelShown(), deletion.panelShownAtTheDelete);
        disk.setFull(true);
        // As the panel's Delete does.
        for (const ClipboardItemPtr &item : items) {
            if (item->textContent() == deletion.text)
                context().remove(item);
        }
        EXPECT_FALSE(context().save().ok);
        clock.advance(ModelContext::longestFailedSaveRetryDelay * 3);
        EXPECT_TRUE(storedTexts().contains(deletion.text));
        disk.setFull(false);
        pressShortcut();
        EXPECT_EQ(panelShown(), !deletion.panelShownAtTheDelete);
        EXPECT_TRUE(waitUntil([&] { return !storedTexts().contains(deletion.text); }));
    }
    ASSERT_EQ(notices.size(), 1) << notices.join(u'\n').toStdString();
    EXPECT_TRUE(notices.first().contains(storePath()));
    EXPECT_TRUE(notices.first().contains(QLatin1String("what you deleted is still in the file")))
        << notices.first().toStdString();
    EXPECT_EQ(storedTexts(), QStringList { QStringLiteral("stored") });
}

// Without a tray, the desktop's notification area says once how to open the panel and where
// Settings... and Quit are instead; a desktop that did not take the notice is asked again at the
// next start.
TEST_F(AppDelegateTest, WithoutATrayTheDesktopIsToldOnceWhereTheTrayMenusEntriesAre)
{
    ASSERT_FALSE(StatusItem::isAvailable()) << "this test needs a desktop without a tray";
    withStatusItem = true;
    const struct
    {
        const char *start;
        bool serviceRuns;
        int noticesShown;
    } starts[] = {
        { "a desktop without a notification service", false, 0 },
        { "the next start, on a desktop with one", true, 1 },
        { "a later start", true, 0 },
    };
    for (const auto &start : starts) {
        SCOPED_TRACE(start.start);
        desktopNotifications.serviceRuns = start.serviceRuns;
        desktopNotifications.notices.clear();
        CapturedDiagnostics log;
        launch();
        EXPECT_EQ(log.lines().filter(QStringLiteral("No system tray")).size(), 1);
        QApplication::processEvents();
        EXPECT_EQ(desktopNotifications.notices.size(), start.noticesShown);
        for (const auto &notice : desktopNotifications.notices) {
            for (const QString &part :
                { QString(QStringLiteral("open it with ")
                      + AppDelegate::togglePanelShortcut().defaultShortcut->nativeText()),
                    QStringLiteral("Settings..."), QStringLiteral("Quit Tindlewick"),
                    QStringLiteral("\u22ef menu"), QStringLiteral("tindlewick --settings") })
                EXPECT_TRUE(notice.body.contains(part)) << notice.body.toStdString();
        }
        EXPECT_FALSE(delegate->hasTrayMenu()) << "the panel's menu offers the entries";
        delegate.reset();
    }
}

// One opener hears the requests to open the settings, whoever asks: each opens them once.
TEST_F(AppDelegateTest, EachRequestForTheSettingsIsHandledOnce)
{
    const QString socketPath = m_settingsFolder.path() + QStringLiteral("/instance.socket");
    SingleInstance instance(socketPath);
    ClipboardPanelView *view = launchWithPanelView(&instance);
    ASSERT_NE(view, nullptr);
    int opened = 0;
    SettingsOpener::setOpenSettingsAction([&] { ++opened; });
    const auto fromAnotherCopy = [&] {
        SingleInstance later(socketPath);
        std::atomic<bool> done { false };
        SingleInstance::SettingsRequest answer {};
        std::unique_ptr<QThread> asking(QThread::create([&] {
            answer = later.askToOpenSettings();
            done = true;
        }));
        asking->start();
        EXPECT_TRUE(waitUntil([&] { return done.load(); }));
        asking->wait();
        EXPECT_EQ(answer, SingleInstance::SettingsRequest::delivered);
        EXPECT_TRUE(waitUntil([&] { return opened > 0; }));
    };
    const struct
    {
        const char *request;
        std::function<void()> ask;
    } requests[] = {
        { "the tray menu's Settings...", [&] { delegate->openSettings(); } },
        { "the panel menu's Settings...", [&] { Q_EMIT view->searchBar()->settingsRequested(); } },
        { "a colour row's Customize Formats", [&] { SettingsLinkHelper::shared().openSettings(2); } },
        { "another copy started with --settings", fromAnotherCopy },
    };
    for (const auto &request : requests) {
        SCOPED_TRACE(request.request);
        opened = 0;
        request.ask();
        QApplication::processEvents();
        EXPECT_EQ(opened, 1);
    }
}

TEST_F(AppDelegateTest, WithoutATrayTheLogSaysHowToOpenThePanelByTheStoredShortcut)
{
    const QString key = QStringLiteral("KeyboardShortcuts_togglePanel");
    const QString defaultShortcut = AppDelegate::togglePanelShortcut().defaultShortcut->nativeText();
    const QByteArray otherJson = R"({"carbonKeyCode":9,"carbonModifiers":2304})";
    const QString otherShortcut = KeyboardShortcuts::Shortcut::fromJson(otherJson)->nativeText();
    ASSERT_NE(otherShortcut, defaultShortcut);
    const struct
    {
        const char *name;
        std::optional<QVariant> stored;
        QString expected;
    } cases[] = {
        { "nothing stored yet", std::nullopt, QStringLiteral("open it with ") + defaultShortcut },
        { "another shortcut", QVariant(QString::fromUtf8(otherJson)),
            QStringLiteral("open it with ") + otherShortcut },
        { "the shortcut removed", QVariant(false), QStringLiteral("no shortcut is set") },
        // The start puts the default in place of what it cannot use.
        { "a stored value that is no shortcut", QVariant(QStringLiteral("{not json")),
            QStringLiteral("open it with ") + defaultShortcut },
        { "a key out of range",
            QVariant(QStringLiteral(R"({"carbonKeyCode":-99999999,"carbonModifiers":4096})")),
            QStringLiteral("open it with ") + defaultShortcut },
        { "a number", QVariant(7.0), QStringLiteral("open it with ") + defaultShortcut },
    };
    createDelegate();
    for (const auto &c : cases) {
        if (c.stored)
            defaults.setObject(key, *c.stored);
        else
            defaults.removeObject(key);
        const QString message = delegate->noTrayMessage();
        EXPECT_TRUE(message.contains(c.expected)) << c.name << ": " << message.toStdString();
    }
}

// A hand-edited or damaged settings file can hold a shortcut the app cannot read or no person
// can press. The app then opens on Control+Space, stores it, shows it in the settings and says
// so once; the next start has nothing to say.
TEST_F(AppDelegateTest, AStoredShortcutThatCannotBeUsedGivesWayToControlSpaceWithOneNotice)
{
    const QString key = QStringLiteral("KeyboardShortcuts_togglePanel");
    const QString controlSpaceJson = QStringLiteral(R"({"carbonKeyCode":49,"carbonModifiers":4096})");
    const struct
    {
        const char *name;
        QVariant stored;
        const char *named; // how the notice names what was stored
    } cases[] = {
        { "unreadable", QStringLiteral("garbage{"), R"(is not a shortcut: "garbage{")" },
        { "out of range", QStringLiteral(R"({"carbonKeyCode":-99999999,"carbonModifiers":4294967295})"),
            "key code -99999999, modifiers 0xffffffff" },
        { "a list", QVariantList { 49, 4096 }, "is not a shortcut: [49,4096]" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        delegate.reset();
        notices.clear();
        defaults.setObject(key, c.stored);
        launch();
        ASSERT_EQ(notices.size(), 1) << notices.join(QLatin1Char('\n')).toStdString();
        for (const QString &part : { QString::fromUtf8(c.named), defaults.filePath(),
                 QStringLiteral("Ctrl+Space opens it instead") })
            EXPECT_TRUE(notices.first().contains(part)) << notices.first().toStdString();
        EXPECT_FALSE(notices.first().contains(QChar(0xFFFD))) << notices.first().toStdString();
        EXPECT_EQ(defaults.object(key), QVariant(controlSpaceJson));
        EXPECT_TRUE(delegate->shortcuts().isShortcutEnabled(AppDelegate::togglePanelShortcut()));
        workspace.frontmost = editor;
        pressShortcut();
        EXPECT_TRUE(panelShown()) << "Control+Space did not open the panel";
        pressShortcut();
        delegate->openSettings();
        ASSERT_NE(delegate->settingsWindow(), nullptr);
        EXPECT_EQ(delegate->settingsWindow()->hotkeyTab()->recorder()->text(), QStringLiteral("Ctrl+Space"));

        delegate.reset();
        notices.clear();
        launch();
        EXPECT_TRUE(notices.isEmpty()) << "told again at the next start";
    }
}
