#pragma once

#include <QMutex>
#include <QStringList>

#include <functional>

// Change notices for a set of directories: which paths in them changed (an entry created,
// deleted or renamed, the directory itself deleted, moved or unmounted), delivered in batches
// off the main thread, about a second after the first change of a batch.
class FileEventStream
{
public:
    struct Events
    {
        // Paths that changed: an entry of a watched directory, or the directory itself.
        QStringList paths;
        // Watched directories that are no longer watched (deleted, unmounted, or refused by
        // the system); they need asking for again once they exist.
        QStringList droppedDirectories;
    };
    using Handler = std::function<void(const Events &events)>;

    virtual ~FileEventStream() = default;

    // Where the batches go; set before the first watch. Runs on the stream's own thread.
    virtual void setHandler(Handler handler) = 0;
    // Watches these directories from now on, and no others: those already watched stay
    // watched, those left out are let go. Any thread.
    virtual void watchDirectories(const QStringList &directories) = 0;
};

// Records what it is asked to watch and delivers the events a test gives it, on the test's
// thread.
class FakeFileEventStream final : public FileEventStream
{
public:
    void setHandler(Handler handler) override { m_handler = std::move(handler); }
    void watchDirectories(const QStringList &directories) override
    {
        QMutexLocker locker(&m_mutex);
        m_requests.append(directories);
    }

    void deliver(const Events &events)
    {
        if (m_handler)
            m_handler(events);
    }
    // Every watch request so far, each the full list of directories it named.
    QList<QStringList> requests() const
    {
        QMutexLocker locker(&m_mutex);
        return m_requests;
    }

private:
    Handler m_handler;
    mutable QMutex m_mutex;
    QList<QStringList> m_requests;
};
