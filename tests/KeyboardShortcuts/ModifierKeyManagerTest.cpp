#include "KeyboardShortcuts/ModifierKeyManager.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QWidget>

namespace {

TEST(ModifierKeyManagerTest, ShiftPressAndReleaseAreEachAnnouncedOnce)
{
    ModifierKeyManager manager;
    manager.startModifierMonitoring();
    QSignalSpy changes(&manager, &ModifierKeyManager::isShiftPressedChanged);
    QWidget target;
    const auto send = [&](QEvent::Type type, int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent event(type, key, modifiers);
        QApplication::sendEvent(&target, &event);
    };
    // X reports the Shift key's own press with the state from before it.
    send(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
    EXPECT_TRUE(manager.isShiftPressed());
    send(QEvent::KeyPress, Qt::Key_Control, Qt::ShiftModifier | Qt::ControlModifier);
    send(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier);
    send(QEvent::KeyRelease, Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_FALSE(manager.isShiftPressed());
    send(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier);
    EXPECT_EQ(changes.count(), 2);
}

} // namespace
