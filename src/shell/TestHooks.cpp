#include "shell/TestHooks.h"

#include "common/Diagnostics.h"
#include "common/NotificationCenter.h"
#include "detection/HighlightCacheService.h"
#include "detection/MagikaDetectionCoreML.h"
#include "enrichment/FileAvailabilityService.h"
#include "enrichment/LinkMetadataService.h"
#include "panel/TabHeader.h"
#include "platform/FileExistence.h"
#include "platform/ResourceFile.h"
#include "platform/X11InputBarrier.h"
#include "settings/SettingsView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSemaphore>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <ctime>

namespace {

// How long the main thread went without turning its event loop: a timer due every few
// milliseconds that comes late by more than reportAboveMs is a stall, reported with the main
// thread's own work in it (on a busy machine the rest was other programs' turn).
class MainThreadStallMeter final : public QObject
{
public:
    static constexpr int intervalMs = 5;
    static constexpr double reportAboveMs = 20;

    explicit MainThreadStallMeter(QObject *parent)
        : QObject(parent)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(intervalMs);
        connect(&m_timer, &QTimer::timeout, this, &MainThreadStallMeter::tick);
        m_clock.start();
        m_lastWork = threadWorkMs();
        m_timer.start();
    }

private:
    static double threadWorkMs()
    {
        timespec time {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
        return double(time.tv_sec) * 1e3 + double(time.tv_nsec) / 1e6;
    }

    void tick()
    {
        const double now = double(m_clock.nsecsElapsed()) / 1e6;
        const double work = threadWorkMs();
        const double late = now - m_lastTick - intervalMs;
        if (late > reportAboveMs)
            printDiagnostic(QStringLiteral("[TestHooks] Main thread stalled %1 ms (%2 ms of its own work)")
                                .arg(late, 0, 'f', 1)
                                .arg(work - m_lastWork, 0, 'f', 1));
        m_lastTick = now;
        m_lastWork = work;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_lastTick = 0;
    double m_lastWork = 0;
};

} // namespace

namespace TestHooks {

namespace {

// Prints the message of every alert the shortcut recorder shows, when it is shown.
class RecorderAlertReporter final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show
            && watched->objectName() == QLatin1String("KeyboardShortcutsRecorderAlert")) {
            if (const auto *box = qobject_cast<QMessageBox *>(watched))
                printDiagnostic(QStringLiteral("[Recorder] Alert shown: ") + box->text());
        }
        return false;
    }
};

// Prints where the settings window's tabs are, each time the window is shown or shows another
// tab, and how much of the page shown is in view, in the window's own pixels (the
// scale factor applied), so that a test can click each tab whatever the theme, font or scale:
//   [Settings] Window 576x666, tab bar 8,8 556x28
//   [Settings] Tab 3 "History" at 291,8 91x28
//   [Settings] Page 3 "History" shows 556x620 of its 556x620
class SettingsLayoutReporter final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *view = qobject_cast<SettingsView *>(watched);
        if (event->type() != QEvent::Show || !view)
            return false;
        if (!m_followed.contains(view)) {
            m_followed.insert(view);
            connect(view, &QObject::destroyed, this, [this, view] { m_followed.remove(view); });
            // The page is laid out once it is shown, a turn later.
            connect(view->tabView(), &QTabWidget::currentChanged, view,
                [view] { QTimer::singleShot(0, view, [view] { report(*view); }); });
        }
        QTimer::singleShot(0, view, [view] { report(*view); });
        return false;
    }

private:
    static QString pixels(const QRect &rect, double ratio)
    {
        return QStringLiteral("%1,%2 %3x%4")
            .arg(qRound(rect.x() * ratio))
            .arg(qRound(rect.y() * ratio))
            .arg(qRound(rect.width() * ratio))
            .arg(qRound(rect.height() * ratio));
    }
    static QString size(const QSize &size, double ratio)
    {
        return QStringLiteral("%1x%2").arg(qRound(size.width() * ratio)).arg(qRound(size.height() * ratio));
    }
    static void report(SettingsView &view)
    {
        const double ratio = view.devicePixelRatioF();
        QTabBar *bar = view.tabView()->tabBar();
        const QRect barRect(bar->mapTo(&view, QPoint(0, 0)), bar->size());
        printDiagnostic(QStringLiteral("[Settings] Window %1, tab bar %2")
                            .arg(size(view.size(), ratio), pixels(barRect, ratio)));
        for (int index = 0; index < bar->count(); ++index) {
            const QRect tab = bar->tabRect(index).translated(barRect.topLeft());
            printDiagnostic(QStringLiteral("[Settings] Tab %1 \"%2\" at %3")
                                .arg(index)
                                .arg(SettingsView::tabTitle(index), pixels(tab, ratio)));
        }
        const int shown = view.tabView()->currentIndex();
        // A page is a scroll area: its content is laid out larger than the view onto it only
        // where it does not fit.
        const auto *page = qobject_cast<const QScrollArea *>(view.tabView()->currentWidget());
        if (!page || !page->widget())
            return;
        printDiagnostic(QStringLiteral("[Settings] Page %1 \"%2\" shows %3 of its %4")
                            .arg(shown)
                            .arg(SettingsView::tabTitle(shown), size(page->viewport()->size(), ratio),
                                size(page->widget()->size(), ratio)));
    }

    QSet<QObject *> m_followed;
};

// Prints the entries of every menu the app shows once it is on the screen (first painted: the
// window is mapped then, and the menu holds the keyboard), and again when entries join it while
// it is open (one joins a picture's menu once its file has been read).
class MenuReporter final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *menu = qobject_cast<QMenu *>(watched);
        if (!menu)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            m_unreported.insert(menu);
            break;
        case QEvent::Hide:
            m_unreported.remove(menu);
            break;
        case QEvent::Paint:
            if (m_unreported.remove(menu))
                printDiagnostic(QStringLiteral("[TestHooks] Menu: ") + entries(*menu));
            break;
        case QEvent::ActionAdded:
            if (menu->isVisible() && !m_unreported.contains(menu))
                printDiagnostic(QStringLiteral("[TestHooks] Menu: ") + entries(*menu));
            break;
        default:
            break;
        }
        return false;
    }

private:
    static QString entries(const QMenu &menu)
    {
        QStringList texts;
        for (const QAction *action : menu.actions()) {
            if (!action->isSeparator())
                texts.append(QString(action->text()).remove(QLatin1Char('&')));
        }
        return texts.join(QStringLiteral(" | "));
    }

    // Shown and not painted yet (held weakly: a menu may go before it is painted).
    QSet<QObject *> m_unreported;
};

// Prints each message box once it is on the screen (first painted), with the middle of each of
// its buttons on the screen, in device pixels, so that a test can click them whatever the theme
// and font:
//   [TestHooks] Message box "Clear Clipboard History?": Clear at 946,592 | Cancel at 1032,592
// and a line each time the panel shows its categories as tabs ("[TestHooks] Panel shows tabs").
class WindowReporter final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<TabHeader *>(watched))
            printDiagnostic(QStringLiteral("[TestHooks] Panel shows tabs"));
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (!box)
            return false;
        if (event->type() == QEvent::Show)
            m_unreported.insert(box);
        else if (event->type() == QEvent::Hide)
            m_unreported.remove(box);
        else if (event->type() == QEvent::Paint && m_unreported.remove(box))
            report(*box);
        return false;
    }

private:
    static void report(const QMessageBox &box)
    {
        const double ratio = box.devicePixelRatioF();
        QStringList buttons;
        for (const QAbstractButton *button : box.buttons()) {
            const QPoint middle = button->mapToGlobal(button->rect().center());
            buttons << QStringLiteral("%1 at %2,%3")
                           .arg(QString(button->text()).remove(QLatin1Char('&')))
                           .arg(qRound(middle.x() * ratio))
                           .arg(qRound(middle.y() * ratio));
        }
        printDiagnostic(QStringLiteral("[TestHooks] Message box \"%1\": %2")
                            .arg(box.text(), buttons.join(QStringLiteral(" | "))));
    }

    // Shown and not painted yet (held weakly: a box may go before it is painted).
    QSet<QObject *> m_unreported;
};

// Holds the thread of the service that TINDLEWICK_TEST_HOLD_THREAD names ("link reader" or
// "content-type model") for the rest of the run, as a network or a disk that never answers would,
// and says so once it is held.
void holdThreadIfAsked()
{
    const QString which = qEnvironmentVariable("TINDLEWICK_TEST_HOLD_THREAD");
    const auto hold = [which] {
        printDiagnostic(QStringLiteral("[TestHooks] Holding the %1's thread").arg(which));
        // Never released, nor destroyed: the thread stays held until the process ends.
        static auto *never = new QSemaphore;
        never->acquire();
    };
    if (which == u"link reader")
        LinkMetadataService::shared().runOnItsThread(hold);
    else if (which == u"content-type model")
        MagikaDetectionCoreML::shared().runOnItsThread(hold);
}

// With TINDLEWICK_TEST_HELD_RESOURCE naming a resource file ("public_suffix_list.dat"), every
// reading of it holds its thread for good, as a file on a mount that stopped answering would.
void holdReadingsOfTheNamedResource()
{
    const QString held = qEnvironmentVariable("TINDLEWICK_TEST_HELD_RESOURCE");
    if (held.isEmpty())
        return;
    ResourceFile::setReadingHook([held](const QString &path) {
        if (QFileInfo(path).fileName() != held)
            return;
        printDiagnostic(QStringLiteral("[TestHooks] Holding the reading of %1").arg(path));
        // Never released: the quit leaves the thread behind.
        static QSemaphore never;
        never.acquire();
    });
}

// What the caches hold for the history's items, each time the panel hides:
//   [TestHooks] Kept for items: 12 file answers, 30 disk answers, 240 highlighted lines, 0 rests
void reportKeptForItems()
{
    const HighlightCacheService &highlights = HighlightCacheService::shared();
    printDiagnostic(QStringLiteral("[TestHooks] Kept for items: %1 file answers, %2 disk answers, %3 "
                                   "highlighted lines, %4 rests")
                        .arg(FileAvailabilityService::shared().itemAnswerCount())
                        .arg(FileExistence::shared().cachedAnswerCount())
                        .arg(highlights.cacheCount())
                        .arg(highlights.restCount()));
}

} // namespace

bool requested()
{
    return qEnvironmentVariableIntValue("TINDLEWICK_TEST_HOOKS") == 1;
}

void install()
{
    NotificationCenter::defaultCenter().addObserver(
        Notifications::panelDidHide, qApp, [](const QVariantMap &) { reportKeptForItems(); });
    QObject::connect(
        &HighlightCacheService::shared(), &HighlightCacheService::highlighterStarted, [](int count) {
            printDiagnostic(
                QStringLiteral("[HighlightCacheService] Highlighting engine started (%1)").arg(count));
        });
    qApp->installEventFilter(new RecorderAlertReporter(qApp));
    qApp->installEventFilter(new SettingsLayoutReporter(qApp));
    qApp->installEventFilter(new MenuReporter(qApp));
    qApp->installEventFilter(new WindowReporter(qApp));
    new X11InputBarrier(
        [](quint32 number) {
            printDiagnostic(QStringLiteral("[TestHooks] Input handled up to %1").arg(number));
        },
        qApp);
    new MainThreadStallMeter(QCoreApplication::instance());
    holdThreadIfAsked();
    holdReadingsOfTheNamedResource();
}

} // namespace TestHooks
