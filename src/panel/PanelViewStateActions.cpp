// What the panel does to the store and the clipboard: choosing and pasting, deleting, pinning,
// clearing; and the History column toggle.
#include "panel/PanelViewState.h"

#include "common/Diagnostics.h"
#include "common/NotificationCenter.h"
#include "common/UserCharacters.h"
#include "model/ModelContext.h"
#include "panel/CategoryTitles.h"
#include "panel/EmojiText.h"
#include "panel/PanelController.h"
#include "panel/PanelEnvironment.h"

#include <algorithm>

using namespace std::chrono_literals;

namespace {

// A deleted row fades out before the store loses it.
constexpr auto deletionDelay = 350ms;
// The panel must be out of the way and the target window focused before the keystroke.
constexpr auto itemPasteDelay = 100ms;
constexpr auto textPasteDelay = 50ms;
constexpr auto historyToggleDebounce = 500ms;

const QString historyToggleStarted = QStringLiteral("HistoryToggleStarted");

} // namespace

// -- Choosing and pasting

void PanelViewState::chooseItem(const ClipboardItemPtr &item)
{
    if (!item)
        return;
    // Read once: Shift pressed after the choice changes nothing.
    const bool plainTextOnly = m_environment.queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
    const ClipboardItemType kind = item->type();
    if ((kind == ClipboardItemType::file || kind == ClipboardItemType::media) && item->fileURL()) {
        const int available = item->countAvailableFiles();
        const int total = 1 + int(item->additionalFileURLStrings().value_or(QStringList()).size());
        if (available == 0) {
            deleteItemWithMissingFiles(item, total);
            return;
        }
        if (available < total)
            setToastMessage(QStringLiteral("%1 of %2 files were deleted").arg(total - available).arg(total));
    }
    getOutOfTheWay();
    // Nothing written (no text, files gone): nothing to paste either.
    if (m_environment.copyToPasteboard(item, plainTextOnly))
        schedulePaste(itemPasteDelay);
}

void PanelViewState::insertEmoji(const QString &text)
{
    m_environment.copyStringToPasteboard(text);
    // An emoji picker may have taken the focus; the paste belongs in the window the panel was
    // opened over, never in whichever other application happens to be running.
    if (containsEmoji(text))
        m_environment.activatePreviousApplication();
    getOutOfTheWay();
    schedulePaste(textPasteDelay);
}

void PanelViewState::getOutOfTheWay()
{
    if (m_isPinned)
        m_environment.resignPanelKey();
    else
        m_environment.hidePanel(true);
}

void PanelViewState::schedulePaste(std::chrono::milliseconds delay)
{
    QTimer::singleShot(delay, this, [this] { m_environment.simulatePaste(); });
}

// -- Deleting

void PanelViewState::addPendingDeletion(const QUuid &id)
{
    m_pendingDeletionIds.insert(id);
}

void PanelViewState::handleItemDeleted(const ClipboardItemPtr &item)
{
    if (!item)
        return;
    const QUuid id = item->id();
    addPendingDeletion(id);
    m_environment.invalidateHighlightCache(id);
    QTimer::singleShot(deletionDelay, this, [this, id] { deleteItemWithId(id); });
    refreshItems(); // hidden at once
}

void PanelViewState::deleteItemWithId(const QUuid &id)
{
    const QList<ClipboardItemPtr> &items = allItems();
    const auto found = std::find_if(
        items.begin(), items.end(), [&id](const ClipboardItemPtr &item) { return item->id() == id; });
    if (found == items.end())
        return;
    m_context.remove(*found);
    // Saved now: a deletion left pending would bring the item back after a crash.
    saveAndCheckpoint();
}

void PanelViewState::deleteItem(const ClipboardItemPtr &item)
{
    addPendingDeletion(item->id());
    m_context.remove(item);
    m_cachedFilteredItems.removeIf(
        [&item](const ClipboardItemPtr &other) { return other->id() == item->id(); });
    refreshItems();
}

void PanelViewState::deleteItemWithMissingFiles(const ClipboardItemPtr &item, int fileCount)
{
    m_context.remove(item);
    saveAndCheckpoint();
    setToastMessage(
        fileCount < 2 ? QStringLiteral("File was deleted") : QStringLiteral("Files were deleted"));
}

void PanelViewState::deleteUnpinnedItems()
{
    for (const ClipboardItemPtr &item : allItems()) {
        if (!item->isPinned())
            m_context.remove(item);
    }
}

void PanelViewState::clearColumn(const QString &title, const QList<ClipboardItemPtr> &items)
{
    for (const ClipboardItemPtr &item : items) {
        if (item->isPinned() || item->isDeleted())
            continue;
        m_environment.invalidateHighlightCache(item->id());
        addPendingDeletion(item->id());
        m_context.remove(item);
    }
    if (title == CategoryTitle::code)
        m_environment.releaseHighlighter();
    saveAndCompact();
    refreshItems();
}

void PanelViewState::clearHistoryConfirmed()
{
    setSearchText(QString());
    m_environment.clearHighlightCache();
    deleteUnpinnedItems();
    saveAndCompact();
}

// -- Pinning

void PanelViewState::handlePinToggle(const ClipboardItemPtr &item)
{
    if (!item)
        return;
    const bool wasPinned = item->isPinned();
    if (!wasPinned && item->pinnedReference()) {
        // A history entry standing for a pin: "pinning" it removes the duplicate.
        deleteItem(item);
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
    togglePin(item, wasPinned);
    saveAndCheckpoint();
}

void PanelViewState::togglePin(const ClipboardItemPtr &item, bool wasPinned)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    item->setIsPinned(!item->isPinned());
    bool referenceDeleted = false;
    if (!wasPinned) {
        item->setPinnedTimestamp(now);
        m_pinnedExpandedCategories.insert(categoryTitle(item->type()));
        Q_EMIT columnsChanged();
    } else {
        item->setPinnedTimestamp(std::nullopt);
        item->setPinnedLabel(std::nullopt);
        item->computeSearchableText();
        const QList<ClipboardItemPtr> references = item->referencingItems();
        if (!references.isEmpty()) {
            const ClipboardItemPtr reference = references.first();
            addPendingDeletion(reference->id());
            m_context.remove(reference);
            m_cachedFilteredItems.removeIf(
                [&reference](const ClipboardItemPtr &other) { return other->id() == reference->id(); });
            referenceDeleted = true;
        }
        item->setTimestamp(now); // first in History again
    }
    std::stable_sort(m_cachedFilteredItems.begin(), m_cachedFilteredItems.end(),
        [](const ClipboardItemPtr &a, const ClipboardItemPtr &b) { return isNewerByTimestamp(*a, *b); });
    setCachedCategories(computeCategories());
    if (referenceDeleted)
        refreshItems();
}

// -- Saving

void PanelViewState::saveContext()
{
    const ModelContext::SaveResult result = m_context.save();
    if (!result.ok)
        printDiagnostic(QStringLiteral("[ClipboardPanelView] Save failed: ") + result.error);
}

void PanelViewState::saveAndCheckpoint()
{
    saveContext();
    m_environment.checkpointStore();
}

// Deleted content must leave the disk. The deletions are saved first: compacting unsaved
// deletions keeps them in the file, and a crash would bring the items back.
void PanelViewState::saveAndCompact()
{
    saveContext();
    m_environment.compactStore();
}

// -- History toggle

void PanelViewState::toggleHistory()
{
    if (m_isInTabMode)
        return;
    const Clock::time_point now = Clock::now();
    if (m_lastHistoryToggleTime && now - *m_lastHistoryToggleTime <= historyToggleDebounce)
        return;
    if (m_isHistoryToggling)
        return;
    if (m_environment.hasPanelWindow() && m_environment.isAnimatingHistory())
        return;
    m_lastHistoryToggleTime = now;
    const qsizetype visibleCount = m_cachedCategories.visible.size();
    if (m_environment.hasPanelWindow() && visibleCount > 0) {
        const double perColumn = m_environment.panelFrame().width() / double(visibleCount);
        if (std::abs(perColumn - m_currentColumnWidth) > 1.0)
            setCurrentColumnWidth(perColumn);
    }
    m_isHistoryToggling = true;
    Q_EMIT historyToggleChanged();
    NotificationCenter::defaultCenter().post(historyToggleStarted);
    QTimer::singleShot(50ms, this, &PanelViewState::toggleHistoryAnimated);
}

void PanelViewState::setSearchBarOpacity(double opacity)
{
    if (m_searchBarOpacity == opacity)
        return;
    m_searchBarOpacity = opacity;
    Q_EMIT historyToggleChanged();
}

void PanelViewState::setHistoryCollapsedKeepingSelection(bool collapsed)
{
    const CategoryList &before = m_cachedCategories.visible;
    const int column = m_selection.selectedColumnIndex();
    const std::optional<QString> title
        = column >= 0 && column < before.size() ? std::optional(before[column].title) : std::nullopt;
    m_isHistoryCollapsed = collapsed;
    CachedCategories categories = m_cachedCategories;
    categories.visible = visibleCategories(categories.display, collapsed);
    if (title) {
        for (qsizetype i = 0; i < categories.visible.size(); ++i) {
            if (categories.visible[i].title == *title)
                m_selection.setSelectedColumnIndex(int(i));
        }
    }
    setCachedCategories(std::move(categories));
    Q_EMIT isHistoryCollapsedChanged(collapsed);
    Q_EMIT columnsChanged();
}

void PanelViewState::toggleHistoryAnimated()
{
    setSearchBarOpacity(0.0);
    const CategoryList &visible = m_cachedCategories.visible;
    const int count = int(visible.size());
    const bool locked = m_controller && m_controller->isLockedInTabMode();
    const bool hasWindow = m_environment.hasPanelWindow();
    QPointer<PanelViewState> self(this);

    if (!m_isHistoryCollapsed) {
        const int columns = std::max(count, 2);
        m_animatingToggleCategory.reset();
        for (const Category &category : visible) {
            if (category.title != CategoryTitle::history) {
                m_animatingToggleCategory = category.title;
                break;
            }
        }
        m_isCollapsingHistory = true;
        m_toggleAnimProgress = 1.0;
        if (!locked) {
            if (m_controller)
                m_controller->setIsHistoryToggling(true);
            if (hasWindow) {
                const double width = m_environment.panelFrame().width();
                m_environment.setHostingWidth(width);
                const double target = std::max({ PanelLayout::minimumPanelWidth,
                    (columns - 1) * PanelLayout::columnWidth, width * (columns - 1) / columns });
                m_headerWidthMultiplier = width > 0 ? target / width : 1.0;
            }
            Q_EMIT historyToggleChanged();
            auto completion = [self] {
                if (self)
                    self->finishHistoryHide();
            };
            // Without a window there is nothing to resize and the toggle ends at once.
            if (hasWindow)
                m_environment.resizeForHistoryToggle(false, columns - 1, 0.2, completion);
            else
                completion();
        } else {
            if (hasWindow)
                m_environment.unpinHostingWidth();
            setHistoryCollapsedKeepingSelection(true);
            m_animatingToggleCategory.reset();
            m_isCollapsingHistory = false;
            m_isHistoryToggling = false;
            Q_EMIT historyToggleChanged();
            QTimer::singleShot(200ms, this, [this] { setSearchBarOpacity(1.0); });
        }
        return;
    }

    m_animatingToggleCategory = visible.isEmpty() ? std::nullopt : std::optional(visible.first().title);
    m_toggleAnimProgress = 0.0;
    if (!locked) {
        if (m_controller)
            m_controller->setIsHistoryToggling(true);
        const int columns = count + 1;
        if (hasWindow) {
            const double width = m_environment.panelFrame().width();
            const double screenWidth = m_environment.screenVisibleFrame().width();
            const int divisor = count >= 2 ? count : 1;
            const double target = std::min(
                screenWidth, std::max(columns * PanelLayout::columnWidth, width * columns / divisor));
            m_environment.setHostingWidth(target);
            m_headerWidthMultiplier = 1.0;
        }
        setHistoryCollapsedKeepingSelection(false);
        Q_EMIT historyToggleChanged();
        auto completion = [self] {
            if (self)
                self->finishHistoryShow();
        };
        if (hasWindow)
            m_environment.resizeForHistoryToggle(true, columns, 0.2, completion);
        else
            completion();
    } else {
        setHistoryCollapsedKeepingSelection(false);
        m_animatingToggleCategory.reset();
        m_isHistoryToggling = false;
        Q_EMIT historyToggleChanged();
        QTimer::singleShot(200ms, this, [this] { setSearchBarOpacity(1.0); });
    }
}

void PanelViewState::finishHistoryHide()
{
    if (m_environment.hasPanelWindow())
        m_environment.unpinHostingWidth();
    setHistoryCollapsedKeepingSelection(true);
    m_animatingToggleCategory.reset();
    m_headerWidthMultiplier.reset();
    m_isCollapsingHistory = false;
    if (m_controller)
        m_controller->setIsHistoryToggling(false);
    setSearchBarOpacity(1.0);
    QTimer::singleShot(50ms, this, [this] {
        m_isHistoryToggling = false;
        Q_EMIT historyToggleChanged();
    });
}

void PanelViewState::finishHistoryShow()
{
    if (m_environment.hasPanelWindow())
        m_environment.unpinHostingWidth();
    m_animatingToggleCategory.reset();
    m_headerWidthMultiplier.reset();
    setSearchBarOpacity(1.0);
    QTimer::singleShot(50ms, this, [this] {
        if (m_controller)
            m_controller->setIsHistoryToggling(false);
        m_isHistoryToggling = false;
        Q_EMIT historyToggleChanged();
    });
}
