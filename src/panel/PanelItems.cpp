#include "panel/PanelItems.h"

#include "common/Clock.h"
#include "model/LiveQuery.h"
#include "model/ModelContext.h"
#include "panel/ItemAvailability.h"
#include "panel/PanelAnimations.h"
#include "panel/PanelCategories.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <numeric>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr auto volumeRefreshInterval = 10s;
// Search texts are filled this many items at a time between turns of the event loop.
constexpr qsizetype prewarmSliceSize = 5;

} // namespace

PanelItems::PanelItems(ModelContext &context, ItemAvailability &files, Clock &clock,
    PanelAnimations &animations, QObject *parent)
    : QObject(parent)
    , m_files(files)
    , m_clock(clock)
    , m_animations(animations)
{
    // Told before the live query reads again, so that a change its rebuild takes in is not
    // counted twice, and one it does not see (an item changed in place) is still counted.
    const auto itemsChanged = [this] { m_itemsChanged = true; };
    connect(&context, &ModelContext::objectsDidChange, this, itemsChanged);
    connect(&context, &ModelContext::itemDidChangeProperty, this, itemsChanged);
    m_allItems = new LiveQuery(&context, FetchDescriptor::newestFirst(), this);
    m_lastItemsChangeKey = itemsChangeKey();
    connect(m_allItems, &LiveQuery::resultsChanged, this, &PanelItems::allItemsChanged);
}

PanelItems::~PanelItems() = default;

const QList<ClipboardItemPtr> &PanelItems::allItems() const
{
    return m_allItems->results();
}

QString PanelItems::itemsChangeKey() const
{
    return ::itemsChangeKey(allItems());
}

void PanelItems::allItemsChanged()
{
    m_itemsChanged = true;
    const QString key = itemsChangeKey();
    if (key == m_lastItemsChangeKey)
        return;
    m_lastItemsChangeKey = key;
    // Items that have left the store need no hiding any more.
    QSet<QUuid> stored;
    for (const ClipboardItemPtr &item : allItems())
        stored.insert(item->id());
    const qsizetype pending = m_pendingDeletionIds.size();
    m_pendingDeletionIds.intersect(stored);
    if (m_pendingDeletionIds.size() != pending)
        m_animations.perform(PanelChange::pendingDeletion, [this] { refresh(); });
    else
        refresh();
}

void PanelItems::refresh()
{
    m_itemsChanged = false;
    m_fileAnswers.clear();
    QList<ClipboardItemPtr> kept;
    kept.reserve(allItems().size());
    for (const ClipboardItemPtr &item : allItems()) {
        // Deleted since the list was read (it is read again a moment later): nothing is asked
        // about it, which would be kept for an item that has gone.
        if (item->isDeleted())
            continue;
        const ClipboardItemType kind = item->type();
        const bool fileItem = kind == ClipboardItemType::file || kind == ClipboardItemType::media;
        // The search text counts the files that still exist; they may have changed.
        if (fileItem)
            item->computeSearchableText();
        const bool available = m_files.isFileAvailable(*item);
        if (fileItem)
            m_fileAnswers.append({ item, available });
        if (m_pendingDeletionIds.contains(item->id()) || !available)
            continue;
        kept.append(item);
    }
    m_shownItems = std::move(kept);
    sortShown();

    const quint64 generation = ++m_prewarmGeneration;
    QMetaObject::invokeMethod(
        this, [this, generation] { prewarmSlice(generation, 0); }, Qt::QueuedConnection);
}

void PanelItems::refreshIfChanged()
{
    if (m_itemsChanged || !fileItemsAnswerAsBefore())
        refresh();
}

// Asks about every file item (the answers may all have been forgotten) before saying.
bool PanelItems::fileItemsAnswerAsBefore()
{
    bool same = true;
    for (const FileAnswer &answer : std::as_const(m_fileAnswers)) {
        const ClipboardItem &item = *answer.item;
        // Only an item of several files names how many are left in its search text; any other
        // text changes only with the item, which counts as a change of the items already.
        const ClipboardItem &shown = item.resolvedItem();
        if (shown.type() == ClipboardItemType::file && shown.additionalFileTotal() > 0) {
            const QString before = item.hasSearchableTextCache() ? item.searchableText() : QString();
            if (item.computeSearchableText() != before)
                same = false;
        }
        if (m_files.isFileAvailable(item) != answer.available)
            same = false;
    }
    return same;
}

void PanelItems::hide(const QUuid &id)
{
    m_itemsChanged = true;
    m_pendingDeletionIds.insert(id);
}

void PanelItems::dropShown(const QUuid &id)
{
    m_itemsChanged = true;
    m_shownItems.removeIf([&id](const ClipboardItemPtr &item) { return item->id() == id; });
}

void PanelItems::sortShown()
{
    // Each time is read once: reading one is a lookup in the item's stored values, too slow to
    // repeat in every comparison over thousands of items. The list read from the store is in
    // order already, unless a time changed since.
    std::vector<qint64> times;
    times.reserve(std::size_t(m_shownItems.size()));
    for (const ClipboardItemPtr &item : std::as_const(m_shownItems)) {
        const QDateTime time = item->timestamp();
        times.push_back(time.isValid() ? time.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min());
    }
    if (!std::is_sorted(times.begin(), times.end(), std::greater<>())) {
        std::vector<qsizetype> order(times.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
            [&](qsizetype a, qsizetype b) { return times[std::size_t(a)] > times[std::size_t(b)]; });
        QList<ClipboardItemPtr> sorted;
        sorted.reserve(m_shownItems.size());
        for (const qsizetype index : order)
            sorted.append(std::move(m_shownItems[index]));
        m_shownItems = std::move(sorted);
    }
    ++m_orderRevision;
    Q_EMIT shownItemsChanged();
}

void PanelItems::prewarmSlice(quint64 generation, qsizetype from)
{
    if (generation != m_prewarmGeneration)
        return;
    const qsizetype end = std::min(m_shownItems.size(), from + prewarmSliceSize);
    for (qsizetype i = from; i < end; ++i) {
        const ClipboardItemPtr &item = m_shownItems[i];
        if (!item->hasSearchableTextCache())
            item->computeSearchableText();
    }
    if (end < m_shownItems.size())
        QMetaObject::invokeMethod(
            this, [this, generation, end] { prewarmSlice(generation, end); }, Qt::QueuedConnection);
}

void PanelItems::setRefreshesVolumes(bool refreshes)
{
    if (refreshesVolumes() == refreshes)
        return;
    m_volumeRefreshRound = refreshes ? ++m_lastVolumeRefreshRound : 0;
    if (refreshes)
        scheduleVolumeRefresh(m_volumeRefreshRound);
}

void PanelItems::scheduleVolumeRefresh(quint64 round)
{
    m_clock.runAfter(volumeRefreshInterval, this, [this, round] {
        if (round != m_volumeRefreshRound)
            return;
        m_files.refreshMountedVolumes();
        scheduleVolumeRefresh(round);
    });
}
