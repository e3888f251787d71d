#include "enrichment/FileAvailabilityService.h"

#include "common/NotificationCenter.h"
#include "common/ThenWhileAlive.h"
#include "platform/FileBookmark.h"
#include "platform/FilePaths.h"
#include "platform/InotifyFileEventStream.h"
#include "platform/MountInfoVolumeMonitor.h"
#include "platform/UserFiles.h"

#include <QCoreApplication>
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
    return withoutTrailingSlash(FilePaths::ofUrl(url));
}

// The paths ClipboardItem::countAvailableFiles asks about, as it writes them and as the answers
// of this service are kept.
QStringList filePathsOf(const ClipboardItem &item)
{
    QList<QUrl> urls;
    if (const std::optional<QUrl> first = item.fileURL())
        urls.append(*first);
    const QStringList further = item.additionalFileURLStrings().value_or(QStringList());
    for (qsizetype i = 0; i < further.size() && urls.size() < ClipboardItem::maxCheckedFiles; ++i)
        urls.append(QUrl(further[i], QUrl::StrictMode));
    QStringList paths;
    for (const QUrl &url : std::as_const(urls)) {
        if (!url.isValid() || url.isEmpty())
            continue;
        const QString path = FilePaths::ofUrl(url);
        paths.append(path);
        if (const QString kept = withoutTrailingSlash(path); kept != path)
            paths.append(kept);
    }
    return paths;
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
    , m_files(dependencies.files)
{
    if (!m_files) {
        m_ownFiles = std::make_unique<FileExistence>();
        if (dependencies.fileExists)
            m_ownFiles->setProbe(std::move(dependencies.fileExists));
        m_files = m_ownFiles.get();
    }
    // The watch below tells it when an answer may have gone wrong.
    m_files->setKeepsAnswers(true);
    // A mount that hangs holds up the checks of its own files only.
    m_files->setLaneOf([this](const QString &path) { return mountPointOf(path); });
    connect(m_files, &FileExistence::answersChanged, this, &FileAvailabilityService::handleChangedAnswers);
    if (m_fileEvents)
        m_fileEvents->setHandler([this](const FileEventStream::Events &events) { handleFileEvents(events); });
    if (m_volumes) {
        m_volumeRoots = m_volumes->volumeRoots();
        connect(m_volumes.get(), &VolumeMonitor::mountsChanged, this, [this] {
            if (rereadMountedVolumesUnannounced())
                NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
        });
    }
    // Nothing is cached yet, so nobody needs telling; and a listener told from here would ask
    // the shared instance for itself while it is still being made.
    rereadMountedVolumesUnannounced();
}

FileAvailabilityService::~FileAvailabilityService()
{
    // The stream's thread ends here, before the sets its handler touches.
    m_fileEvents.reset();
    // Nobody watches for it any more.
    if (!m_ownFiles) {
        m_files->setLaneOf({});
        m_files->setKeepsAnswers(false);
        m_files->forgetAll();
    }
}

FileAvailabilityService &FileAvailabilityService::shared()
{
    // Lives as long as the application object.
    static QPointer<FileAvailabilityService> instance;
    if (!instance) {
        Dependencies dependencies;
        dependencies.fileEvents = std::make_unique<InotifyFileEventStream>();
        dependencies.volumes = std::make_unique<MountInfoVolumeMonitor>();
        dependencies.files = &FileExistence::shared();
        instance = new FileAvailabilityService(std::move(dependencies), QCoreApplication::instance());
    }
    return *instance;
}

void FileAvailabilityService::refreshMountedVolumes()
{
    bool changed = rereadMountedVolumesUnannounced();
    // Without background checks nothing would look at the kept answers again: they go.
    if (!m_files->backgroundChecks() && m_files->recheck({ QStringLiteral("/") })) {
        ++m_generation;
        changed = true;
    }
    if (changed)
        NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
}

bool FileAvailabilityService::rereadMountedVolumesUnannounced()
{
    QSet<QString> volumes;
    const std::optional<QStringList> points = m_volumes ? m_volumes->mountPoints() : std::nullopt;
    if (points) {
        for (const QString &point : *points) {
            const QString parent = parentPath(point);
            for (const VolumeMonitor::VolumeRoot &root : std::as_const(m_volumeRoots)) {
                if (parent == root.path)
                    volumes.insert(point);
            }
        }
    }
    const QStringList mountPoints = points.value_or(QStringList());
    QSet<QString> cameOrWent;
    {
        QMutexLocker locker(&m_lock);
        const QSet<QString> before(m_mountPoints.cbegin(), m_mountPoints.cend());
        const QSet<QString> after(mountPoints.cbegin(), mountPoints.cend());
        cameOrWent = (before - after) + (after - before);
        m_mountedVolumes = std::move(volumes);
        m_mountPoints = mountPoints;
    }
    // A lookup only, for the next invalidation: bounded by one history's files.
    m_pathsByAddress.clear();
    const quint64 generation = m_generation.load(std::memory_order_acquire);
    m_renameSearches.removeIf([generation](const auto &entry) { return entry.value() != generation; });
    // What a mount covers or uncovers is another file system's: its answers go.
    for (const QString &point : std::as_const(cameOrWent))
        m_files->forget(point);
    // Every answer kept is looked at again off this thread, and only those that turn out
    // differently are told (answersChanged): nothing goes for a show.
    if (m_files->backgroundChecks())
        m_files->recheck({ QStringLiteral("/") });
    if (cameOrWent.isEmpty())
        return false;
    ++m_generation;
    m_renamedPaths.clear();
    m_renameSearches.clear();
    return true;
}

bool FileAvailabilityService::isAvailable(const ClipboardItem &item)
{
    const ClipboardItemType kind = item.type();
    if (kind != ClipboardItemType::file && kind != ClipboardItemType::media)
        return true;
    // An item that has left the history (a list not refreshed yet may still hold it) keeps
    // nothing here any more: it counts as there, as a file not checked yet does.
    const std::optional<QString> address = item.resolvedFileURLString();
    if (!address || item.isDeleted())
        return true;

    const quint64 generation = m_generation.load(std::memory_order_acquire);
    const QUuid id = item.id();
    const auto known = m_itemAnswers.constFind(id);
    if (known != m_itemAnswers.cend() && known->generation == generation && known->address == *address)
        return known->available;
    QStringList asked;
    const bool available = answer(item, *address, asked);
    // Held before the earlier answer lets go of its paths: those both name stay.
    holdPaths(asked);
    ItemAnswer &remembered = m_itemAnswers[id];
    releasePaths(std::exchange(remembered.paths, {}));
    remembered = ItemAnswer { *address, generation, available, std::move(asked) };
    return available;
}

bool FileAvailabilityService::answer(const ClipboardItem &item, const QString &address, QStringList &asked)
{
    const QString path = pathOf(item, address);
    if (path.isNull())
        return true;
    bool unmounted = false;
    {
        QMutexLocker locker(&m_lock);
        unmounted = isOnUnmountedVolume(path);
    }
    if (!unmounted && checkFile(path, asked))
        return true;
    if (!unmounted) {
        const auto renamed = m_renamedPaths.constFind(address);
        if (renamed != m_renamedPaths.constEnd() && checkFile(*renamed, asked))
            return true;
        findRenamedFile(item, address);
    }
    // The first file is gone: any of the others will do. As many are looked for as the item
    // counts (ClipboardItem::countAvailableFiles); those beyond count as present.
    const std::optional<QStringList> further = item.additionalFileURLStrings();
    const qsizetype looked
        = std::min(further ? further->size() : 0, qsizetype(ClipboardItem::maxCheckedFiles - 1));
    for (qsizetype i = 0; i < looked; ++i) {
        const QUrl other(further->at(i), QUrl::StrictMode);
        if (other.isValid() && !other.isEmpty() && checkFile(pathOfURL(other), asked))
            return true;
    }
    return looked < item.additionalFileTotal();
}

void FileAvailabilityService::findRenamedFile(const ClipboardItem &item, const QString &address)
{
    const quint64 generation = m_generation.load(std::memory_order_acquire);
    const auto searched = m_renameSearches.constFind(address);
    if (searched != m_renameSearches.constEnd() && *searched == generation)
        return;
    const std::optional<QByteArray> bookmark = item.resolvedItem().fileBookmarkData();
    if (!bookmark)
        return;
    m_renameSearches.insert(address, generation);
    // Reading the folder can take a while in a big one, or for ever on a mount that hangs:
    // never on the main thread, and through UserFiles.
    thenWhileAlive(UserFiles::shared().run(address, renameSearchLimit,
                       [bookmark = *bookmark] { return FileBookmark::resolve(bookmark); }),
        this, [this, address](const std::optional<QUrl> &found) { takeRenamedFile(address, found); });
}

void FileAvailabilityService::takeRenamedFile(const QString &address, const std::optional<QUrl> &found)
{
    if (!found || !found->isLocalFile())
        return;
    const QString path = pathOfURL(*found);
    // Its items may have left the history while it was looked for.
    if (m_renamedPaths.value(address) == path || !m_renameSearches.contains(address))
        return;
    m_renamedPaths.insert(address, path);
    ++m_generation;
    NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
}

bool FileAvailabilityService::checkFile(const QString &path)
{
    watchFolderOf(path);
    return m_files->exists(path);
}

bool FileAvailabilityService::checkFile(const QString &path, QStringList &asked)
{
    asked.append(path);
    return checkFile(path);
}

void FileAvailabilityService::holdPaths(const QStringList &paths)
{
    for (const QString &path : paths) {
        if (m_pathHolders[path]++ == 0)
            ++m_folderHolders[parentPath(path)];
    }
}

void FileAvailabilityService::releasePaths(const QStringList &paths)
{
    QStringList unheld;
    for (const QString &path : paths) {
        const auto holders = m_pathHolders.find(path);
        if (holders == m_pathHolders.end() || --*holders > 0)
            continue;
        m_pathHolders.erase(holders);
        const auto folder = m_folderHolders.find(parentPath(path));
        if (folder != m_folderHolders.end() && --*folder == 0)
            m_folderHolders.erase(folder);
        unheld.append(path);
    }
    discardUnheld(unheld);
}

void FileAvailabilityService::discardUnheld(const QStringList &paths)
{
    QStringList discarded;
    bool unwatched = false;
    for (const QString &path : paths) {
        if (m_pathHolders.contains(path))
            continue;
        discarded.append(path);
        const QString folder = parentPath(path);
        if (m_folderHolders.contains(folder))
            continue;
        QMutexLocker locker(&m_lock);
        unwatched = m_watchedDirectories.remove(folder) || unwatched;
    }
    m_files->discard(discarded);
    if (unwatched)
        scheduleStreamRestart();
}

void FileAvailabilityService::forgetItems(const QList<ClipboardItemPtr> &items)
{
    QStringList named;
    for (const ClipboardItemPtr &item : items) {
        if (!item)
            continue;
        // What a paste counted of its files (ClipboardItem::countAvailableFiles).
        named.append(filePathsOf(*item));
        const auto found = m_itemAnswers.find(item->id());
        if (found == m_itemAnswers.end())
            continue;
        m_pathsByAddress.remove(found->address);
        m_renamedPaths.remove(found->address);
        m_renameSearches.remove(found->address);
        releasePaths(found->paths);
        m_itemAnswers.erase(found);
    }
    discardUnheld(named);
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

QString FileAvailabilityService::mountPointOf(const QString &path) const
{
    QMutexLocker locker(&m_lock);
    QString found;
    for (const QString &point : m_mountPoints) {
        if (point.size() > found.size() && path.startsWith(point)
            && (path.size() == point.size() || point.endsWith(QLatin1Char('/'))
                || path[point.size()] == QLatin1Char('/')))
            found = point;
    }
    return found;
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

void FileAvailabilityService::watchFolderOf(const QString &path)
{
    const QString parent = parentPath(path);
    if (parent.isEmpty() || m_askedDirectories.contains(parent))
        return;
    {
        QMutexLocker locker(&m_lock);
        if (m_watchedDirectories.contains(parent))
            return;
    }
    m_askedDirectories.insert(parent);
    m_files->ask(parent, this, [this, parent](bool exists) {
        m_askedDirectories.remove(parent);
        if (!exists)
            return;
        {
            QMutexLocker locker(&m_lock);
            if (m_watchedDirectories.contains(parent))
                return;
            m_watchedDirectories.insert(parent);
        }
        scheduleStreamRestart();
    });
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
    {
        QMutexLocker locker(&m_lock);
        // Asked about again once they exist, they are watched again.
        for (const QString &directory : events.droppedDirectories)
            m_watchedDirectories.remove(directory);
    }
    // Each answer the burst may have made wrong is checked once more. With background checks
    // the answers stand until then, and those that turn out differently are announced together
    // (handleChangedAnswers): work in proportion to what changed, and one look of the panel.
    const bool changed = m_files->recheck(events.paths);
    if (m_files->backgroundChecks())
        return;
    // After the answers went: an item's answer remembered in between is not kept.
    ++m_generation;
    // Posted from this thread, the notification reaches its observers later, on the main thread.
    if (changed)
        NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
}

void FileAvailabilityService::handleChangedAnswers()
{
    ++m_generation;
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
    return m_files->cachedAnswerCount();
}
