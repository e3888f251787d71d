#include "shell/TestHooks.h"

#include "common/Diagnostics.h"
#include "detection/HighlightCacheService.h"

#include <QApplication>
#include <QMessageBox>

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
}

} // namespace TestHooks
