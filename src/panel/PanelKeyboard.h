#pragma once

class HistoryToggle;
class LabelEditState;
class PanelController;
class PanelItemActions;
class PanelNavigation;
class PanelSearch;
class PanelShell;
class PanelTabLayout;
class PanelToast;
class QString;

// What the panel's keys do: the arrows, Return and Escape, Tab, the hidden shortcuts and the
// slash commands. A label being edited takes the arrows, Return and Escape. Main thread only.
class PanelKeyboard final
{
public:
    // The keys the panel itself handles; everything else goes to the search field.
    enum class Key { down, up, left, right, enter, escape };
    // The panel's hidden shortcuts.
    enum class Shortcut { clearHistory, togglePin, toggleHistory };

    struct Parts
    {
        PanelNavigation &navigation;
        PanelSearch &search;
        PanelTabLayout &layout;
        PanelItemActions &actions;
        HistoryToggle &historyToggle;
        PanelController &controller;
        PanelShell &shell;
        LabelEditState &labelEditing;
        PanelToast &toast;
    };
    explicit PanelKeyboard(Parts parts);

    // True when the panel used the key; false lets it go on to the search field.
    bool handleKey(Key key);
    void handleShortcut(Shortcut shortcut);
    // Tab completes a slash command first.
    void tabForward();
    void tabBackward();

private:
    void returnStep();
    void escapeStep();
    void runSlashCommand(const QString &text);

    Parts m_parts;
};
