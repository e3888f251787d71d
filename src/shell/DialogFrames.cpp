#include "shell/DialogFrames.h"

#include "platform/DialogWindowHints.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>

namespace {

class DialogShowWatcher final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A window's own show event comes after its native window is made and before it is
        // mapped; the one the window system sends (after a restore) finds it mapped already.
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            if (const auto *dialog = qobject_cast<QDialog *>(watched); dialog && dialog->isWindow())
                DialogWindowHints::applyBeforeMapping(dialog->winId());
        }
        return false;
    }
};

} // namespace

namespace DialogFrames {

void install(QApplication &app)
{
    app.installEventFilter(new DialogShowWatcher(&app));
}

} // namespace DialogFrames
