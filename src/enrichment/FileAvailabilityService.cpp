#include "enrichment/FileAvailabilityService.h"

#include "common/NotificationCenter.h"
#include "platform/InotifyFileEventStream.h"
#include "platform/MountInfoVolumeMonitor.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

namespace {

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

// The path a cached answer is kept under.
QString pathOf(const QUrl &url)
{
    return withoutTrailingSlash(url.isLocalFile() ? url.toLocalFile() : url.path());
}

QString parentPath(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

FileAvailabilityService::FileAvailabilityService(Dependencies dependencies, QObject *parent)
    : QObject(parent)
    , m_fileEvents(std::move(dependencies.fileEvents))
    , m_volumes(std::move(dependencies.volumes))
    , m_fileExists(std::move(dependencies.fileExists))
{
    if (!m_fileExists)
        m_fileExists = [](const QString &path) { return QFileInfo::exists(path); };
    if (m_fileEvents)
        m_fileEvents->setHandler([this](const FileEventStream::Events &events) { handleFileEvents(events); });
    if (m_volumes) {
        m_volumeRoots = m_volumes->volumeRoots();
        connect(m_volumes.get(), &VolumeMonitor::mountsChanged, this,
            &FileAvailabilityService::refreshMountedVolumes);
    }
    refreshMountedVolumes();
}

FileAvailabilityService::~FileAvailabilityService()
{
    // The stream's thread ends here, before the sets its handler touches.
    m_fileEvents.reset();
}

FileAvailabilityService &FileAvailabilityService::shared()
{
    // Lives as long as the application object.
    static QPointer<FileAvailabilityService> instance;
    if (!instance) {
        Dependencies dependencies;
        dependencies.fileEvents = std::make_unique<InotifyFileEventStream>();
        dependencies.volumes = std::make_unique<MountInfoVolumeMonitor>();
        instance = new FileAvailabilityService(std::move(dependencies), QCoreApplication::instance());
    }
    return *instance;
}

void FileAvailabilityService::refreshMountedVolumes()
{
    QSet<QString> volumes;
    if (const std::optional<QStringList> points = m_volumes ? m_volumes->mountPoints() : std::nullopt) {
        for (const QString &point : *points) {
            const QString parent = parentPath(point);
            for (const VolumeMonitor::VolumeRoot &root : std::as_const(m_volumeRoots)) {
                if (parent == root.path)
                    volumes.insert(point);
            }
        }
    }
    {
        QMutexLocker locker(&m_lock);
        m_mountedVolumes = std::move(volumes);
        m_unavailableFiles.clear();
        m_availableFiles.clear();
        ++m_generation;
    }
    NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
}

bool FileAvailabilityService::isAvailable(const ClipboardItem &item)
{
    const ClipboardItemType kind = item.type();
    if (kind != ClipboardItemType::file && kind != ClipboardItemType::media)
        return true;
    const std::optional<QUrl> url = item.fileURL();
    if (!url)
        return true;
    const QString path = pathOf(*url);
    {
        QMutexLocker locker(&m_lock);
        switch (cachedAnswer(path)) {
        case Answer::available:
            return true;
        case Answer::unavailable:
            return false;
        case Answer::unknown:
            break;
        }
        if (isOnUnmountedVolume(path)) {
            m_unavailableFiles.insert(path);
            return false;
        }
    }
    if (testOnDisk(path))
        return true;
    // The first file is gone: any of the others will do.
    if (const std::optional<QStringList> further = item.additionalFileURLStrings()) {
        for (const QString &string : *further) {
            const QUrl other(string, QUrl::StrictMode);
            if (other.isValid() && !other.isEmpty() && checkFile(pathOf(other)))
                return true;
        }
    }
    return false;
}

bool FileAvailabilityService::checkFile(const QString &path)
{
    {
        QMutexLocker locker(&m_lock);
        if (const Answer answer = cachedAnswer(path); answer != Answer::unknown)
            return answer == Answer::available;
    }
    return testOnDisk(path);
}

FileAvailabilityService::Answer FileAvailabilityService::cachedAnswer(const QString &path) const
{
    if (m_unavailableFiles.contains(path))
        return Answer::unavailable;
    if (m_availableFiles.contains(path))
        return Answer::available;
    return Answer::unknown;
}

bool FileAvailabilityService::isOnUnmountedVolume(const QString &path) const
{
    for (const VolumeMonitor::VolumeRoot &root : m_volumeRoots) {
        if (!root.holdsOnlyMountPoints || path.size() <= root.path.size() + 1 || !path.startsWith(root.path)
            || path[root.path.size()] != QLatin1Char('/'))
            continue;
        const qsizetype nameEnd = path.indexOf(QLatin1Char('/'), root.path.size() + 1);
        return !m_mountedVolumes.contains(nameEnd < 0 ? path : path.left(nameEnd));
    }
    return false;
}

bool FileAvailabilityService::testOnDisk(const QString &path)
{
    const QString parent = parentPath(path);
    bool addedDirectory = false;
    quint64 generation = 0;
    {
        QMutexLocker locker(&m_lock);
        generation = m_generation;
        if (!parent.isEmpty() && !m_watchedDirectories.contains(parent) && m_fileExists(parent)) {
            m_watchedDirectories.insert(parent);
            addedDirectory = true;
        }
    }
    const bool exists = m_fileExists(path);
    {
        QMutexLocker locker(&m_lock);
        // An event or a refresh since the disk was asked may have made this answer wrong.
        if (generation == m_generation) {
            (exists ? m_unavailableFiles : m_availableFiles).remove(path);
            (exists ? m_availableFiles : m_unavailableFiles).insert(path);
        }
    }
    if (addedDirectory)
        scheduleStreamRestart();
    return exists;
}

void FileAvailabilityService::scheduleStreamRestart()
{
    if (!m_fileEvents)
        return;
    QStringList directories;
    {
        QMutexLocker locker(&m_lock);
        directories = QStringList(m_watchedDirectories.cbegin(), m_watchedDirectories.cend());
    }
    m_fileEvents->watchDirectories(directories);
}

void FileAvailabilityService::handleFileEvents(const FileEventStream::Events &events)
{
    bool changed = false;
    {
        QMutexLocker locker(&m_lock);
        ++m_generation;
        // Asked about again once they exist, they are watched again.
        for (const QString &directory : events.droppedDirectories)
            m_watchedDirectories.remove(directory);
        for (const QString &eventPath : events.paths) {
            const QString path = withoutTrailingSlash(eventPath);
            const bool exact = m_availableFiles.remove(path) | m_unavailableFiles.remove(path);
            if (exact) {
                changed = true;
                continue;
            }
            const QString prefix = path == QLatin1String("/") ? path : path + QLatin1Char('/');
            for (QSet<QString> *set : { &m_availableFiles, &m_unavailableFiles }) {
                changed
                    |= set->removeIf([&](const QString &cached) { return cached.startsWith(prefix); }) > 0;
            }
        }
    }
    // Posted from this thread, the notification reaches its observers later, on the main thread.
    if (changed)
        NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
}

QSet<QString> FileAvailabilityService::mountedVolumes() const
{
    QMutexLocker locker(&m_lock);
    return m_mountedVolumes;
}

QSet<QString> FileAvailabilityService::watchedDirectories() const
{
    QMutexLocker locker(&m_lock);
    return m_watchedDirectories;
}

qsizetype FileAvailabilityService::cachedAnswerCount() const
{
    QMutexLocker locker(&m_lock);
    return m_availableFiles.size() + m_unavailableFiles.size();
}
