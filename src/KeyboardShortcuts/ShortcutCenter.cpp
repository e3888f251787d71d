#include "KeyboardShortcuts/ShortcutCenter.h"

#include "KeyboardShortcuts/HotKeyCenter.h"
#include "common/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>

namespace KeyboardShortcuts {

namespace {
QPointer<ShortcutCenter> g_shared;

// Enough of a stored value to recognise it, written as in the settings file, on one line.
QString jsonExcerpt(const QVariant &stored)
{
    const QByteArray json
        = QJsonDocument(QJsonArray { QJsonValue::fromVariant(stored) }).toJson(QJsonDocument::Compact);
    QString text = QString::fromUtf8(json.mid(1, json.size() - 2));
    if (text.size() > 40)
        text = text.left(40) + QChar(0x2026);
    for (QChar &character : text) {
        if (!character.isPrint())
            character = QChar(0xFFFD);
    }
    return text;
}
} // namespace

ShortcutCenter::ShortcutCenter(UserDefaults &defaults, HotKeyCenter &hotKeys, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_hotKeys(hotKeys)
{
    connect(&m_hotKeys, &HotKeyCenter::grabLost, this, &ShortcutCenter::handleGrabLost);
}

void ShortcutCenter::setIsPaused(bool paused)
{
    m_isPaused = paused;
    m_hotKeys.setIsSuspended(paused);
}

void ShortcutCenter::handleGrabLost(const Shortcut &shortcut, const QString &reason)
{
    // No longer held: a later enable() tries again.
    m_registeredShortcuts.remove(shortcut);
    Q_EMIT registrationFailed(shortcut, reason);
}

ShortcutCenter *ShortcutCenter::shared()
{
    return g_shared.data();
}

void ShortcutCenter::setShared(ShortcutCenter *center)
{
    g_shared = center;
}

bool ShortcutCenter::hasStoredValue(const Name &name) const
{
    return m_defaults.contains(storageKey(name));
}

void ShortcutCenter::declare(const Name &name)
{
    if (!name.defaultShortcut)
        return;
    if (!hasStoredValue(name)) {
        storeShortcut(name, *name.defaultShortcut);
        return;
    }
    const QString problem = storedValueProblem(name);
    if (problem.isEmpty())
        return;
    // Kept, the value would leave the app without its shortcut at every start.
    storeShortcut(name, *name.defaultShortcut);
    Q_EMIT storedShortcutReplaced(name, problem);
}

std::optional<Shortcut> ShortcutCenter::declaredShortcut(const Name &name) const
{
    if (!hasStoredValue(name) || !storedValueProblem(name).isEmpty())
        return name.defaultShortcut;
    return getShortcut(name);
}

QString ShortcutCenter::storedValueProblem(const Name &name) const
{
    const QVariant stored = m_defaults.object(storageKey(name));
    if (!stored.isValid() || stored == QVariant(false))
        return {};
    if (const std::optional<Shortcut> shortcut = getShortcut(name)) {
        if (shortcut->canBePressedHere())
            return {};
        return QStringLiteral("names no key combination of this keyboard (key code %1, modifiers 0x%2)")
            .arg(shortcut->carbonKeyCode)
            .arg(quint64(shortcut->carbonModifiers), 0, 16);
    }
    return QStringLiteral("is not a shortcut: %1").arg(jsonExcerpt(stored));
}

std::optional<Shortcut> ShortcutCenter::getShortcut(const Name &name) const
{
    const QVariant stored = m_defaults.object(storageKey(name));
    if (stored.typeId() != QMetaType::QString)
        return std::nullopt;
    return Shortcut::fromJson(stored.toString().toUtf8());
}

void ShortcutCenter::registerShortcut(const Shortcut &shortcut)
{
    QString reason;
    const auto onDown = [this](const Shortcut &fired) { dispatch(fired, EventType::keyDown); };
    const auto onUp = [this](const Shortcut &fired) { dispatch(fired, EventType::keyUp); };
    // Only a grab that was really taken counts as registered, so enable() tries again later.
    if (m_hotKeys.registerShortcut(shortcut, onDown, onUp, &reason))
        m_registeredShortcuts.insert(shortcut);
    else
        Q_EMIT registrationFailed(shortcut, reason);
}

void ShortcutCenter::unregisterShortcut(const Shortcut &shortcut)
{
    m_hotKeys.unregisterShortcut(shortcut);
    m_registeredShortcuts.remove(shortcut);
}

void ShortcutCenter::registerIfNeeded(const Name &name)
{
    if (const std::optional<Shortcut> shortcut = getShortcut(name);
        shortcut && !m_registeredShortcuts.contains(*shortcut))
        registerShortcut(*shortcut);
}

void ShortcutCenter::postChange(const Name &name)
{
    NotificationCenter::defaultCenter().post(
        shortcutByNameDidChange, { { QStringLiteral("name"), name.rawValue } });
}

void ShortcutCenter::setShortcut(const std::optional<Shortcut> &shortcut, const Name &name)
{
    if (shortcut) {
        storeShortcut(name, *shortcut);
        return;
    }
    const std::optional<Shortcut> old = getShortcut(name);
    if (!old)
        return;
    // A removed default must not come back at the next launch.
    if (name.defaultShortcut)
        m_defaults.setBoolean(storageKey(name), false);
    else
        m_defaults.removeObject(storageKey(name));
    unregisterShortcut(*old);
    postChange(name);
}

void ShortcutCenter::storeShortcut(const Name &name, const Shortcut &shortcut)
{
    const QByteArray json = shortcut.toJson();
    if (json.isEmpty())
        return;
    if (const std::optional<Shortcut> old = getShortcut(name))
        unregisterShortcut(*old);
    if (!m_registeredShortcuts.contains(shortcut))
        registerShortcut(shortcut);
    m_defaults.setString(storageKey(name), QString::fromUtf8(json));
    postChange(name);
}

void ShortcutCenter::reset(const QList<Name> &names)
{
    for (const Name &name : names) {
        if (name.defaultShortcut) {
            storeShortcut(name, *name.defaultShortcut);
            continue;
        }
        if (const std::optional<Shortcut> stored = getShortcut(name)) {
            m_defaults.removeObject(storageKey(name));
            unregisterShortcut(*stored);
            postChange(name);
        }
    }
}

void ShortcutCenter::resetAll()
{
    reset(storedNames());
}

QList<Name> ShortcutCenter::storedNames() const
{
    static const QString prefix = QStringLiteral("KeyboardShortcuts_");
    QList<Name> names;
    for (const QString &key : m_defaults.keys()) {
        if (key.startsWith(prefix))
            names.append(Name { key.mid(prefix.size()), std::nullopt });
    }
    return names;
}

void ShortcutCenter::append(HandlerTable &table, const Name &name, Action action)
{
    for (auto &[existing, actions] : table) {
        if (existing == name) {
            actions.append(std::move(action));
            return;
        }
    }
    table.append({ name, { std::move(action) } });
}

void ShortcutCenter::onKeyDown(const Name &name, Action action)
{
    append(m_keyDownHandlers, name, std::move(action));
    registerIfNeeded(name);
}

void ShortcutCenter::onKeyUp(const Name &name, Action action)
{
    append(m_keyUpHandlers, name, std::move(action));
    registerIfNeeded(name);
}

QSet<Shortcut> ShortcutCenter::shortcutsOf(const HandlerTable &down, const HandlerTable &up) const
{
    QSet<Shortcut> shortcuts;
    for (const HandlerTable *table : { &down, &up }) {
        for (const auto &[name, actions] : *table) {
            if (const std::optional<Shortcut> shortcut = getShortcut(name))
                shortcuts.insert(*shortcut);
        }
    }
    return shortcuts;
}

QSet<Shortcut> ShortcutCenter::shortcutsOfStreams() const
{
    QSet<Shortcut> shortcuts;
    for (const auto &[name, listeners] : m_streams) {
        if (const std::optional<Shortcut> shortcut = getShortcut(name))
            shortcuts.insert(*shortcut);
    }
    return shortcuts;
}

void ShortcutCenter::removeHandler(const Name &name)
{
    const auto drop = [&](HandlerTable &table) {
        table.removeIf([&](const auto &entry) { return entry.first == name; });
    };
    drop(m_keyDownHandlers);
    drop(m_keyUpHandlers);
    if (const std::optional<Shortcut> shortcut = getShortcut(name);
        shortcut && !shortcutsOfStreams().contains(*shortcut))
        unregisterShortcut(*shortcut);
}

void ShortcutCenter::removeAllHandlers()
{
    const QSet<Shortcut> streams = shortcutsOfStreams();
    for (const Shortcut &shortcut : shortcutsOf(m_keyDownHandlers, m_keyUpHandlers)) {
        if (!streams.contains(shortcut))
            unregisterShortcut(shortcut);
    }
    m_keyDownHandlers.clear();
    m_keyUpHandlers.clear();
}

void ShortcutCenter::disable(const QList<Name> &names)
{
    for (const Name &name : names) {
        if (const std::optional<Shortcut> shortcut = getShortcut(name))
            unregisterShortcut(*shortcut);
    }
}

void ShortcutCenter::enable(const QList<Name> &names)
{
    for (const Name &name : names)
        registerIfNeeded(name);
}

bool ShortcutCenter::isShortcutEnabled(const Name &name) const
{
    const std::optional<Shortcut> shortcut = getShortcut(name);
    return m_hotKeys.isEnabled() && shortcut && m_registeredShortcuts.contains(*shortcut);
}

QUuid ShortcutCenter::addEventStream(const Name &name, std::function<void(EventType)> listener)
{
    const QUuid id = QUuid::createUuid();
    bool added = false;
    for (auto &[existing, listeners] : m_streams) {
        if (existing == name) {
            listeners.append({ id, std::move(listener) });
            added = true;
            break;
        }
    }
    if (!added)
        m_streams.append({ name, { { id, std::move(listener) } } });
    registerIfNeeded(name);
    return id;
}

void ShortcutCenter::removeEventStream(const QUuid &stream)
{
    for (auto &[name, listeners] : m_streams) {
        // The emptied entry stays: a name that once had a stream keeps counting as streamed,
        // so its grab is kept for the next stream.
        if (listeners.removeIf([&](const auto &entry) { return entry.first == stream; }) > 0)
            return;
    }
}

void ShortcutCenter::dispatch(const Shortcut &shortcut, EventType type)
{
    if (m_isPaused)
        return;
    // Copies: an action may bind or remove handlers while it runs.
    const HandlerTable handlers = type == EventType::keyDown ? m_keyDownHandlers : m_keyUpHandlers;
    for (const auto &[name, actions] : handlers) {
        if (getShortcut(name) != shortcut)
            continue;
        for (const Action &action : actions)
            action();
    }
    const StreamTable streams = m_streams;
    for (const auto &[name, listeners] : streams) {
        if (getShortcut(name) != shortcut)
            continue;
        for (const auto &[id, listener] : listeners)
            listener(type);
    }
}

} // namespace KeyboardShortcuts
