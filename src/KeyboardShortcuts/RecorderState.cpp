#include "KeyboardShortcuts/RecorderState.h"

#include "KeyboardShortcuts/HotKeyCenter.h"
#include "KeyboardShortcuts/ShortcutCenter.h"
#include "common/NotificationCenter.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QRectF>

#include <array>
#include <cstring>

namespace KeyboardShortcuts {

namespace {

// Keys that serve as a shortcut without a command-like modifier: the function keys F1 to F35.
constexpr std::array<qint64, 35> keysAllowedWithoutModifier { Key::f1, Key::f2, Key::f3, Key::f4, Key::f5,
    Key::f6, Key::f7, Key::f8, Key::f9, Key::f10, Key::f11, Key::f12, Key::f13, Key::f14, Key::f15, Key::f16,
    Key::f17, Key::f18, Key::f19, Key::f20, Key::f21, Key::f22, Key::f23, Key::f24, Key::f25, Key::f26,
    Key::f27, Key::f28, Key::f29, Key::f30, Key::f31, Key::f32, Key::f33, Key::f34, Key::f35 };

// Keys that only modify another: pressed alone they are no shortcut yet.
constexpr std::array<qint64, 10> modifierKeys { Key::capsLock, Key::shift, Key::function, Key::control,
    Key::option, Key::command, Key::rightCommand, Key::rightOption, Key::rightControl, Key::rightShift };

constexpr qint64 commandLikeModifiers
    = CarbonModifier::control | CarbonModifier::option | CarbonModifier::command | CarbonModifier::function;

// How far outside its edge a click still counts as a click on the recorder.
constexpr qreal clickSlop = 3;

// The editing shortcuts of every program's Edit menu, as the desktop's Qt binds them. Taken as a
// global shortcut, one would stop working in every other program, so the recorder treats them
// as items of the app's own menu. Only those with a command-like modifier count: the function
// keys Qt also binds to editing (F14 to F20, a Sun keyboard's Undo to Cut keys) stay free to
// serve alone, as every function key does.
std::optional<QString> editingMenuItemTaking(const Shortcut &shortcut)
{
    struct Item
    {
        QKeySequence::StandardKey key;
        const char *title;
    };
    static constexpr std::array<Item, 6> items { {
        { QKeySequence::Undo, QT_TRANSLATE_NOOP("KeyboardShortcuts", "Undo") },
        { QKeySequence::Redo, QT_TRANSLATE_NOOP("KeyboardShortcuts", "Redo") },
        { QKeySequence::Cut, QT_TRANSLATE_NOOP("KeyboardShortcuts", "Cut") },
        { QKeySequence::Copy, QT_TRANSLATE_NOOP("KeyboardShortcuts", "Copy") },
        { QKeySequence::Paste, QT_TRANSLATE_NOOP("KeyboardShortcuts", "Paste") },
        { QKeySequence::SelectAll, QT_TRANSLATE_NOOP("KeyboardShortcuts", "Select All") },
    } };
    const QKeySequence sequence = shortcut.keySequence();
    if (!(shortcut.carbonModifiers & commandLikeModifiers) || sequence.isEmpty())
        return std::nullopt;
    for (const Item &item : items) {
        if (QKeySequence::keyBindings(item.key).contains(sequence))
            return QCoreApplication::translate("KeyboardShortcuts", item.title);
    }
    return std::nullopt;
}

template <std::size_t N> bool contains(const std::array<qint64, N> &keys, qint64 code)
{
    return std::find(keys.begin(), keys.end(), code) != keys.end();
}

} // namespace

QString RecorderState::localized(const char *key)
{
    struct Entry
    {
        const char *key;
        const char *text;
    };
    static constexpr std::array<Entry, 7> texts { {
        { "record_shortcut", QT_TRANSLATE_NOOP("KeyboardShortcuts", "Click to set a shortcut") },
        { "press_shortcut", QT_TRANSLATE_NOOP("KeyboardShortcuts", "Type the new shortcut") },
        { "keyboard_shortcut_used_by_menu_item",
            QT_TRANSLATE_NOOP(
                "KeyboardShortcuts", "The menu item \u201c%1\u201d already answers to this shortcut.") },
        { "keyboard_shortcut_used_by_system",
            QT_TRANSLATE_NOOP(
                "KeyboardShortcuts", "%1 is already taken by the desktop or another program.") },
        { "keyboard_shortcuts_can_be_changed",
            QT_TRANSLATE_NOOP("KeyboardShortcuts",
                "If you use it anyway, the key may not reach %1 while the other program holds it. "
                "Most desktops let you change or free their shortcuts in their keyboard settings.") },
        { "ok", QT_TRANSLATE_NOOP("KeyboardShortcuts", "OK") },
        { "force_use_shortcut", QT_TRANSLATE_NOOP("KeyboardShortcuts", "&Use Anyway") },
    } };
    for (const Entry &entry : texts) {
        if (std::strcmp(entry.key, key) == 0)
            return QCoreApplication::translate("KeyboardShortcuts", entry.text);
    }
    return QString::fromLatin1(key);
}

RecorderState::RecorderState(Name name, ShortcutCenter &center, QObject *parent)
    : QObject(parent)
    , m_name(std::move(name))
    , m_center(center)
    , m_placeholder(localized("record_shortcut"))
{
    m_isSystemShortcut
        = [this](const Shortcut &shortcut) { return m_center.hotKeys().isSystemShortcut(shortcut); };
    showStoredShortcut();
    NotificationCenter::defaultCenter().addObserver(
        shortcutByNameDidChange, this, [this](const QVariantMap &userInfo) {
            if (userInfo.value(QStringLiteral("name")).toString() == m_name.rawValue)
                showStoredShortcut();
        });
}

RecorderState::~RecorderState()
{
    // A recorder that goes away while it records must not leave the shortcuts paused.
    finishRecording();
}

void RecorderState::setShortcutName(const Name &name)
{
    const bool differs = name.rawValue != m_name.rawValue;
    m_name = name;
    if (differs)
        showStoredShortcut();
}

void RecorderState::showStoredShortcut()
{
    const std::optional<Shortcut> stored = m_center.getShortcut(m_name);
    setText(stored ? stored->nativeText() : QString());
}

void RecorderState::setText(const QString &text)
{
    if (m_text == text)
        return;
    m_text = text;
    Q_EMIT textChanged();
}

void RecorderState::setPlaceholder(const QString &placeholder)
{
    if (m_placeholder == placeholder)
        return;
    m_placeholder = placeholder;
    Q_EMIT placeholderChanged();
}

void RecorderState::focusIn(bool byWindowActivation)
{
    if (!byWindowActivation)
        beginRecording();
}

void RecorderState::click()
{
    beginRecording();
}

void RecorderState::focusOut()
{
    finishRecording();
}

void RecorderState::beginRecording()
{
    if (m_isRecording)
        return;
    m_isRecording = true;
    setPlaceholder(localized("press_shortcut"));
    m_center.setIsPaused(true);
    Q_EMIT isRecordingChanged();
    NotificationCenter::defaultCenter().post(
        recorderActiveStatusDidChange, { { QStringLiteral("isActive"), true } });
}

void RecorderState::finishRecording()
{
    if (!m_isRecording)
        return;
    m_isRecording = false;
    setPlaceholder(localized("record_shortcut"));
    m_center.setIsPaused(false);
    Q_EMIT isRecordingChanged();
    NotificationCenter::defaultCenter().post(
        recorderActiveStatusDidChange, { { QStringLiteral("isActive"), false } });
}

void RecorderState::clear()
{
    setText(QString());
    m_center.setShortcut(std::nullopt, m_name);
    if (m_onChange)
        m_onChange(std::nullopt);
    beginRecording();
}

int RecorderState::presentAlert(const Alert &alert)
{
    // The alert takes the focus: recording ends while it is up and starts again after it.
    finishRecording();
    const int answer = m_presentAlert ? m_presentAlert(alert) : 0;
    beginRecording();
    return answer;
}

RecorderState::Outcome RecorderState::handleMouseUp(const QPointF &position, const QSizeF &recorderSize)
{
    if (!m_isRecording)
        return { false, FocusChange::none };
    const QRectF grown
        = QRectF(QPointF(0, 0), recorderSize).adjusted(-clickSlop, -clickSlop, clickSlop, clickSlop);
    if (!grown.contains(position))
        return { false, FocusChange::clear };
    return { true, FocusChange::none };
}

RecorderState::Outcome RecorderState::handleKey(const std::optional<Shortcut> &key)
{
    if (!m_isRecording)
        return { false, FocusChange::none };
    if (key && contains(modifierKeys, key->carbonKeyCode))
        return { true, FocusChange::none };
    const bool noModifier = key && key->carbonModifiers == 0;
    if (noModifier && key->carbonKeyCode == Key::tab)
        return { false, FocusChange::next };
    if (noModifier && key->carbonKeyCode == Key::escape)
        return { true, FocusChange::clear };
    if (noModifier && (key->carbonKeyCode == Key::deleteKey || key->carbonKeyCode == Key::deleteForward)) {
        clear();
        return { true, FocusChange::none };
    }
    if (!key
        || (!(key->carbonModifiers & commandLikeModifiers)
            && !contains(keysAllowedWithoutModifier, key->carbonKeyCode))) {
        if (m_beep)
            m_beep();
        return { true, FocusChange::none };
    }
    if (const std::optional<QString> title = menuItemTaking(*key)) {
        presentAlert(
            { localized("keyboard_shortcut_used_by_menu_item").arg(*title), {}, { localized("ok") } });
        return { true, FocusChange::none };
    }
    // F12 alone is taken without asking whether another program holds it; if one does, the
    // notice that follows a shortcut that cannot be grabbed says so.
    const bool comparedWithDesktop = !(key->carbonKeyCode == Key::f12 && key->carbonModifiers == 0);
    if (comparedWithDesktop && isHeldElsewhere(*key)) {
        const int answer
            = presentAlert({ localized("keyboard_shortcut_used_by_system").arg(key->nativeText()),
                localized("keyboard_shortcuts_can_be_changed").arg(QCoreApplication::applicationName()),
                { localized("ok"), localized("force_use_shortcut") } });
        if (answer != 1)
            return { true, FocusChange::none };
    }
    return accept(*key);
}

std::optional<QString> RecorderState::menuItemTaking(const Shortcut &shortcut) const
{
    if (std::optional<QString> editing = editingMenuItemTaking(shortcut))
        return editing;
    return m_menuLookup ? m_menuLookup(shortcut) : std::nullopt;
}

RecorderState::Outcome RecorderState::accept(const Shortcut &shortcut)
{
    setText(shortcut.nativeText());
    m_center.storeShortcut(m_name, shortcut);
    if (m_onChange)
        m_onChange(shortcut);
    finishRecording();
    return { true, FocusChange::clear };
}

} // namespace KeyboardShortcuts
