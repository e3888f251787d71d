#include "settings/SettingsTextField.h"

#include <QApplication>
#include <QMouseEvent>

SettingsTextField::SettingsTextField(QWidget *parent)
    : QLineEdit(parent)
{ }

SettingsTextField::~SettingsTextField()
{
    stopClickMonitor();
}

void SettingsTextField::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    startClickMonitor();
}

void SettingsTextField::focusOutEvent(QFocusEvent *event)
{
    stopClickMonitor();
    QLineEdit::focusOutEvent(event);
}

void SettingsTextField::startClickMonitor()
{
    if (m_isMonitoring)
        return;
    m_isMonitoring = true;
    qApp->installEventFilter(this);
}

void SettingsTextField::stopClickMonitor()
{
    if (!m_isMonitoring)
        return;
    m_isMonitoring = false;
    qApp->removeEventFilter(this);
}

bool SettingsTextField::eventFilter(QObject *watched, QEvent *event)
{
    // A press may pass the filter several times (its window, then each widget it is offered
    // to); ending the edit again changes nothing.
    if (event->type() == QEvent::MouseButtonPress && (watched->isWindowType() || watched->isWidgetType())) {
        const auto *press = static_cast<const QMouseEvent *>(event);
        if (press->button() == Qt::LeftButton || press->button() == Qt::RightButton) {
            const QRect field(mapToGlobal(QPoint(0, 0)), size());
            if (!field.contains(press->globalPosition().toPoint()))
                clearFocus();
        }
    }
    return QLineEdit::eventFilter(watched, event);
}
