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
QString pathOfURL(const QUrl &url)
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
    // Nothing is cached yet, so nobody needs telling; and a listener told from here would ask
    // the shared instance for itself while it is still being made.
    reloadMountedVolumes();
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
    reloadMountedVolumes();
    NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
}

void FileAvailabilityService::reloadMountedVolumes()
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
        m_knownFiles.clear();
        ++m_generation;
    }
    // Bounded by the files of one history between two refreshes.
    m_pathsByAddress.clear();
    m_itemAnswers.removeIf([](const auto &entry) { return entry.value().item.expired(); });
}

bool FileAvailabilityService::isAvailable(const ClipboardItem &item)
{
    const ClipboardItemType kind = item.type();
    if (kind != ClipboardItemType::file && kind != ClipboardItemType::media)
        return true;
    const std::optional<QString> address = item.resolvedFileURLString();
    if (!address)
        return true;

    const quint64 generation = m_generation.load(std::memory_order_acquire);
    const std::weak_ptr<const ClipboardItem> self = item.weak_from_this();
    ItemAnswer &remembered = m_itemAnswers[&item];
    const bool sameItem
        = !self.expired() && !remembered.item.owner_before(self) && !self.owner_before(remembered.item);
    if (sameItem && remembered.generation == generation && remembered.address == *address)
        return remembered.available;
    const bool available = answer(item, *address);
    remembered = ItemAnswer { self, *address, generation, available };
    return available;
}

bool FileAvailabilityService::answer(const ClipboardItem &item, const QString &address)
{
    const QString path = pathOf(item, address);
    if (path.isNull())
        return true;
    std::optional<bool> first;
    {
        QMutexLocker locker(&m_lock);
        switch (cachedAnswer(path)) {
        case Answer::available:
            return true;
        case Answer::unavailable:
            first = false;
            break;
        case Answer::unknown:
            if (isOnUnmountedVolume(path)) {
                m_knownFiles.insert(path, false);
                first = false;
            }
            break;
        }
    }
    if (!first && testOnDisk(path))
        return true;
    // The first file is gone: any of the others will do, however the first one's absence is
    // known (a cached answer must not give another result than the disk did).
    if (const std::optional<QStringList> further = item.additionalFileURLStrings()) {
        for (const QString &string : *further) {
            const QUrl other(string, QUrl::StrictMode);
            if (other.isValid() && !other.isEmpty() && checkFile(pathOfURL(other)))
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
    const auto known = m_knownFiles.constFind(path);
    if (known == m_knownFiles.constEnd())
        return Answer::unknown;
    return *known ? Answer::available : Answer::unavailable;
}

QString FileAvailabilityService::pathOf(const ClipboardItem &item, const QString &address)
{
    auto known = m_pathsByAddress.constFind(address);
    if (known == m_pathsByAddress.constEnd()) {
        const std::optional<QUrl> url = item.fileURL();
        known = m_pathsByAddress.insert(address, url ? pathOfURL(*url) : QString());
    }
    return *known;
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
        generation = m_generation.load();
        if (!parent.isEmpty() && !m_watchedDirectories.contains(parent) && m_fileExists(parent)) {
            m_watchedDirectories.insert(parent);
            addedDirectory = true;
        }
    }
    const bool exists = m_fileExists(path);
    {
        QMutexLocker locker(&m_lock);
        // An event or a refresh since the disk was asked may have made this answer wrong.
        if (generation == m_generation.load())
            m_knownFiles.insert(path, exists);
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
            if (m_knownFiles.remove(path)) {
                changed = true;
                continue;
            }
            const QString prefix = path == QLatin1String("/") ? path : path + QLatin1Char('/');
            changed |= m_knownFiles.removeIf([&](const auto &cached) {
                return cached.key().startsWith(prefix);
            }) > 0;
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
    return m_knownFiles.size();
}
