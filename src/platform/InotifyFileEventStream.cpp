#include "platform/InotifyFileEventStream.h"

#include "platform/FilePaths.h"

#include <QHash>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

namespace {

// What can change whether a file in the directory exists.
constexpr uint32_t watchMask
    = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

} // namespace

// The inotify instance and its watches, on the stream's thread.
class InotifyReader final : public QObject
{
public:
    InotifyReader(int descriptor, int latencyMs)
        : m_descriptor(descriptor)
        , m_latencyMs(latencyMs)
    { }
    ~InotifyReader() override
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }

    // Runs first on the thread: the notifier and the timer belong to it.
    void start()
    {
        m_notifier = new QSocketNotifier(m_descriptor, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &InotifyReader::readEvents);
        m_batchTimer = new QTimer(this);
        m_batchTimer->setSingleShot(true);
        connect(m_batchTimer, &QTimer::timeout, this, &InotifyReader::deliver);
    }

    void setHandler(FileEventStream::Handler handler) { m_handler = std::move(handler); }

    void watch(const QStringList &directories)
    {
        const QSet<QString> wanted(directories.cbegin(), directories.cend());
        for (const QString &directory : m_watches.keys()) {
            if (!wanted.contains(directory))
                unwatch(directory);
        }
        for (const QString &directory : directories) {
            if (m_watches.contains(directory))
                continue;
            const int watch
                = inotify_add_watch(m_descriptor, FilePaths::toNative(directory).constData(), watchMask);
            if (watch < 0) {
                drop(directory);
                continue;
            }
            m_watches.insert(directory, watch);
            m_directories[watch].append(directory);
        }
    }

private:
    // A watch that two paths of one directory share goes with the last of them. The kernel's
    // notice that it went finds no directory: nothing is reported.
    void unwatch(const QString &directory)
    {
        const int watch = m_watches.take(directory);
        QStringList &sharing = m_directories[watch];
        sharing.removeAll(directory);
        if (!sharing.isEmpty())
            return;
        m_directories.remove(watch);
        inotify_rm_watch(m_descriptor, watch);
    }

    void readEvents()
    {
        alignas(inotify_event) char buffer[16 * 1024];
        for (;;) {
            const ssize_t length = ::read(m_descriptor, buffer, sizeof buffer);
            if (length <= 0)
                break; // EAGAIN: all read
            for (ssize_t offset = 0; offset < length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
                handle(*event);
                offset += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
    }

    void handle(const inotify_event &event)
    {
        if (event.mask & IN_Q_OVERFLOW) {
            // Events were lost: anything watched may have changed.
            for (const QString &directory : m_watches.keys())
                changed(directory);
            return;
        }
        const QStringList directories = m_directories.value(event.wd);
        for (const QString &directory : directories) {
            if (event.len > 0)
                changed(directory + QLatin1Char('/') + FilePaths::fromNative(event.name));
            else
                changed(directory);
        }
        if (event.mask & IN_IGNORED) {
            // The watch is gone with its directory (deleted or unmounted).
            m_directories.remove(event.wd);
            for (const QString &directory : directories) {
                m_watches.remove(directory);
                drop(directory);
            }
        }
    }

    void changed(const QString &path)
    {
        // A set beside the list: a burst of a hundred thousand deletions is looked up that
        // many times.
        if (!m_pendingPaths.contains(path)) {
            m_pendingPaths.insert(path);
            m_pending.paths.append(path);
        }
        startBatch();
    }

    void drop(const QString &directory)
    {
        if (!m_pending.droppedDirectories.contains(directory))
            m_pending.droppedDirectories.append(directory);
        startBatch();
    }

    void startBatch()
    {
        if (m_batchTimer && !m_batchTimer->isActive())
            m_batchTimer->start(m_latencyMs);
    }

    void deliver()
    {
        const FileEventStream::Events events = std::exchange(m_pending, {});
        m_pendingPaths.clear();
        if (m_handler && (!events.paths.isEmpty() || !events.droppedDirectories.isEmpty()))
            m_handler(events);
    }

    int m_descriptor;
    int m_latencyMs;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_batchTimer = nullptr;
    FileEventStream::Handler m_handler;
    QHash<QString, int> m_watches;
    // Two paths of one directory (through a link) share one watch.
    QHash<int, QStringList> m_directories;
    FileEventStream::Events m_pending;
    QSet<QString> m_pendingPaths;
};

InotifyFileEventStream::InotifyFileEventStream(int latencyMs)
{
    const int descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_valid = descriptor >= 0;
    if (!m_valid)
        return;
    m_reader = new InotifyReader(descriptor, latencyMs);
    m_reader->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_reader, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("FileAvailabilityStream"));
    m_thread.start();
    QMetaObject::invokeMethod(
        m_reader, [reader = m_reader] { reader->start(); }, Qt::QueuedConnection);
}

InotifyFileEventStream::~InotifyFileEventStream()
{
    if (!m_reader)
        return;
    m_thread.quit();
    m_thread.wait();
}

void InotifyFileEventStream::setHandler(Handler handler)
{
    if (m_reader) {
        QMetaObject::invokeMethod(
            m_reader, [reader = m_reader, handler] { reader->setHandler(handler); }, Qt::QueuedConnection);
    }
}

void InotifyFileEventStream::watchDirectories(const QStringList &directories)
{
    if (m_reader) {
        QMetaObject::invokeMethod(
            m_reader, [reader = m_reader, directories] { reader->watch(directories); }, Qt::QueuedConnection);
    }
}
