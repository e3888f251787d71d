#include "shell/FrontWindow.h"

#include "settings/GeneralTab.h"
#include "settings/SettingsView.h"
#include "shell/AppDelegateTestSupport.h"
#include "shell/PasteService.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <functional>
#include <memory>
#include <type_traits>

namespace {

// A visible top-level window of the app, with a field to type in; `onTop` raises it above others
// as the app raises its settings window (through its native window).
std::unique_ptr<QWidget> openWindow(Qt::WindowType type, bool onTop, const QString &title)
{
    auto window = std::make_unique<QWidget>(nullptr, type);
    window->setWindowTitle(title);
    (new QLineEdit(window.get()))->setFocus();
    window->resize(200, 120);
    window->show();
    if (onTop)
        window->windowHandle()->setFlag(Qt::WindowStaysOnTopHint, true);
    return window;
}

// Whether a key typed into the window reaches its field: a modal notice blocks the windows it is
// modal to.
bool takesKeys(QWidget *window)
{
    auto *field = window->findChild<QLineEdit *>();
    field->clear();
    QTest::keyClick(window->windowHandle(), Qt::Key_A);
    return field->text() == QLatin1String("a");
}

bool activate(QWidget *window)
{
    window->activateWindow();
    return waitUntil([window] { return QApplication::activeWindow() == window; });
}

// The message boxes open now with this title.
QList<QMessageBox *> boxesTitled(const QString &title)
{
    QList<QMessageBox *> boxes;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(window);
        if (box && box->isVisible() && box->windowTitle() == title)
            boxes.append(box);
    }
    return boxes;
}

void closeAllBoxes()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(window))
            box->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

TEST(FrontWindowTest, ANoticeOpensOverTheActiveWindowElseOverOneThatStaysOnTop)
{
    enum Window { none, settings, other, panel };
    const struct
    {
        const char *name;
        bool settingsOnTop;
        bool settingsShown;
        Window active;
        Window expected;
    } cases[] = {
        { "the settings window is active", true, true, settings, settings },
        { "another ordinary window is active", true, true, other, other },
        // The panel hides once it loses the focus: the notice goes over the settings.
        { "the panel is active, the settings stay on top", true, true, panel, settings },
        { "the panel is active, the other windows stay below", false, true, panel, none },
        { "the settings window is closed", true, false, panel, none },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        const std::unique_ptr<QWidget> settingsWindow
            = openWindow(Qt::Window, test.settingsOnTop, QStringLiteral("Settings"));
        const std::unique_ptr<QWidget> otherWindow = openWindow(Qt::Window, false, QStringLiteral("Other"));
        const std::unique_ptr<QWidget> panelWindow = openWindow(Qt::Tool, true, QStringLiteral("Tindlewick"));
        if (!test.settingsShown)
            settingsWindow->hide();
        QWidget *const windows[] = { nullptr, settingsWindow.get(), otherWindow.get(), panelWindow.get() };
        ASSERT_TRUE(activate(windows[test.active]));

        EXPECT_EQ(FrontWindow::current(), windows[test.expected]);
        QPointer<QMessageBox> box = FrontWindow::showMessage(
            QMessageBox::Information, QStringLiteral("Notice"), QStringLiteral("text"));
        ASSERT_TRUE(box);
        EXPECT_EQ(box->parentWidget(), windows[test.expected]);
        EXPECT_TRUE(box->isVisible());
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        // It blocks the window it is over, and no other: the panel shown next takes the keys.
        for (QWidget *window : { settingsWindow.get(), otherWindow.get(), panelWindow.get() }) {
            if (window->isVisible()) {
                EXPECT_EQ(takesKeys(window), window != windows[test.expected])
                    << window->windowTitle().toStdString();
            }
        }
        box->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(box.isNull()) << "a closed notice stays in memory";
    }
}

namespace {

class FrontWindowCallersTest : public AppDelegateTestBase
{
protected:
    ~FrontWindowCallersTest() override
    {
        closeAllBoxes();
        delegate.reset();
    }

    // The app without a tray, and with its settings window open and active.
    void launchWithSettingsOpen()
    {
        createDelegate();
        delegate->applicationDidFinishLaunching();
        delegate->openSettings();
        ASSERT_NE(delegate->settingsWindow(), nullptr);
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == delegate->settingsWindow(); }));
    }
};

} // namespace

// Notices that the app opens on its own, while the settings window is open: they open over it,
// not hidden under it.
TEST_F(FrontWindowCallersTest, NoticesOpenOverTheOpenSettingsWindow)
{
    using Self = std::remove_pointer_t<decltype(this)>;
    const struct
    {
        const char *name;
        QString title;
        std::function<void(Self &)> tell;
    } cases[] = {
        { "a paste without synthetic keys", QStringLiteral("Accessibility Permission Required"),
            [](Self &t) {
                t.keyboard.trusted = false;
                t.delegate->pasteService()->simulatePaste();
            } },
        // Without a tray to show a message, the app's own notices are message boxes.
        { "the double tap switched on where it cannot work", QStringLiteral("Double tap unavailable"),
            [](Self &t) {
                t.input.unavailableReason = QStringLiteral("the X server has no XInput extension");
                t.settings.setActivationMode(AppSettings::ActivationMode::doubleTap);
            } },
        { "check for updates", QStringLiteral("Check for Updates"),
            [](Self &t) { t.delegate->settingsWindow()->generalTab()->checkForUpdatesButton()->click(); } },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        delegate.reset();
        keyboard.trusted = true;
        input.unavailableReason.clear();
        settings.setActivationMode(AppSettings::ActivationMode::shortcut);
        launchWithSettingsOpen();
        if (HasFatalFailure())
            return;
        SettingsView *settingsWindow = delegate->settingsWindow();

        test.tell(*this);
        ASSERT_TRUE(waitUntil([&] { return !boxesTitled(test.title).isEmpty(); })) << "no notice";
        const QList<QMessageBox *> boxes = boxesTitled(test.title);
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_EQ(boxes.first()->parentWidget(), settingsWindow) << "not over the settings window";
        closeAllBoxes();
    }
}
