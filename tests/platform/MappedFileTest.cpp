#include "platform/MappedFile.h"

#include "platform/MemoryGiveBack.h"

#include "support/SmallFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The kilobytes of the mapping that starts at address which are in this process's memory now;
// -1 when there is no such mapping.
qint64 residentKilobytesOfMapping(const void *address)
{
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray start = QByteArray::number(quintptr(address), 16) + '-';
    bool inside = false;
    // A mapping's line ("7f12a000-7f12c000 r--p ... path") and then its own ("Rss:   8 kB").
    for (const QByteArray &line : smaps.readAll().split('\n')) {
        const QByteArray first = line.left(line.indexOf(' '));
        if (!first.endsWith(':'))
            inside = first.startsWith(start);
        else if (inside && first == "Rss:")
            return line.mid(4).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// The bytes the calling thread has handed to write() and its like so far; -1 when unknown.
qint64 bytesWrittenByThisThread()
{
    QFile io(QStringLiteral("/proc/thread-self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("wchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

// What a sanitizer build's checks add to a thread's written bytes: UndefinedBehaviorSanitizer
// tells whether memory can be read by writing it to a pipe of its own, 16 bytes a check.
constexpr qint64 sanitizerWrites =
#if defined(__SANITIZE_ADDRESS__)
    4096;
#else
    0;
#endif

// The file opened on a thread of its own, as the app's models are: null with the failure when it
// was refused, the bytes the opening wrote (its copy), and nothing at all when the opening has not
// come back within seconds (it waits for another program).
struct Opened
{
    std::shared_ptr<const MappedFile> file;
    MappedFile::Failure failure;
    qint64 bytesWritten = -1;
};
std::optional<Opened> openWithin(const QString &path, qint64 maxBytes, std::chrono::seconds limit)
{
    auto result = std::make_shared<std::promise<Opened>>();
    std::future<Opened> opened = result->get_future();
    std::thread([result, path, maxBytes] {
        Opened answer;
        const qint64 before = bytesWrittenByThisThread();
        answer.file = MappedFile::open(path, &answer.failure, maxBytes);
        answer.bytesWritten = bytesWrittenByThisThread() - before;
        result->set_value(std::move(answer));
    }).detach();
    if (!waitUntil(
            [&] { return opened.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, limit))
        return std::nullopt;
    return opened.get();
}

// Files made in a temporary folder of their own; an empty path for one that could not be made.
class FilesToOpen final
{
public:
    QString path(const char *name) const { return m_folder.filePath(QLatin1String(name)); }
    QString folder() const { return m_folder.path(); }
    QString file(const char *name, qint64 bytes) const
    {
        QFile made(path(name));
        return made.open(QIODevice::WriteOnly) && made.write(QByteArray(bytes, 'x')) == bytes
            ? made.fileName()
            : QString();
    }
    QString standIn(const char *name, FileStandIn kind, qint64 sparseBytes = 0) const
    {
        return replaceWithStandIn(path(name), kind, sparseBytes) ? path(name) : QString();
    }
    QString linkTo(const char *name, const char *target) const
    {
        return QFile::link(path(target), path(name)) ? path(name) : QString();
    }

private:
    QTemporaryDir m_folder;
};

// Only a regular file of at most the size allowed is read, and nothing that is not one holds the
// reading up: a FIFO would wait in open() for a writer, a device may never end, a file whose size
// says nothing until it is read (as /proc's) may hold more than allowed. What the file is stays so
// until it changes; nothing is copied of a file refused by its look.
TEST(MappedFileTest, FilesThatCannotBeMappedSayWhy)
{
    const FilesToOpen files;
    constexpr qint64 megabyte = 1024 * 1024;
    const struct
    {
        const char *name;
        QString path;
        qint64 maxBytes;
        QString reason; // empty: it is mapped, the size allowed long
        qint64 bytesWritten; // the copy
    } cases[] = {
        { "missing", files.path("missing.bin"), 4096,
            QStringLiteral("cannot open it: No such file or directory"), 0 },
        { "a link to nothing", files.linkTo("dangling.bin", "nothing.bin"), 4096,
            QStringLiteral("cannot open it: No such file or directory"), 0 },
        { "a link to itself", files.standIn("loop.bin", FileStandIn::linkLoop), 4096,
            QStringLiteral("cannot open it: Too many levels of symbolic links"), 0 },
        { "a folder", files.folder(), 4096, QStringLiteral("it is not a regular file"), 0 },
        { "a FIFO nobody writes to", files.standIn("fifo.bin", FileStandIn::fifo), 4096,
            QStringLiteral("it is not a regular file"), 0 },
        { "a link to a device", files.standIn("null.bin", FileStandIn::nullDeviceLink), 4096,
            QStringLiteral("it is not a regular file"), 0 },
        { "one byte over the size allowed", files.file("large.bin", 4097), 4096,
            QStringLiteral("it is larger than 4096 bytes"), 0 },
        { "over it in megabytes", files.file("megabyte.bin", megabyte + 1), megabyte,
            QStringLiteral("it is larger than 1 MB"), 0 },
        { "a model over 64 MB", files.standIn("huge.bin", FileStandIn::sparseFile, 64 * megabyte + 1),
            MappedFile::defaultMaxBytes, QStringLiteral("it is larger than 64 MB"), 0 },
        // Copied up to one byte over the bound: only then does it show its size.
        { "larger when read than its size says", QStringLiteral("/proc/self/status"), 100,
            QStringLiteral("it is larger than 100 bytes"), 101 },
        { "as large as allowed", files.file("bound.bin", 4096), 4096, {}, 4096 },
        { "empty", files.file("empty.bin", 0), 4096, {}, 0 },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        ASSERT_FALSE(test.path.isEmpty());
        const std::optional<Opened> opened = openWithin(test.path, test.maxBytes, std::chrono::seconds(10));
        if (!opened) {
            ADD_FAILURE() << "the opening waits";
            // A writer lets it go.
            ::close(::open(QFile::encodeName(test.path).constData(), O_WRONLY | O_NONBLOCK));
            continue;
        }
        EXPECT_GE(opened->bytesWritten, test.bytesWritten);
        EXPECT_LE(opened->bytesWritten, test.bytesWritten + sanitizerWrites);
        if (test.reason.isEmpty()) {
            ASSERT_TRUE(opened->file) << qPrintable(opened->failure.reason);
            EXPECT_EQ(opened->file->size(), std::size_t(QFileInfo(test.path).size()));
        } else {
            EXPECT_EQ(opened->file, nullptr);
            EXPECT_EQ(opened->failure.reason, test.reason);
            EXPECT_FALSE(opened->failure.passing);
        }
    }
}

// A copy finds no room where the cache folder is full (or the process may write no file that
// large): it goes to the temporary folder, as for a read-only cache folder; where neither has
// room, the failure is one that passes, and the next opening, once there is room, maps the file.
TEST(MappedFileTest, ACopyThatFindsNoRoomInTheCacheFolderGoesToTheTemporaryOne)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("model.bin"));
    QByteArray contents(256 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < contents.size(); ++i)
        contents[i] = char(i * 31);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
    file.close();
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString temporary = folder.filePath(QStringLiteral("temporary"));
    // What an opening gives: the bytes mapped, or why not and whether that passes.
    const auto opening = [&] {
        MappedFile::Failure failure;
        const std::shared_ptr<const MappedFile> mapped = MappedFile::open(path, &failure);
        if (!mapped)
            return QStringLiteral("%1 (%2)").arg(
                failure.reason, QLatin1String(failure.passing ? "passing" : "lasting"));
        const bool same
            = QByteArray(reinterpret_cast<const char *>(mapped->data()), qsizetype(mapped->size()))
            == contents;
        return same ? QStringLiteral("mapped") : QStringLiteral("mapped other bytes");
    };
    const QString noRoom = QStringLiteral("cannot copy it (%1: No space left on device; %2: No space left on "
                                          "device) (passing)")
                               .arg(cache, temporary);
    const struct
    {
        const char *name;
        qint64 cacheRoom;
        qint64 temporaryRoom; // 0: as much as the machine has
        QStringList openings; // and room in both between the second and the third
    } cases[] = {
        { "the cache folder full", 64 * 1024, 0, { "mapped", "mapped", "mapped" } },
        { "both full", 64 * 1024, 64 * 1024, { noRoom, noRoom, "mapped" } },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        const SmallFolders::Outcome outcome = SmallFolders::inChild([&] {
            qputenv("TMPDIR", QFile::encodeName(temporary));
            if (!QDir().mkpath(temporary) || !SmallFolders::limit(cache, test.cacheRoom)
                || (test.temporaryRoom > 0 && !SmallFolders::limit(temporary, test.temporaryRoom)))
                return QStringLiteral("<no small folders>");
            QStringList openings { opening(), opening() };
            if (!SmallFolders::limit(cache, 1024 * 1024)
                || (test.temporaryRoom > 0 && !SmallFolders::limit(temporary, 1024 * 1024)))
                return QStringLiteral("<no room made>");
            openings.append(opening());
            return openings.join(QLatin1Char('\n'));
        });
        if (!outcome.available)
            GTEST_SKIP() << "this machine gives a process no mounts of its own";
        EXPECT_EQ(outcome.result, test.openings.join(QLatin1Char('\n')));
    }
}

// Another program rewriting the file under its mapping (an install, a copy over it) neither takes
// the bytes away (a mapping of the file itself ended the process on the next read of a page cut
// off) nor goes unnoticed.
TEST(MappedFileTest, TheBytesStayAsOpenedWhateverBecomesOfTheFileAndAChangeIsNoticed)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("model.bin"));
    const QByteArray original(3 * 4096 + 17, 'm');
    const auto write = [](const QString &target, const QByteArray &bytes) {
        QFile file(target);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    };
    const struct
    {
        const char *name;
        std::function<bool()> change;
        bool changed;
    } cases[] = {
        { "left alone", [] { return true; }, false },
        { "emptied in place", [&] { return write(path, {}); }, true },
        { "cut in place", [&] { return write(path, original.first(4096)); }, true },
        { "written longer in place", [&] { return write(path, original + original); }, true },
        // The same size, within the same second: only the nanoseconds of its time tell.
        { "written again in place within the same second",
            [&] {
                struct stat before
                {
                };
                if (::stat(QFile::encodeName(path).constData(), &before) != 0
                    || !write(path, QByteArray(original.size(), 'w')))
                    return false;
                const timespec times[2] = { before.st_atim,
                    { before.st_mtim.tv_sec, (before.st_mtim.tv_nsec + 1) % 1'000'000'000 } };
                return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
            },
            true },
        { "replaced by another file of its size",
            [&] {
                const QString other = path + QStringLiteral(".new");
                return write(other, QByteArray(original.size(), 'n'))
                    && std::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData())
                    == 0;
            },
            true },
        { "removed", [&] { return QFile::remove(path); }, true },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        ASSERT_TRUE(write(path, original));
        QString error;
        const std::shared_ptr<const MappedFile> mapped = MappedFile::open(path, &error);
        ASSERT_TRUE(mapped) << qPrintable(error);
        ASSERT_TRUE(test.change());
        EXPECT_EQ(mapped->changedOnDisk(), test.changed);
        MemoryGiveBack::giveBack(); // read again, from what is mapped, not from the file
        ASSERT_EQ(mapped->size(), std::size_t(original.size()));
        EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(mapped->data()), original.size()), original);
    }
}

// The pages of a mapped file that were read stay in the process until the app gives memory
// back; the bytes read the same afterwards, from the file again.
TEST(MappedFileTest, ThePagesReadGoBackWithTheHeapsFreePagesAndComeBackWhenRead)
{
    QTemporaryDir folder;
    QByteArray contents(2 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < contents.size(); ++i)
        contents[i] = char((i * 7919) >> 3);
    QFile file(folder.filePath(QStringLiteral("weights.bin")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(contents), contents.size());
    file.close();

    QString error;
    std::shared_ptr<const MappedFile> mapped = MappedFile::open(file.fileName(), &error);
    ASSERT_TRUE(mapped) << qPrintable(error);
    ASSERT_EQ(mapped->size(), std::size_t(contents.size()));
    const void *address = mapped->data();
    EXPECT_EQ(std::memcmp(mapped->data(), contents.constData(), mapped->size()), 0);
    EXPECT_GE(residentKilobytesOfMapping(address), 2048);

    MemoryGiveBack::giveBack();
    EXPECT_EQ(residentKilobytesOfMapping(address), 0);
    EXPECT_EQ(std::memcmp(mapped->data(), contents.constData(), mapped->size()), 0);

    mapped.reset();
    EXPECT_EQ(residentKilobytesOfMapping(address), -1) << "the mapping outlived its file";
}

} // namespace
