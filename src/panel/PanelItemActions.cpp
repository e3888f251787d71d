#include "panel/PanelItemActions.h"

#include "common/Clock.h"
#include "common/Diagnostics.h"
#include "common/UserCharacters.h"
#include "items/CodeHighlighting.h"
#include "model/ModelContext.h"
#include "panel/CategoryTitles.h"
#include "panel/EmojiText.h"
#include "panel/PanelAnimations.h"
#include "panel/PanelCategories.h"
#include "panel/PanelCategoryLists.h"
#include "panel/PanelController.h"
#include "panel/PanelItems.h"
#include "panel/PanelPasteboard.h"
#include "panel/PanelSearch.h"
#include "panel/PanelShell.h"
#include "panel/PanelToast.h"
#include "panel/StoreMaintenance.h"

#include <algorithm>

using namespace std::chrono_literals;

namespace {

// A deleted row fades out before the store loses it.
constexpr auto deletionDelay = 350ms;
// The panel must be out of the way and the target window focused before the keystroke.
constexpr auto itemPasteDelay = 100ms;
constexpr auto textPasteDelay = 50ms;

} // namespace

PanelItemActions::PanelItemActions(Parts parts, QObject *parent)
    : QObject(parent)
    , m_parts(parts)
{ }

// -- Choosing and pasting

void PanelItemActions::chooseItem(const ClipboardItemPtr &item)
{
    if (!item)
        return;
    // Read once: Shift pressed after the choice changes nothing.
    const bool plainTextOnly = m_parts.pasteboard.queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
    const ClipboardItemType kind = item->type();
    if ((kind == ClipboardItemType::file || kind == ClipboardItemType::media) && item->fileURL()) {
        const int available = item->countAvailableFiles();
        const int total = 1 + item->additionalFileTotal();
        if (available == 0) {
            m_parts.animations.perform(
                PanelChange::storeDeletion, [&] { deleteItemWithMissingFiles(item, total); });
            return;
        }
        if (available < total)
            m_parts.toast.setMessage(
                QStringLiteral("%1 of %2 files were deleted").arg(total - available).arg(total));
    }
    getOutOfTheWay();
    // Nothing written (no text, files gone): nothing to paste either.
    if (m_parts.pasteboard.copyToPasteboard(item, plainTextOnly))
        schedulePaste(itemPasteDelay);
}

void PanelItemActions::insertText(const QString &text)
{
    m_parts.pasteboard.copyStringToPasteboard(text);
    // An emoji picker may have taken the focus; the paste belongs in the window the panel was
    // opened over, never in whichever other application happens to be running.
    if (containsEmoji(text))
        m_parts.shell.activatePreviousApplication();
    getOutOfTheWay();
    schedulePaste(textPasteDelay);
}

void PanelItemActions::getOutOfTheWay()
{
    if (m_parts.controller.isPinned())
        m_parts.shell.resignPanelKey();
    else
        m_parts.shell.hidePanel(true);
}

void PanelItemActions::schedulePaste(std::chrono::milliseconds delay)
{
    m_parts.clock.runAfter(delay, this, [this] { m_parts.pasteboard.simulatePaste(); });
}

// -- Deleting

void PanelItemActions::deleteItemAfterFade(const ClipboardItemPtr &item)
{
    if (!item)
        return;
    const QUuid id = item->id();
    m_parts.highlighting.invalidateHighlightCache(id);
    m_parts.clock.runAfter(deletionDelay, this, [this, id] { deleteItemWithId(id); });
    // Hidden at once; the row fades out meanwhile.
    m_parts.animations.perform(PanelChange::pendingDeletion, [&] {
        m_parts.items.hide(id);
        m_parts.items.refresh();
    });
}

void PanelItemActions::deleteItemWithId(const QUuid &id)
{
    const QList<ClipboardItemPtr> &items = m_parts.items.allItems();
    const auto found = std::find_if(
        items.begin(), items.end(), [&id](const ClipboardItemPtr &item) { return item->id() == id; });
    if (found == items.end())
        return;
    m_parts.context.remove(*found);
    // Saved now: a deletion left pending would bring the item back after a crash.
    saveAndCheckpoint();
}

void PanelItemActions::deleteReference(const ClipboardItemPtr &item)
{
    m_parts.items.hide(item->id());
    m_parts.context.remove(item);
    m_parts.items.dropShown(item->id());
}

void PanelItemActions::deleteItemWithMissingFiles(const ClipboardItemPtr &item, int fileCount)
{
    m_parts.context.remove(item);
    saveAndCheckpoint();
    m_parts.toast.setMessage(
        fileCount < 2 ? QStringLiteral("File was deleted") : QStringLiteral("Files were deleted"));
}

void PanelItemActions::clearColumn(const QString &title, const QList<ClipboardItemPtr> &items)
{
    m_parts.animations.perform(PanelChange::pendingDeletion, [&] {
        for (const ClipboardItemPtr &item : items) {
            if (item->isPinned() || item->isDeleted())
                continue;
            m_parts.highlighting.invalidateHighlightCache(item->id());
            m_parts.items.hide(item->id());
            m_parts.context.remove(item);
        }
        if (title == CategoryTitle::code)
            m_parts.highlighting.releaseHighlighter();
        saveAndCompact();
        m_parts.items.refresh();
    });
}

void PanelItemActions::setShowClearConfirmation(bool show)
{
    if (m_showClearConfirmation == show)
        return;
    m_showClearConfirmation = show;
    Q_EMIT showClearConfirmationChanged(show);
}

void PanelItemActions::clearHistoryConfirmed()
{
    m_parts.search.setText(QString());
    m_parts.highlighting.clearHighlightCache();
    m_parts.animations.perform(PanelChange::storeDeletion, [this] {
        for (const ClipboardItemPtr &item : m_parts.items.allItems()) {
            if (!item->isPinned())
                m_parts.context.remove(item);
        }
        saveAndCompact();
    });
}

// -- Pinning

void PanelItemActions::togglePin(const ClipboardItemPtr &item)
{
    if (item)
        m_parts.animations.perform(PanelChange::pinToggle, [this, &item] { flipPinAndSave(item); });
}

void PanelItemActions::flipPinAndSave(const ClipboardItemPtr &item)
{
    const bool wasPinned = item->isPinned();
    if (!wasPinned && item->pinnedReference()) {
        // A history entry standing for a pin: "pinning" it removes the duplicate.
        deleteReference(item);
        m_parts.items.refresh();
        saveAndCheckpoint();
        return;
    }
    if (!wasPinned) {
        if (const std::optional<QString> text = item->textContent()) {
            const QString trimmed = text->trimmed();
            // A pinned lone character becomes a small button of its own.
            if (UserCharacters::count(trimmed, 2) == 1) {
                item->setTextContent(trimmed);
                item->setPinnedLabel(std::nullopt);
                item->computeSearchableText();
            }
        }
    }
    flipPin(item, wasPinned);
    saveAndCheckpoint();
}

void PanelItemActions::reorderPins(const QList<ClipboardItemPtr> &pinsInNewOrder)
{
    for (const ClipboardItemPtr &pin : pinsInNewOrder) {
        // The store changed under the drag: an order of other pins would be the user's no more.
        if (!pin || !pin->isPinned() || pin->isDeleted())
            return;
    }
    const QList<QDateTime> times = reorderedPinTimestamps(pinsInNewOrder, QDateTime::currentDateTimeUtc());
    bool changed = false;
    for (qsizetype i = 0; i < pinsInNewOrder.size(); ++i) {
        if (pinsInNewOrder[i]->pinnedTimestamp() == times[i])
            continue;
        pinsInNewOrder[i]->setPinnedTimestamp(times[i]);
        changed = true;
    }
    if (!changed)
        return;
    m_parts.items.sortShown();
    saveAndCheckpoint();
}

void PanelItemActions::setLabel(const ClipboardItemPtr &item, const QString &label)
{
    if (!item || !item->isPinned() || item->isDeleted())
        return;
    const QString trimmed = label.trimmed();
    const std::optional<QString> value = trimmed.isEmpty() ? std::nullopt : std::optional(trimmed);
    if (item->pinnedLabel() == value)
        return;
    item->setPinnedLabel(value);
    item->computeSearchableText();
    saveAndCheckpoint();
    // A search running now finds the item by its new label.
    m_parts.items.refresh();
}

void PanelItemActions::flipPin(const ClipboardItemPtr &item, bool wasPinned)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    item->setIsPinned(!item->isPinned());
    bool referenceDeleted = false;
    if (!wasPinned) {
        item->setPinnedTimestamp(now);
        m_parts.lists.showPinnedGroup(categoryTitle(item->type()));
    } else {
        item->setPinnedTimestamp(std::nullopt);
        item->setPinnedLabel(std::nullopt);
        item->computeSearchableText();
        const QList<ClipboardItemPtr> references = item->referencingItems();
        if (!references.isEmpty()) {
            deleteReference(references.first());
            referenceDeleted = true;
        }
        item->setTimestamp(now); // first in History again
    }
    m_parts.items.sortShown();
    if (referenceDeleted)
        m_parts.items.refresh();
}

// -- Saving

void PanelItemActions::save()
{
    const ModelContext::SaveResult result = m_parts.context.save();
    if (!result.ok)
        printDiagnostic(QStringLiteral("[ClipboardPanelView] Save failed: ") + result.error);
}

void PanelItemActions::saveAndCheckpoint()
{
    save();
    m_parts.store.checkpointStore();
}

// Deleted content must leave the disk. The deletions are saved first: compacting unsaved
// deletions keeps them in the file, and a crash would bring the items back.
void PanelItemActions::saveAndCompact()
{
    save();
    m_parts.store.compactStore();
}
