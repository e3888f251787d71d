#pragma once

#include "model/ClipboardItem.h"
#include "platform/FileEventStream.h"
#include "platform/VolumeMonitor.h"

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

// Answers, cheaply and many times a second while the panel is drawn, whether a file item's file
// is still there. Every answer is cached per path; the parent folders of the files asked about
// are watched, and a change in one of them, a volume mounted or unmounted, or a refresh forgets
// the cached answers it may have made wrong and posts "volumesDidChange", so that the panel asks
// again. A file in a removable volume's folder whose volume is not mounted is missing without
// the disk being asked.
//
// Asked on the main thread; the file events arrive on the stream's thread. A lock guards the
// sets; it is never held across the test of an item's own path.
class FileAvailabilityService final : public QObject
{
    Q_OBJECT
public:
    struct Dependencies
    {
        std::unique_ptr<FileEventStream> fileEvents;
        std::unique_ptr<VolumeMonitor> volumes;
        // Whether anything exists at a path (the disk is asked).
        std::function<bool(const QString &path)> fileExists;
    };

    explicit FileAvailabilityService(Dependencies dependencies, QObject *parent = nullptr);
    ~FileAvailabilityService() override;

    // The application's instance over inotify and the kernel's mount table, created on first use
    // on the main thread.
    static FileAvailabilityService &shared();

    // Forgets every cached answer, reads the mounted volumes again and posts "volumesDidChange".
    void refreshMountedVolumes();
    // True for items that are not file or media items, for items without a file, and when the
    // item's file, or else one of its further files, can be reached.
    bool isAvailable(const ClipboardItem &item);
    // Whether one path exists, cached (mounted volumes are not looked at).
    bool checkFile(const QString &path);

    // What the service knows now, for tests and diagnostics.
    QSet<QString> mountedVolumes() const;
    QSet<QString> watchedDirectories() const;
    qsizetype cachedAnswerCount() const;

private:
    enum class Answer { unknown, available, unavailable };
    // Under the lock.
    Answer cachedAnswer(const QString &path) const;
    // The answer for a file or media item with that file address, from the caches or the disk.
    bool answer(const ClipboardItem &item, const QString &address);
    // The path a file address is cached under, remembered per address.
    QString pathOf(const ClipboardItem &item, const QString &address);
    bool isOnUnmountedVolume(const QString &path) const;
    // Asks the disk, watching the path's folder from now on; stores the answer unless the
    // cache was invalidated meanwhile.
    bool testOnDisk(const QString &path);
    void handleFileEvents(const FileEventStream::Events &events);
    void scheduleStreamRestart();
    // Forgets every cached answer and reads the mounted volumes again, telling nobody.
    void reloadMountedVolumes();

    std::unique_ptr<FileEventStream> m_fileEvents;
    std::unique_ptr<VolumeMonitor> m_volumes;
    std::function<bool(const QString &)> m_fileExists;
    QList<VolumeMonitor::VolumeRoot> m_volumeRoots;

    mutable QMutex m_lock;
    QSet<QString> m_mountedVolumes;
    // The paths known to exist (true) and known to be missing (false): one lookup answers.
    QHash<QString, bool> m_knownFiles;
    QSet<QString> m_watchedDirectories;
    // Moves on with every invalidation (written under the lock), so that an answer the disk gave
    // before an invalidation is not stored after it, and answers remembered per item expire.
    std::atomic<quint64> m_generation = 0;

    // Main thread only. The path of each file address asked about, so that asking again costs
    // no address parsing; and the last answer per item with the generation it was given in,
    // so that the panel's many questions between two invalidations cost no string lookups.
    QHash<QString, QString> m_pathsByAddress;
    struct ItemAnswer
    {
        std::weak_ptr<const ClipboardItem> item; // keeps the address from being reused
        QString address;
        quint64 generation = 0;
        bool available = true;
    };
    QHash<const ClipboardItem *, ItemAnswer> m_itemAnswers;
};
