#include "KeyboardShortcuts/ShortcutBinding.h"

#include "KeyboardShortcuts/ShortcutCenter.h"
#include "common/NotificationCenter.h"

#include <QAction>
#include <QPointer>
#include <QShortcut>
#include <QTimer>

namespace KeyboardShortcuts {

ShortcutBinding::ShortcutBinding(const Name &name, ShortcutCenter &center, Apply apply, QObject *owner)
    : QObject(owner)
    , m_name(name)
    , m_center(center)
    , m_apply(std::move(apply))
    , m_isRecorderActive(center.isPaused())
{
    setObjectName(QStringLiteral("KeyboardShortcutsBinding"));
    NotificationCenter &notifications = NotificationCenter::defaultCenter();
    notifications.addObserver(shortcutByNameDidChange, this, [this](const QVariantMap &userInfo) {
        if (userInfo.value(QStringLiteral("name")).toString() != m_name.rawValue)
            return;
        QTimer::singleShot(0, this, &ShortcutBinding::update);
    });
    notifications.addObserver(recorderActiveStatusDidChange, this, [this](const QVariantMap &userInfo) {
        const QVariant active = userInfo.value(QStringLiteral("isActive"));
        m_isRecorderActive = active.typeId() == QMetaType::Bool && active.toBool();
        update();
    });
    update();
}

QKeySequence ShortcutBinding::currentSequence() const
{
    if (m_isRecorderActive)
        return {};
    const std::optional<Shortcut> shortcut = m_center.getShortcut(m_name);
    return shortcut ? shortcut->keySequence() : QKeySequence();
}

void ShortcutBinding::update()
{
    m_apply(currentSequence());
}

namespace {

template <typename Target, typename Setter>
void follow(Target *target, const std::optional<Name> &name, ShortcutCenter &center, Setter set)
{
    // The earlier binding stops observing before a new one starts.
    delete target->template findChild<ShortcutBinding *>(
        QStringLiteral("KeyboardShortcutsBinding"), Qt::FindDirectChildrenOnly);
    if (!name) {
        set(target, QKeySequence());
        return;
    }
    QPointer<Target> weak = target;
    new ShortcutBinding(
        *name, center,
        [weak, set](const QKeySequence &sequence) {
            if (weak)
                set(weak.data(), sequence);
        },
        target);
}

} // namespace

void followShortcut(QAction *action, const std::optional<Name> &name, ShortcutCenter &center)
{
    follow(action, name, center,
        [](QAction *target, const QKeySequence &sequence) { target->setShortcut(sequence); });
}

void followShortcut(QShortcut *shortcut, const std::optional<Name> &name, ShortcutCenter &center)
{
    follow(shortcut, name, center,
        [](QShortcut *target, const QKeySequence &sequence) { target->setKey(sequence); });
}

void onShortcutEvent(
    QObject *owner, const Name &name, ShortcutCenter &center, std::function<void(EventType)> action)
{
    const QUuid stream = center.addEventStream(name, std::move(action));
    QPointer<ShortcutCenter> weakCenter = &center;
    QObject::connect(owner, &QObject::destroyed, &center, [weakCenter, stream] {
        if (weakCenter)
            weakCenter->removeEventStream(stream);
    });
}

void onShortcutEventOfType(
    QObject *owner, const Name &name, EventType type, ShortcutCenter &center, std::function<void()> action)
{
    onShortcutEvent(owner, name, center, [type, action = std::move(action)](EventType event) {
        if (event == type)
            action();
    });
}

} // namespace KeyboardShortcuts
