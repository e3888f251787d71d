// Keyboard navigation, the hidden shortcuts and the slash commands of the panel.
#include "panel/PanelViewState.h"

#include "items/LabelEditState.h"
#include "panel/PanelEnvironment.h"
#include "panel/SlashCommands.h"

bool PanelViewState::handleKey(Key key)
{
    const bool editingLabel = LabelEditState::shared().isEditing();
    switch (key) {
    case Key::down:
        if (editingLabel)
            return false;
        downStep();
        return true;
    case Key::up:
        if (editingLabel)
            return false;
        upStep();
        return true;
    case Key::left:
        return horizontalKey(-1);
    case Key::right:
        return horizontalKey(+1);
    case Key::enter:
        returnStep();
        return true;
    case Key::escape:
        escapeStep();
        return true;
    }
    return false;
}

void PanelViewState::handleShortcut(Shortcut shortcut)
{
    switch (shortcut) {
    case Shortcut::clearHistory:
        setShowClearConfirmation(true);
        break;
    case Shortcut::togglePin:
        setIsPinned(!m_isPinned);
        break;
    case Shortcut::toggleHistory:
        toggleHistory();
        break;
    }
}

void PanelViewState::downStep()
{
    m_selection.setIsKeyboardNavigating(true);
    const std::optional<int> index = m_selection.selectedItemIndex();
    if (!index) {
        if (!m_isInTabMode)
            m_selection.setSelectedColumnIndex(0);
        m_selection.setSelectedItemIndex(0);
        return;
    }
    const std::optional<Category> column = currentColumn();
    if (!column)
        return;
    const QList<ClipboardItemPtr> navigation = navigableItems(*column);
    if (navigation.isEmpty())
        return;
    const int total = int(navigation.size());
    const std::optional<int> moved = navigateGrid(*index, gridSections(*column, navigation), 1, 0, total);
    m_selection.setSelectedItemIndex(moved.value_or(total - 1));
}

void PanelViewState::upStep()
{
    const std::optional<Category> column = currentColumn();
    const std::optional<int> index = m_selection.selectedItemIndex();
    if (!column || !index)
        return; // Up never starts a selection
    const QList<ClipboardItemPtr> navigation = navigableItems(*column);
    const std::optional<int> moved
        = navigateGrid(*index, gridSections(*column, navigation), -1, 0, int(navigation.size()));
    if (!moved)
        return; // on the top row: no wrap
    m_selection.setSelectedItemIndex(*moved);
    m_selection.setIsKeyboardNavigating(true);
}

bool PanelViewState::horizontalKey(int columnDelta)
{
    if (LabelEditState::shared().isEditing())
        return false;
    const bool itemSelected = m_selection.selectedItemIndex().has_value();
    if (!m_selection.isKeyboardNavigating() && itemSelected)
        m_selection.setIsKeyboardNavigating(true);
    if (!m_selection.isKeyboardNavigating() || !itemSelected)
        return false; // the caret of the search field moves instead
    horizontalStep(columnDelta);
    return true;
}

void PanelViewState::horizontalStep(int columnDelta)
{
    const std::optional<int> index = m_selection.selectedItemIndex();
    if (!index)
        return;
    const CategoryList &columns = m_isInTabMode ? m_cachedCategories.tabs : m_cachedCategories.visible;
    const int current = m_isInTabMode ? m_selectedTabIndex : m_selection.selectedColumnIndex();
    if (columns.isEmpty() || current < 0 || current >= columns.size())
        return;
    const QList<ClipboardItemPtr> navigation = navigableItems(columns[current]);
    const std::optional<int> moved = navigateGrid(
        *index, gridSections(columns[current], navigation), 0, columnDelta, int(navigation.size()));
    if (moved) {
        m_selection.setSelectedItemIndex(*moved);
        return;
    }
    // Leaving the row sideways: arrows never change the tab, and never wrap around.
    if (m_isInTabMode || columns.size() == 1)
        return;
    for (int candidate = current + columnDelta; candidate >= 0 && candidate < columns.size();
         candidate += columnDelta) {
        if (navigableItems(columns[candidate]).isEmpty())
            continue;
        m_selection.setSelectedColumnIndex(candidate);
        m_selection.setSelectedItemIndex(columnDelta < 0 ? firstRowEndIndex(candidate).value_or(0) : 0);
        return;
    }
}

void PanelViewState::returnStep()
{
    if (LabelEditState::shared().isEditing()) {
        LabelEditState::shared().setIsEditing(false);
        return;
    }
    if (m_searchText.startsWith(QLatin1Char('/'))) {
        runSlashCommand(m_searchText);
        return;
    }
    chooseSelectedItem();
}

void PanelViewState::chooseSelectedItem()
{
    if (ClipboardItemPtr item = selectedItem())
        chooseItem(item);
}

void PanelViewState::runSlashCommand(const QString &text)
{
    const std::optional<SlashCommands::Command> command = SlashCommands::command(text);
    if (!command)
        return;
    setSearchText(QString());
    switch (*command) {
    case SlashCommands::Command::clear:
        setShowClearConfirmation(true);
        break;
    case SlashCommands::Command::emoji:
        setIsEmojiMode(true);
        m_environment.showCharacterPalette();
        break;
    }
}

void PanelViewState::escapeStep()
{
    if (LabelEditState::shared().isEditing()) {
        LabelEditState::shared().setIsEditing(false);
        return;
    }
    if (!m_searchText.isEmpty()) {
        setSearchText(QString());
        return;
    }
    m_environment.hidePanel(true);
}

void PanelViewState::tabForward()
{
    if (m_searchText.startsWith(QLatin1Char('/'))) {
        if (const std::optional<QString> completion = SlashCommands::completion(m_searchText)) {
            setSearchText(*completion);
            return;
        }
    }
    tabStep(+1);
}

void PanelViewState::tabBackward()
{
    tabStep(-1);
}

void PanelViewState::tabStep(int direction)
{
    if (m_isInTabMode) {
        const int count = int(m_cachedCategories.tabs.size());
        if (count > 0)
            setSelectedTabIndex(((m_selectedTabIndex + direction) % count + count) % count);
        return;
    }
    m_selection.setIsKeyboardNavigating(true);
    const CategoryList &visible = m_cachedCategories.visible;
    const int count = int(visible.size());
    const int current = m_selection.selectedColumnIndex();
    if (count == 0 || current < 0 || current >= count)
        return;
    if (!m_selection.selectedItemIndex() && !navigableItems(visible[current]).isEmpty()) {
        m_selection.setSelectedItemIndex(0);
        return;
    }
    for (int step = 1; step < count; ++step) {
        const int candidate = ((current + direction * step) % count + count) % count;
        if (navigableItems(visible[candidate]).isEmpty())
            continue;
        m_selection.setSelectedColumnIndex(candidate);
        m_selection.setSelectedItemIndex(0);
        return;
    }
}

void PanelViewState::selectTabByDigit(int digit)
{
    if (!m_isInTabMode || digit < 1 || digit > 9 || digit - 1 >= m_cachedCategories.tabs.size())
        return;
    setSelectedTabIndex(digit - 1);
}
