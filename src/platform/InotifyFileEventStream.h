#pragma once

#include "platform/FileEventStream.h"

#include <QThread>

class InotifyReader;

// The file event stream over Linux inotify: one watch per directory (not recursive), read on
// a thread of its own. Changes are collected for latencyMs after the first one of a batch,
// then handed over together; a lost-events overflow reports every watched directory.
class InotifyFileEventStream final : public FileEventStream
{
public:
    explicit InotifyFileEventStream(int latencyMs = 1000);
    // Stops the thread; no handler runs after this returns.
    ~InotifyFileEventStream() override;
    InotifyFileEventStream(const InotifyFileEventStream &) = delete;
    InotifyFileEventStream &operator=(const InotifyFileEventStream &) = delete;

    void setHandler(Handler handler) override;
    void watchDirectories(const QStringList &directories) override;

    // False when the system gave no inotify instance (the stream then never reports).
    bool isValid() const { return m_valid; }

private:
    QThread m_thread;
    InotifyReader *m_reader = nullptr; // lives on m_thread
    bool m_valid = false;
};
