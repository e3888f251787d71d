#include "shell/TestHooks.h"

#include "common/Diagnostics.h"
#include "detection/HighlightCacheService.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
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

} // namespace

bool requested()
{
    return qEnvironmentVariableIntValue("TINDLEWICK_TEST_HOOKS") == 1;
}

void install()
{
    QObject::connect(
        &HighlightCacheService::shared(), &HighlightCacheService::highlighterStarted, [](int count) {
            printDiagnostic(
                QStringLiteral("[HighlightCacheService] Highlighting engine started (%1)").arg(count));
        });
    qApp->installEventFilter(new RecorderAlertReporter(qApp));
    new MainThreadStallMeter(QCoreApplication::instance());
}

} // namespace TestHooks
