#include "panel/PanelKeyboard.h"

#include "items/LabelEditState.h"
#include "panel/HistoryToggle.h"
#include "panel/PanelController.h"
#include "panel/PanelItemActions.h"
#include "panel/PanelNavigation.h"
#include "panel/PanelSearch.h"
#include "panel/PanelShell.h"
#include "panel/PanelToast.h"
#include "panel/SlashCommands.h"

PanelKeyboard::PanelKeyboard(Parts parts)
    : m_parts(parts)
{ }

bool PanelKeyboard::handleKey(Key key)
{
    const bool editingLabel = m_parts.labelEditing.isEditing();
    switch (key) {
    case Key::down:
        if (editingLabel)
            return false;
        m_parts.navigation.down();
        return true;
    case Key::up:
        if (editingLabel)
            return false;
        m_parts.navigation.up();
        return true;
    case Key::left:
        return !editingLabel && m_parts.navigation.sideways(-1);
    case Key::right:
        return !editingLabel && m_parts.navigation.sideways(+1);
    case Key::enter:
        returnStep();
        return true;
    case Key::escape:
        escapeStep();
        return true;
    }
    return false;
}

void PanelKeyboard::handleShortcut(Shortcut shortcut)
{
    switch (shortcut) {
    case Shortcut::clearHistory:
        m_parts.actions.setShowClearConfirmation(true);
        break;
    case Shortcut::togglePin:
        m_parts.controller.setIsPinned(!m_parts.controller.isPinned());
        break;
    case Shortcut::toggleHistory:
        m_parts.historyToggle.toggle();
        break;
    }
}

void PanelKeyboard::returnStep()
{
    if (m_parts.labelEditing.isEditing()) {
        m_parts.labelEditing.setIsEditing(false);
        return;
    }
    if (m_parts.search.text().startsWith(QLatin1Char('/'))) {
        runSlashCommand(m_parts.search.text());
        return;
    }
    if (ClipboardItemPtr item = m_parts.navigation.selectedItem())
        m_parts.actions.chooseItem(item);
}

void PanelKeyboard::runSlashCommand(const QString &text)
{
    const std::optional<SlashCommands::Command> command = SlashCommands::command(text);
    if (!command)
        return;
    m_parts.search.setText(QString());
    switch (*command) {
    case SlashCommands::Command::clear:
        m_parts.actions.setShowClearConfirmation(true);
        break;
    case SlashCommands::Command::emoji:
        m_parts.search.setEmojiMode(true);
        // Emoji typed through the input method still work without a picker.
        if (!m_parts.shell.showCharacterPalette())
            m_parts.toast.setMessage(QStringLiteral("No emoji picker is installed"));
        break;
    }
}

void PanelKeyboard::escapeStep()
{
    if (m_parts.labelEditing.isEditing()) {
        m_parts.labelEditing.setIsEditing(false);
        return;
    }
    if (m_parts.search.isSearching()) {
        m_parts.search.setText(QString());
        return;
    }
    m_parts.shell.hidePanel(true);
}

void PanelKeyboard::tabForward()
{
    const QString text = m_parts.search.text();
    if (text.startsWith(QLatin1Char('/'))) {
        if (const std::optional<QString> completion = SlashCommands::completion(text)) {
            m_parts.search.setText(*completion);
            return;
        }
    }
    m_parts.navigation.tab(+1);
}

void PanelKeyboard::tabBackward()
{
    m_parts.navigation.tab(-1);
}
