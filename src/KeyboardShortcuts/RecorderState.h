#pragma once

#include "KeyboardShortcuts/Name.h"

#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace KeyboardShortcuts {

class ShortcutCenter;

// What the shortcut recorder knows and decides, without a widget: the text it shows, its
// placeholder, whether it records, and what each key or click means while it records.
// The widget hands it focus changes, clicks and keys and carries out the focus change it
// answers with. Recording starts only when the user puts the focus on the recorder,
// never because its window came to the front. While it records, the shortcut actions are
// paused and "KeyboardShortcuts_recorderActiveStatusDidChange" is posted. Main thread only.
class RecorderState final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text NOTIFY textChanged)
    Q_PROPERTY(QString placeholder READ placeholder NOTIFY placeholderChanged)
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
public:
    // A question the recorder puts to the user; the answer is the index of the button.
    struct Alert
    {
        QString message;
        QString informativeText;
        QStringList buttons;
    };
    using AlertPresenter = std::function<int(const Alert &alert)>;
    // The title of the menu item that already answers to the shortcut, if one does. The
    // standard editing shortcuts (Copy, Paste, Undo, ...) are refused as menu items besides.
    using MenuLookup = std::function<std::optional<QString>(const Shortcut &shortcut)>;
    using SystemShortcutQuery = std::function<bool(const Shortcut &shortcut)>;
    using OnChange = std::function<void(const std::optional<Shortcut> &shortcut)>;

    // What the widget does with the focus after an event.
    enum class FocusChange {
        none,
        // The recorder gives up the focus (recording ends).
        clear,
        // The focus moves on to the next control (Tab).
        next,
    };
    struct Outcome
    {
        // Whether the event stops here; otherwise it goes on to its target.
        bool consumed = true;
        FocusChange focus = FocusChange::none;
    };

    RecorderState(Name name, ShortcutCenter &center, QObject *parent = nullptr);
    ~RecorderState() override;

    // The user-visible texts, by the keys the recorder looks them up with ("record_shortcut",
    // "press_shortcut", "keyboard_shortcut_used_by_menu_item", "keyboard_shortcut_used_by_system",
    // "keyboard_shortcuts_can_be_changed", "ok", "force_use_shortcut").
    static QString localized(const char *key);

    const Name &shortcutName() const { return m_name; }
    // Another name: the text follows it.
    void setShortcutName(const Name &name);

    QString text() const { return m_text; }
    QString placeholder() const { return m_placeholder; }
    bool isRecording() const { return m_isRecording; }
    bool showsClearButton() const { return !m_text.isEmpty(); }

    void setOnChange(OnChange onChange) { m_onChange = std::move(onChange); }
    void setAlertPresenter(AlertPresenter presenter) { m_presentAlert = std::move(presenter); }
    void setMenuLookup(MenuLookup lookup) { m_menuLookup = std::move(lookup); }
    // By default the hot-key layer asks the desktop.
    void setSystemShortcutQuery(SystemShortcutQuery query) { m_isSystemShortcut = std::move(query); }
    void setBeep(std::function<void()> beep) { m_beep = std::move(beep); }
    // Whether the desktop or another program holds the shortcut.
    bool isHeldElsewhere(const Shortcut &shortcut) const
    {
        return m_isSystemShortcut && m_isSystemShortcut(shortcut);
    }

    // The recorder got the focus. Given by the window's activation, it only keeps the focus:
    // recording waits for the user's click.
    void focusIn(bool byWindowActivation);
    // A click on the recorder while it has the focus and does not record starts recording.
    void click();
    // The focus left the recorder, or its window stopped being the active one.
    void focusOut();

    // A key pressed while recording, as the shortcut model reads it (nothing for a key it
    // has no code for). Modifier keys alone are waited past.
    Outcome handleKey(const std::optional<Shortcut> &key);
    // A mouse button let go anywhere in the app while recording, at a point in the
    // recorder's own coordinates.
    Outcome handleMouseUp(const QPointF &position, const QSizeF &recorderSize);
    // The clear button: the shortcut is removed and recording goes on.
    void clear();

Q_SIGNALS:
    void textChanged();
    void placeholderChanged();
    void isRecordingChanged();

private:
    void beginRecording();
    void finishRecording();
    void showStoredShortcut();
    void setText(const QString &text);
    void setPlaceholder(const QString &placeholder);
    int presentAlert(const Alert &alert);
    Outcome accept(const Shortcut &shortcut);
    std::optional<QString> menuItemTaking(const Shortcut &shortcut) const;

    Name m_name;
    ShortcutCenter &m_center;
    QString m_text;
    QString m_placeholder;
    bool m_isRecording = false;
    OnChange m_onChange;
    AlertPresenter m_presentAlert;
    MenuLookup m_menuLookup;
    SystemShortcutQuery m_isSystemShortcut;
    std::function<void()> m_beep;
};

} // namespace KeyboardShortcuts
