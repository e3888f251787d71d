#include "items/ItemContextMenu.h"

#include "enrichment/ColorFormatMenuItem.h"
#include "model/AppSettings.h"

#include <QKeyEvent>
#include <QMenu>

namespace {

// A menu that pops up on its own belongs to no window's shortcuts, so the shortcuts its
// entries show would do nothing while it is open: the menu answers them itself.
class MenuShortcuts final : public QObject
{
public:
    explicit MenuShortcuts(QMenu *menu)
        : QObject(menu)
        , m_menu(menu)
    {
        menu->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_menu || event->type() != QEvent::KeyPress)
            return false;
        const QKeySequence pressed(static_cast<QKeyEvent *>(event)->keyCombination());
        for (QAction *action : m_menu->actions()) {
            if (action->shortcut().isEmpty() || action->shortcut() != pressed || !action->isEnabled())
                continue;
            // Closed first, so that what the entry does (a paste) meets no open menu.
            m_menu->close();
            action->trigger();
            return true;
        }
        return false;
    }

private:
    QMenu *m_menu;
};

} // namespace

QList<ItemMenuEntry> itemMenuEntries(const ClipboardItem &item, const AppSettings &settings)
{
    QList<ItemMenuEntry> entries;
    entries.append({ ItemMenuEntry::Action::togglePin,
        item.isPinned() ? QStringLiteral("Unpin") : QStringLiteral("Pin") });
    // A single-character pin is a button of its character and carries no label.
    if (item.isPinned() && !item.isSingleCharacterPin())
        entries.append({ ItemMenuEntry::Action::editLabel,
            item.pinnedLabel().value_or(QString()).isEmpty() ? QStringLiteral("Add Label")
                                                             : QStringLiteral("Edit Label") });
    entries.append({ ItemMenuEntry::Action::remove, QStringLiteral("Delete") });
    const ClipboardItem &shown = item.resolvedItem();
    if (shown.type() != ClipboardItemType::color)
        return entries;
    const std::optional<QString> hex = shown.colorHex();
    if (!hex)
        return entries;
    bool first = true;
    for (const ColorFormatMenuItem &format :
        colorFormatMenuItems(*hex, settings.orderedColorFormats(), settings.disabledColorFormats())) {
        entries.append(
            { ItemMenuEntry::Action::pasteText, format.title, format.value, format.shortcut(), first });
        first = false;
    }
    // Also with every notation switched off: it is where they are switched on again.
    entries.append(
        { ItemMenuEntry::Action::customizeFormats, QStringLiteral("Customize Formats"), {}, {}, true });
    return entries;
}

ItemMenuEntry svgCodeMenuEntry(const QString &svgCode)
{
    return { ItemMenuEntry::Action::pasteText, QStringLiteral("Paste SVG code"), svgCode, {}, true };
}

QMenu *buildItemMenu(const QList<ItemMenuEntry> &entries, QWidget *parent,
    const std::function<void(const ItemMenuEntry &)> &chosen)
{
    auto *menu = new QMenu(parent);
    appendItemMenuEntries(menu, entries, chosen);
    // Entries added later are answered too: it looks the actions up when a key comes.
    new MenuShortcuts(menu);
    return menu;
}

void appendItemMenuEntries(QMenu *menu, const QList<ItemMenuEntry> &entries,
    const std::function<void(const ItemMenuEntry &)> &chosen)
{
    for (const ItemMenuEntry &entry : entries) {
        if (entry.separatorBefore)
            menu->addSeparator();
        QAction *action = menu->addAction(entry.title);
        action->setShortcut(entry.shortcut);
        QObject::connect(action, &QAction::triggered, menu, [entry, chosen] { chosen(entry); });
    }
}
