#include "support/TestSupport.h"

#include "common/Diagnostics.h"
#include "platform/Bundle.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <cerrno>

#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QMutex g_linesMutex;
QStringList g_lines;

void collect(const QString &line)
{
    QMutexLocker lock(&g_linesMutex);
    g_lines.append(line);
}
} // namespace

CapturedDiagnostics::CapturedDiagnostics()
{
    QMutexLocker lock(&g_linesMutex);
    g_lines.clear();
    setDiagnosticSink(&collect);
}

CapturedDiagnostics::~CapturedDiagnostics()
{
    setDiagnosticSink(nullptr);
}

QStringList CapturedDiagnostics::lines() const
{
    QMutexLocker lock(&g_linesMutex);
    return g_lines;
}

void settleEvents()
{
    for (int round = 0; round < 6; ++round) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void runWhileRepeating(const std::function<void()> &background, const std::function<void()> &foreground)
{
    std::atomic<bool> stop = false;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        while (!stop)
            background();
    }));
    thread->start();
    foreground();
    stop = true;
    thread->wait();
}

QString testDataPath(const QString &relativePath)
{
    return QStringLiteral(TINDLEWICK_TEST_DATA_DIR "/") + relativePath;
}

void PrintTo(const QString &value, std::ostream *out)
{
    *out << '"' << value.toStdString() << '"';
}

void PrintTo(const QByteArray &value, std::ostream *out)
{
    *out << "bytes(" << value.size() << ")\"" << value.left(64).toHex().toStdString()
         << (value.size() > 64 ? "..." : "") << '"';
}

void PrintTo(const QVariant &value, std::ostream *out)
{
    *out << value.typeName() << '(' << value.toString().toStdString() << ')';
}

TemporaryResourceFolder::TemporaryResourceFolder()
{
    Bundle::setResourceDirectoryOverride(m_dir.path());
}

TemporaryResourceFolder::~TemporaryResourceFolder()
{
    Bundle::setResourceDirectoryOverride(QString());
}

QStringList folderContents(const QString &path)
{
    QStringList entries;
    for (const QFileInfo &entry : QDir(path).entryInfoList(
             QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString what = entry.isSymLink() ? QStringLiteral("-> ") + entry.symLinkTarget()
            : entry.isDir()                    ? QStringLiteral("folder")
            : entry.isFile()                   ? QString::number(entry.size())
                                               : QStringLiteral("special");
        entries.append(entry.fileName() + u' ' + what);
    }
    return entries;
}

bool replaceWithStandIn(const QString &path, FileStandIn standIn, qint64 sparseBytes)
{
    const QByteArray native = QFile::encodeName(path);
    if (::unlink(native.constData()) != 0 && errno != ENOENT)
        return false;
    switch (standIn) {
    case FileStandIn::fifo:
        return ::mkfifo(native.constData(), 0600) == 0;
    case FileStandIn::zeroDeviceLink:
        return ::symlink("/dev/zero", native.constData()) == 0;
    case FileStandIn::nullDeviceLink:
        return ::symlink("/dev/null", native.constData()) == 0;
    case FileStandIn::linkLoop:
        return ::symlink(native.constData(), native.constData()) == 0;
    case FileStandIn::sparseFile:
        break;
    }
    const int descriptor = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const bool made = descriptor >= 0 && ::ftruncate(descriptor, sparseBytes) == 0;
    if (descriptor >= 0)
        ::close(descriptor);
    return made;
}

bool TemporaryResourceFolder::write(const QString &relativePath, const QByteArray &bytes) const
{
    const QString path = m_dir.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).path());
    const QFileInfo existing(path);
    if (existing.isSymLink() || (existing.exists() && !existing.isFile() && !existing.isDir()))
        QFile::remove(path);
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

void TemporaryResourceFolder::clear() const
{
    QDir dir(m_dir.path());
    for (const QString &entry :
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        QFileInfo info(dir.filePath(entry));
        if (info.isDir() && !info.isSymLink())
            QDir(info.filePath()).removeRecursively();
        else
            dir.remove(entry);
    }
}

namespace {

QString processFile(qint64 pid, const char *name)
{
    return QStringLiteral("/proc/%1/%2")
        .arg(pid == 0 ? QStringLiteral("self") : QString::number(pid), QLatin1String(name));
}

// A size line of the process's status ("VmHWM:  1234 kB"), in bytes; 0 when it cannot be read.
qint64 statusBytes(qint64 pid, QByteArrayView key)
{
    QFile status(processFile(pid, "status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

} // namespace

qint64 peakResidentBytes(qint64 pid)
{
    return statusBytes(pid, "VmHWM:");
}

qint64 residentBytes(qint64 pid)
{
    return statusBytes(pid, "VmRSS:");
}

void resetPeakResidentBytes(qint64 pid)
{
    QFile clear(processFile(pid, "clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

FilesNamedByBytes::~FilesNamedByBytes()
{
    DIR *listing = ::opendir(QFile::encodeName(m_folder).constData());
    if (!listing)
        return;
    while (const dirent *entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (QString::fromUtf8(name).toUtf8() != name)
            ::unlink(path(name).constData());
    }
    ::closedir(listing);
}

QByteArray FilesNamedByBytes::path(const QByteArray &name) const
{
    return QFile::encodeName(m_folder) + '/' + name;
}

QByteArray FilesNamedByBytes::create(const QByteArray &name, const QByteArray &contents) const
{
    const int descriptor = ::open(path(name).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return {};
    const bool written
        = ::write(descriptor, contents.constData(), size_t(contents.size())) == contents.size();
    ::close(descriptor);
    return written ? QUrl::fromLocalFile(m_folder).toEncoded() + '/' + name.toPercentEncoding()
                   : QByteArray();
}

unsigned fileMode(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
