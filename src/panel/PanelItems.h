#pragma once

#include "model/ClipboardItem.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QUuid>

class Clock;
class LiveQuery;
class ModelContext;
class ItemAvailability;
class PanelAnimations;

// The items the panel can show: the live history, newest first, without items whose files
// cannot be reached and without deletions still on their way to the store. While the panel
// is pinned open, the mounted volumes are read again every ten seconds. Main thread only.
// The lists rebuilt because the deletions on their way changed move as such a change does.
class PanelItems final : public QObject
{
    Q_OBJECT

public:
    PanelItems(ModelContext &context, ItemAvailability &files, Clock &clock, PanelAnimations &animations,
        QObject *parent = nullptr);
    ~PanelItems() override;

    // Every stored item, newest first, as the live query last read it.
    const QList<ClipboardItemPtr> &allItems() const;
    // The showable items, newest first.
    const QList<ClipboardItemPtr> &shownItems() const { return m_shownItems; }
    const QSet<QUuid> &pendingDeletionIds() const { return m_pendingDeletionIds; }
    // Changes when an item is added or removed, or another item becomes the newest.
    QString itemsChangeKey() const;

    // Rebuilds the showable items, then fills their search texts a few at a time between
    // turns of the event loop.
    void refresh();
    // The same, unless nothing they are made from changed since the last rebuild: no item was
    // stored, changed or hidden, and every file and media item is as reachable, and reads the
    // same search text, as then. Otherwise it costs a look at the file items only.
    void refreshIfChanged();
    // Hidden from now on, until the item has left the store.
    void hide(const QUuid &id);
    // Out of the showable items at once, before the next refresh.
    void dropShown(const QUuid &id);
    // Newest first again after timestamps changed.
    void sortShown();
    // Changes each time the showable items are sorted again: the same items may then have other
    // times, pins among them another order.
    quint64 orderRevision() const { return m_orderRevision; }

    bool refreshesVolumes() const { return m_volumeRefreshRound != 0; }
    void setRefreshesVolumes(bool refreshes);

Q_SIGNALS:
    // The showable items were rebuilt or reordered.
    void shownItemsChanged();

private:
    void allItemsChanged();
    bool fileItemsAnswerAsBefore();
    void prewarmSlice(quint64 generation, qsizetype from);
    void scheduleVolumeRefresh(quint64 round);

    ItemAvailability &m_files;
    Clock &m_clock;
    PanelAnimations &m_animations;
    LiveQuery *m_allItems;
    QString m_lastItemsChangeKey;
    QList<ClipboardItemPtr> m_shownItems;
    QSet<QUuid> m_pendingDeletionIds;
    // Set by every change to the items or to what is hidden; cleared by a rebuild.
    bool m_itemsChanged = true;
    // The file and media items of the last rebuild, and whether each could be reached then.
    struct FileAnswer
    {
        ClipboardItemPtr item;
        bool available = true;
    };
    QList<FileAnswer> m_fileAnswers;
    // Bumped to cancel: a prewarm step that finds a newer number stops.
    quint64 m_prewarmGeneration = 0;
    quint64 m_orderRevision = 0;
    // Non-zero while volumes are refreshed; a refresh of an older round does nothing.
    quint64 m_volumeRefreshRound = 0;
    quint64 m_lastVolumeRefreshRound = 0;
};
