#include "items/ItemContextMenu.h"

#include "enrichment/ColorFormatMenuItem.h"
#include "model/AppSettings.h"

#include <QMenu>

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
