#include "KeyboardShortcuts/HotKeyCenter.h"

#include "common/Diagnostics.h"
#include "platform/GlobalHotKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

namespace KeyboardShortcuts {

namespace {

std::optional<HotKeyCombination> combinationOf(const Shortcut &shortcut, QString *error)
{
    const std::optional<quint32> keysym = shortcut.x11KeySymbol();
    const std::optional<quint32> modifiers = shortcut.x11Modifiers();
    if (!keysym || !modifiers) {
        if (error)
            *error = QStringLiteral("the key or a modifier has no X11 counterpart");
        return std::nullopt;
    }
    return HotKeyCombination { *keysym, *modifiers };
}

void printRegistrationError(const Shortcut &shortcut, const QString &reason)
{
    printDiagnostic(QStringLiteral("Error registering hotkey %1: %2").arg(shortcut.nativeText(), reason));
}

} // namespace

HotKeyCenter::HotKeyCenter(GlobalHotKeys &backend, QObject *parent)
    : QObject(parent)
    , m_backend(backend)
{
    connect(&m_backend, &GlobalHotKeys::pressed, this, &HotKeyCenter::handlePressed);
    connect(&m_backend, &GlobalHotKeys::released, this, &HotKeyCenter::handleReleased);
    if (qApp)
        qApp->installEventFilter(this);
}

HotKeyCenter::~HotKeyCenter()
{
    for (auto &[id, hotKey] : m_hotKeys) {
        if (hotKey.grabbed)
            ungrab(hotKey.shortcut);
    }
}

bool HotKeyCenter::grab(const Shortcut &shortcut, QString *error)
{
    const std::optional<HotKeyCombination> combination = combinationOf(shortcut, error);
    return combination && m_backend.grab(*combination, error);
}

void HotKeyCenter::ungrab(const Shortcut &shortcut)
{
    if (const std::optional<HotKeyCombination> combination = combinationOf(shortcut, nullptr))
        m_backend.ungrab(*combination);
}

bool HotKeyCenter::registerShortcut(
    const Shortcut &shortcut, Callback onKeyDown, Callback onKeyUp, QString *error)
{
    const qint64 id = ++m_hotKeyIdCounter;
    QString reason;
    // With the switch off the registration is kept and grabbed when it comes on again.
    if (holdsGrabs() && !grab(shortcut, &reason)) {
        printRegistrationError(shortcut, reason);
        if (error)
            *error = reason;
        return false;
    }
    m_hotKeys[id] = HotKey { shortcut, id, holdsGrabs(), false, std::move(onKeyDown), std::move(onKeyUp) };
    return true;
}

void HotKeyCenter::unregisterShortcut(const Shortcut &shortcut)
{
    for (auto it = m_hotKeys.begin(); it != m_hotKeys.end();) {
        if (it->second.shortcut == shortcut) {
            if (it->second.grabbed)
                ungrab(shortcut);
            it = m_hotKeys.erase(it);
        } else {
            ++it;
        }
    }
}

bool HotKeyCenter::isRegistered(const Shortcut &shortcut) const
{
    for (const auto &[id, hotKey] : m_hotKeys) {
        if (hotKey.shortcut == shortcut)
            return true;
    }
    return false;
}

void HotKeyCenter::setIsEnabled(bool enabled)
{
    if (m_isEnabled == enabled)
        return;
    m_isEnabled = enabled;
    applyGrabs();
}

void HotKeyCenter::setIsSuspended(bool suspended)
{
    if (m_isSuspended == suspended)
        return;
    m_isSuspended = suspended;
    applyGrabs();
}

bool HotKeyCenter::isSystemShortcut(const Shortcut &shortcut) const
{
    const std::optional<HotKeyCombination> combination = combinationOf(shortcut, nullptr);
    return combination && m_backend.isHeldByAnotherClient(*combination);
}

void HotKeyCenter::applyGrabs()
{
    const bool hold = holdsGrabs();
    QList<std::pair<Shortcut, QString>> lost;
    for (auto it = m_hotKeys.begin(); it != m_hotKeys.end();) {
        HotKey &hotKey = it->second;
        if (!hold) {
            if (hotKey.grabbed)
                ungrab(hotKey.shortcut);
            hotKey.grabbed = false;
            hotKey.down = false;
            ++it;
            continue;
        }
        QString reason;
        if (hotKey.grabbed || grab(hotKey.shortcut, &reason)) {
            hotKey.grabbed = true;
            ++it;
        } else {
            printRegistrationError(hotKey.shortcut, reason);
            lost.append({ hotKey.shortcut, reason });
            it = m_hotKeys.erase(it);
        }
    }
    for (const auto &[shortcut, reason] : std::as_const(lost))
        Q_EMIT grabLost(shortcut, reason);
}

HotKeyCenter::HotKey *HotKeyCenter::hotKeyFor(const HotKeyCombination &combination)
{
    for (auto &[id, hotKey] : m_hotKeys) {
        if (combinationOf(hotKey.shortcut, nullptr) == combination)
            return &hotKey;
    }
    return nullptr;
}

void HotKeyCenter::keyDown(HotKey &hotKey)
{
    if (hotKey.down)
        return;
    hotKey.down = true;
    // Copies: the callback may unregister the hot key while it runs.
    const Shortcut shortcut = hotKey.shortcut;
    const Callback callback = hotKey.onKeyDown;
    if (callback)
        callback(shortcut);
}

void HotKeyCenter::keyUp(HotKey &hotKey)
{
    if (!hotKey.down)
        return;
    hotKey.down = false;
    const Shortcut shortcut = hotKey.shortcut;
    const Callback callback = hotKey.onKeyUp;
    if (callback)
        callback(shortcut);
}

void HotKeyCenter::handlePressed(const HotKeyCombination &combination)
{
    if (HotKey *hotKey = hotKeyFor(combination); hotKey && holdsGrabs())
        keyDown(*hotKey);
}

void HotKeyCenter::handleReleased(const HotKeyCombination &combination)
{
    if (HotKey *hotKey = hotKeyFor(combination))
        keyUp(*hotKey);
}

bool HotKeyCenter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return QObject::eventFilter(watched, event);
    if (!holdsGrabs() || !qobject_cast<QMenu *>(QApplication::activePopupWidget()))
        return false;
    const auto *keyEvent = static_cast<const QKeyEvent *>(event);
    const std::optional<Shortcut> typed = Shortcut::fromKeyEvent(*keyEvent);
    if (!typed)
        return false;
    for (auto &[id, hotKey] : m_hotKeys) {
        if (event->type() == QEvent::KeyPress) {
            if (hotKey.shortcut != *typed)
                continue;
            if (!keyEvent->isAutoRepeat())
                keyDown(hotKey);
            return true;
        }
        // People let go of the modifiers first: the release matches by key alone.
        if (hotKey.down && hotKey.shortcut.carbonKeyCode == typed->carbonKeyCode) {
            if (!keyEvent->isAutoRepeat())
                keyUp(hotKey);
            return true;
        }
    }
    return false;
}

} // namespace KeyboardShortcuts
