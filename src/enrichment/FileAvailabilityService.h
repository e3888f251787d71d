#pragma once

#include "model/ClipboardItem.h"
#include "platform/FileEventStream.h"
#include "platform/FileExistence.h"
#include "platform/VolumeMonitor.h"

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// Answers, cheaply and many times a second while the panel is drawn, whether a file item's file
// is still there. The disk is asked, and the answers kept, by FileExistence, the same that the
// items' own file values ask: with its background checks on (as in the running app) nothing
// here waits for a disk, and a file not checked yet counts as there until the check says
// otherwise. The parent folders of the files asked about are watched: a burst of changes in
// them has FileExistence check once more each answer it may have made wrong (without background
// checks, forget them); a volume mounted or unmounted makes it forget the answers under that
// mount point only. Reading the mount table again (at every show of the panel) keeps the other
// answers: with background checks each is checked again off the main thread, and the panel
// hears only of those that turned out differently. When checks turn out differently from what
// was answered (once for a burst), and when the mounts changed, "volumesDidChange" is posted,
// so that the panel asks again. A file in a removable
// volume's folder whose volume is not mounted is missing without the disk being asked. Of an
// item's files as many are looked for as ClipboardItem::countAvailableFiles looks for; the
// others count as there. What is kept follows the history, not the number of copies: an item
// that leaves it takes its answer with it, and the disk's answers and the folder watches that
// no other item's answer needs.
//
// Asked on the main thread; the file events arrive on the stream's thread. A lock guards the
// sets; it is never held while the disk is asked.
class FileAvailabilityService final : public QObject
{
    Q_OBJECT
public:
    struct Dependencies
    {
        std::unique_ptr<FileEventStream> fileEvents;
        std::unique_ptr<VolumeMonitor> volumes;
        // Where the disk is asked and the answers kept; it is told to keep them until a change
        // is heard of. Without one the service has its own, asking at once through fileExists.
        FileExistence *files = nullptr;
        // Whether anything exists at a path (the disk is asked).
        std::function<bool(const QString &path)> fileExists;
    };

    explicit FileAvailabilityService(Dependencies dependencies, QObject *parent = nullptr);
    ~FileAvailabilityService() override;

    // The application's instance over inotify, the kernel's mount table and the shared
    // FileExistence, created on first use on the main thread.
    static FileAvailabilityService &shared();

    // The periodic and mount-driven refresh: rereadMountedVolumesUnannounced, then, where no
    // background checks look at kept answers again, forgets them all; posts "volumesDidChange"
    // when the mounts changed or answers were forgotten.
    void refreshMountedVolumes();
    // The show's reread, which tells nobody (the panel asks about its items again as it shows):
    // forgets only the answers at and under each mount point that came or went and keeps the
    // others (checked again in the background when checks run there); true when the mount
    // points changed.
    bool rereadMountedVolumesUnannounced();
    // True for items that are not file or media items, for items without a file or deleted,
    // and when the item's file, or else one of its further files, can be reached.
    bool isAvailable(const ClipboardItem &item);
    // Whether one path exists, cached (mounted volumes are not looked at).
    bool checkFile(const QString &path);
    // The items left the history: their answers go, and with them the disk's answers for their
    // files (those the panel asked about and those a paste counted) and the watches of their
    // folders, where no other item's answer still needs them.
    void forgetItems(const QList<ClipboardItemPtr> &items);

    // What the service knows now, for tests and diagnostics.
    QSet<QString> mountedVolumes() const;
    QSet<QString> watchedDirectories() const;
    qsizetype cachedAnswerCount() const;
    qsizetype itemAnswerCount() const { return m_itemAnswers.size(); }

private:
    // The answer for a file or media item with that file address; the paths asked about are
    // added to `asked`.
    bool answer(const ClipboardItem &item, const QString &address, QStringList &asked);
    bool checkFile(const QString &path, QStringList &asked);
    // An item answer names these paths from now on, or no longer; the disk's answers for paths
    // that no item answer names any more go, and so do the watches of folders none lies in.
    void holdPaths(const QStringList &paths);
    void releasePaths(const QStringList &paths);
    void discardUnheld(const QStringList &paths);
    // The path a file address is cached under, remembered per address.
    QString pathOf(const ClipboardItem &item, const QString &address);
    bool isOnUnmountedVolume(const QString &path) const;
    // The mount point the path is on (locks); empty when the mount table is not known.
    QString mountPointOf(const QString &path) const;
    // Watches the path's folder from now on, once it is known to exist.
    void watchFolderOf(const QString &path);
    void handleFileEvents(const FileEventStream::Events &events);
    void handleChangedAnswers();
    void scheduleStreamRestart();
    // Looks in the background for a file the item's bookmark names by its identity on disk
    // (renamed within its folder), once per invalidation; when one is found, the address stands
    // for its path from then on and "volumesDidChange" is posted.
    void findRenamedFile(const ClipboardItem &item, const QString &address);
    static constexpr std::chrono::milliseconds renameSearchLimit { 10'000 };
    void takeRenamedFile(const QString &address, const std::optional<QUrl> &found);

    std::unique_ptr<FileEventStream> m_fileEvents;
    std::unique_ptr<VolumeMonitor> m_volumes;
    std::unique_ptr<FileExistence> m_ownFiles;
    FileExistence *m_files = nullptr;
    QList<VolumeMonitor::VolumeRoot> m_volumeRoots;

    mutable QMutex m_lock;
    QSet<QString> m_mountedVolumes;
    QStringList m_mountPoints;
    QSet<QString> m_watchedDirectories;
    // Main thread: folders whose existence is being asked, before they are watched.
    QSet<QString> m_askedDirectories;
    // Moves on with every invalidation, so that answers remembered per item expire.
    std::atomic<quint64> m_generation = 0;

    // Main thread only. The path of each file address asked about, so that asking again costs
    // no address parsing; and the last answer per item with the generation it was given in,
    // so that the panel's many questions between two invalidations cost no string lookups.
    QHash<QString, QString> m_pathsByAddress;
    struct ItemAnswer
    {
        QString address;
        quint64 generation = 0;
        bool available = true;
        QStringList paths; // asked about for it
    };
    QHash<QUuid, ItemAnswer> m_itemAnswers;
    // Main thread only. How many item answers name each path, and each folder such paths are in.
    QHash<QString, int> m_pathHolders;
    QHash<QString, int> m_folderHolders;
    // Main thread only. The path found for an address whose file was renamed, and the
    // generation in which each address was last looked for.
    QHash<QString, QString> m_renamedPaths;
    QHash<QString, quint64> m_renameSearches;
};
