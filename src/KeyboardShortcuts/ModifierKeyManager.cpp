#include "KeyboardShortcuts/ModifierKeyManager.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>

ModifierKeyManager &ModifierKeyManager::shared()
{
    static ModifierKeyManager *manager = [] {
        auto *created = new ModifierKeyManager(QCoreApplication::instance());
        created->startModifierMonitoring();
        return created;
    }();
    return *manager;
}

ModifierKeyManager::ModifierKeyManager(QObject *parent)
    : QObject(parent)
{ }

ModifierKeyManager::~ModifierKeyManager()
{
    if (m_monitoring && qApp)
        qApp->removeEventFilter(this);
}

void ModifierKeyManager::startModifierMonitoring()
{
    if (m_monitoring)
        return;
    m_monitoring = true;
    setIsShiftPressed(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
    qApp->installEventFilter(this);
}

void ModifierKeyManager::setIsShiftPressed(bool pressed)
{
    if (m_isShiftPressed == pressed)
        return;
    m_isShiftPressed = pressed;
    Q_EMIT isShiftPressedChanged(pressed);
}

bool ModifierKeyManager::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        // Each key event reaches the filter once per receiver; the value settles on the first.
        const auto *key = static_cast<const QKeyEvent *>(event);
        bool pressed = key->modifiers() & Qt::ShiftModifier;
        // The Shift key's own event may carry the state from before it.
        if (key->key() == Qt::Key_Shift)
            pressed = event->type() == QEvent::KeyPress;
        setIsShiftPressed(pressed);
    }
    return QObject::eventFilter(watched, event);
}
