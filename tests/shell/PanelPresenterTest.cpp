// The panel keeps the focus through the windows it opens over itself: when one closes, the
// window manager may give the focus to another program's window (or to none), and the panel
// takes it back instead of hiding as if the user had gone there.

#include "shell/PanelPresenter.h"

#include "model/AppSettings.h"
#include "model/StoreTestSupport.h"
#include "panel/PanelController.h"
#include "platform/GlobalInputMonitor.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "shell/ClipboardPanel.h"
#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>

using namespace std::chrono_literals;

namespace {

const RunningApplication editor { QStringLiteral("org.example.Editor"), QStringLiteral("Editor"), 4242, 77 };
const RunningApplication terminal { QStringLiteral("xterm"), QStringLiteral("xterm"), 5151, 88 };

class PanelPresenterTest : public StoreTest
{
protected:
    PanelPresenterTest()
        : defaults(m_settingsFolder.path() + QStringLiteral("/defaults.json"))
        , settings(defaults)
    { }

    std::unique_ptr<PanelPresenter> shownPresenter()
    {
        auto presenter = std::make_unique<PanelPresenter>(
            PanelPresenter::Dependencies { container(), settings, defaults, workspace, input });
        presenter->setClock(time);
        workspace.frontmost = editor;
        presenter->togglePanel();
        QCoreApplication::sendPostedEvents();
        workspace.activations.clear();
        return presenter;
    }
    // An application of this process: the panel's window or another of its windows.
    static RunningApplication ownWindow(quint64 window)
    {
        RunningApplication own;
        own.processIdentifier = QCoreApplication::applicationPid();
        own.windowId = window;
        return own;
    }
    // Who the window manager reports in front.
    enum class Front { terminal, nothing, panel, anotherOwnWindow };
    void report(Front front, const PanelPresenter &presenter)
    {
        switch (front) {
        case Front::terminal:
            workspace.simulateActivation(terminal);
            break;
        case Front::nothing:
            workspace.simulateActivation(std::nullopt);
            break;
        case Front::panel:
            workspace.simulateActivation(ownWindow(presenter.panel()->winId()));
            break;
        case Front::anotherOwnWindow:
            workspace.simulateActivation(ownWindow(presenter.panel()->winId() + 1));
            break;
        }
        QCoreApplication::sendPostedEvents();
    }
    bool panelAskedForTheFocus(const PanelPresenter &presenter) const
    {
        return std::any_of(workspace.activations.cbegin(), workspace.activations.cend(),
            [&](const RunningApplication &asked) { return asked.windowId == presenter.panel()->winId(); });
    }

    QTemporaryDir m_settingsFolder;
    UserDefaults defaults;
    AppSettings settings;
    FakeWorkspace workspace;
    FakeGlobalInputMonitor input;
    ManualClock time;
};

// What opens over the panel and closes again, before the window manager moves the focus.
void question(PanelPresenter &presenter)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Clear Clipboard History?"), QString(),
        QMessageBox::Cancel, presenter.panel());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    box->reject();
}
void menu(PanelPresenter &presenter)
{
    auto *popup = new QMenu(presenter.panel());
    popup->addAction(QStringLiteral("Delete"));
    popup->popup(presenter.panel()->geometry().center());
    popup->close();
    popup->deleteLater();
}
void noticeOfItsOwn(PanelPresenter &)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Nothing was pasted"), QString());
    box.show();
    box.hide();
}

TEST_F(PanelPresenterTest, AWindowOverThePanelClosingHandsTheFocusBackToThePanel)
{
    const struct
    {
        const char *name;
        std::function<void(PanelPresenter &)> closeWindow;
        bool pinned;
        // Then the window manager reports these in front, each after a while.
        QList<std::pair<std::chrono::milliseconds, Front>> reports;
        bool shown;
        bool focusAsked;
    } cases[] = {
        { "another program, nothing closed over the panel", {}, false, { { 0ms, Front::terminal } }, false,
            false },
        { "the question closes, another program gets the focus", question, false,
            { { 0ms, Front::terminal } }, true, true },
        { "the question closes, no window gets the focus", question, false, { { 0ms, Front::nothing } }, true,
            true },
        { "the question closes and the window manager reports nothing", question, false, {}, true, true },
        { "the question closes over a pinned panel", question, true, { { 0ms, Front::terminal } }, true,
            true },
        { "another question takes the focus", question, false,
            { { 0ms, Front::anotherOwnWindow }, { 10ms, Front::terminal } }, true, true },
        { "the panel has the focus back, then the user goes to another program", question, false,
            { { 0ms, Front::terminal }, { 10ms, Front::panel }, { 10ms, Front::terminal } }, false, true },
        { "another program a while after the question closed", question, false,
            { { PanelPresenter::focusReturnTime, Front::terminal } }, false, true },
        { "a menu over the panel closes, then another program", menu, false, { { 0ms, Front::terminal } },
            false, false },
        { "a notice of the app's own closes, then another program", noticeOfItsOwn, false,
            { { 0ms, Front::terminal } }, false, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<PanelPresenter> presenter = shownPresenter();
        ASSERT_TRUE(presenter->panel()->isVisible());
        presenter->panelController()->setIsPinned(c.pinned);
        if (c.closeWindow)
            c.closeWindow(*presenter);
        QCoreApplication::sendPostedEvents();
        for (const auto &[after, front] : c.reports) {
            time.advance(after);
            report(front, *presenter);
        }
        EXPECT_EQ(presenter->panel()->isVisible(), c.shown);
        EXPECT_EQ(panelAskedForTheFocus(*presenter), c.focusAsked);
        presenter.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace
