#include "platform/UserFiles.h"

#include "common/Diagnostics.h"
#include "platform/FilePaths.h"

#include <QFile>

#include <cerrno>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void logNotRegular(const QString &path)
{
    printDiagnostic(QStringLiteral("[UserFiles] %1 is not a regular file: it was not read").arg(path));
}

} // namespace

struct UserFiles::Threads
{
    std::atomic<int> unfinished { 0 };
};

UserFiles &UserFiles::shared()
{
    // Never destroyed: its time limits run until the process ends.
    static UserFiles *instance = new UserFiles;
    return *instance;
}

UserFiles::UserFiles(QObject *parent)
    : QObject(parent)
    , m_threads(std::make_shared<Threads>())
{ }

UserFiles::~UserFiles() = default;

void UserFiles::shutDown()
{
    m_shutDown = true;
    for (auto &[number, giveUp] : std::exchange(m_waiting, {}))
        (void)giveUp();
}

int UserFiles::unfinished() const
{
    return m_threads->unfinished.load();
}

int UserFiles::openRegular(const QString &path, Refusal *why)
{
    const auto refuse = [&](Refusal refusal) {
        if (why)
            *why = refusal;
        if (refusal == Refusal::notRegular)
            logNotRegular(path);
        return -1;
    };
    const QByteArray native = FilePaths::toNative(path);
    // Looked at before it is opened: opening a device may do something by itself.
    struct stat before
    {
    };
    if (::stat(native.constData(), &before) != 0)
        return refuse(Refusal::unreadable);
    if (!S_ISREG(before.st_mode))
        return refuse(Refusal::notRegular);
    // Without waiting, and looked at again: it may have been replaced by a FIFO meanwhile.
    const int descriptor = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return refuse(Refusal::unreadable);
    struct stat opened
    {
    };
    if (::fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(descriptor);
        return refuse(Refusal::notRegular);
    }
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(descriptor);
        return refuse(Refusal::unreadable);
    }
    if (why)
        *why = Refusal::none;
    return descriptor;
}

std::optional<QByteArray> UserFiles::readRegular(const QString &path, qint64 maxBytes, Refusal *why)
{
    Refusal refusal = Refusal::none;
    const int descriptor = openRegular(path, &refusal);
    const auto finish = [&](std::optional<QByteArray> bytes) {
        if (descriptor >= 0)
            ::close(descriptor);
        if (why)
            *why = refusal;
        return bytes;
    };
    if (descriptor < 0)
        return finish(std::nullopt);
    struct stat info
    {
    };
    if (::fstat(descriptor, &info) != 0 || info.st_size > maxBytes) {
        refusal = Refusal::tooLarge;
        return finish(std::nullopt);
    }
    // One byte more than allowed tells a file that grew since it was looked at.
    QByteArray bytes(qsizetype(std::min<qint64>(qint64(info.st_size), maxBytes) + 1), Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > maxBytes) {
                refusal = Refusal::tooLarge;
                return finish(std::nullopt);
            }
            bytes.resize(std::min<qsizetype>(qsizetype(maxBytes) + 1, 2 * bytes.size()));
        }
        const ssize_t got = ::read(descriptor, bytes.data() + filled, size_t(bytes.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            refusal = Refusal::unreadable;
            return finish(std::nullopt);
        }
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    return finish(bytes);
}

void UserFiles::start(const QString &path, std::chrono::milliseconds limit, std::function<void()> work,
    std::function<bool()> giveUp)
{
    if (m_shutDown) {
        (void)giveUp();
        return;
    }
    if (m_threads->unfinished.load() >= maxUnfinished) {
        printDiagnostic(
            QStringLiteral("[UserFiles] %1 was not read: %2 earlier readings of files have not ended")
                .arg(path)
                .arg(maxUnfinished));
        (void)giveUp();
        return;
    }
    ++m_threads->unfinished;
    try {
        std::thread([threads = m_threads, work = std::move(work)]() mutable {
            work();
            // What the work held goes before the thread counts itself out.
            work = nullptr;
            --threads->unfinished;
        }).detach();
    } catch (const std::system_error &) {
        --m_threads->unfinished;
        printDiagnostic(QStringLiteral("[UserFiles] %1 was not read: no thread could be started").arg(path));
        (void)giveUp();
        return;
    }
    const quint64 number = ++m_lastJob;
    m_waiting.emplace(number, giveUp);
    m_clock->runAfter(limit, this, [this, number, path, limit, giveUp = std::move(giveUp)] {
        m_waiting.erase(number);
        if (!giveUp())
            return;
        printDiagnostic(QStringLiteral("[UserFiles] Reading %1 did not end within %2 s: it was abandoned")
                            .arg(path)
                            .arg(double(limit.count()) / 1000.0));
    });
}
