#include "platform/UserFiles.h"

#include "support/HeldThreadPool.h"
#include "support/ManualClock.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

// Work that ends when the test opens its gate, as a read from a mount that hangs ends (if ever).
struct Gate
{
    std::shared_ptr<QSemaphore> semaphore = std::make_shared<QSemaphore>();

    std::function<std::optional<QByteArray>()> work(const QByteArray &result) const
    {
        return [semaphore = semaphore, result] {
            semaphore->acquire();
            return std::optional<QByteArray>(result);
        };
    }
    void open(int count = 1) const { semaphore->release(count); }
};

} // namespace

TEST(UserFilesTest, OnlyARegularFileIsReadAndOnlyUpToItsLimit)
{
    QTemporaryDir folder;
    const auto path = [&](const char *name) { return folder.filePath(QString::fromLatin1(name)); };
    const auto write = [&](const char *name, const QByteArray &bytes) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write("notes.txt", "hello\n");
    write("five.txt", "12345");
    write("six.txt", "123456");
    write("empty.txt", "");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.svg")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(path("notes.txt"), path("link-to-notes")));
    ASSERT_TRUE(QFile::link(path("pipe.svg"), path("link-to-pipe")));
    const struct
    {
        const char *name;
        qint64 maxBytes;
        std::optional<QByteArray> bytes;
        UserFiles::Refusal refusal;
        bool logged;
    } cases[] = {
        { "notes.txt", 100, "hello\n", UserFiles::Refusal::none, false },
        { "five.txt", 5, "12345", UserFiles::Refusal::none, false },
        { "six.txt", 5, std::nullopt, UserFiles::Refusal::tooLarge, false },
        { "empty.txt", 5, QByteArray(""), UserFiles::Refusal::none, false },
        { "link-to-notes", 100, "hello\n", UserFiles::Refusal::none, false },
        // Opening a FIFO to read would wait for a writer for ever.
        { "pipe.svg", 100, std::nullopt, UserFiles::Refusal::notRegular, true },
        { "link-to-pipe", 100, std::nullopt, UserFiles::Refusal::notRegular, true },
        { ".", 100, std::nullopt, UserFiles::Refusal::notRegular, true },
        { "missing.txt", 100, std::nullopt, UserFiles::Refusal::unreadable, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CapturedDiagnostics diagnostics;
        UserFiles::Refusal refusal = UserFiles::Refusal::none;
        EXPECT_EQ(UserFiles::readRegular(path(c.name), c.maxBytes, &refusal), c.bytes);
        EXPECT_EQ(refusal, c.refusal);
        const QStringList expectedLines = c.logged
            ? QStringList { QStringLiteral("[UserFiles] %1 is not a regular file: it was not read")
                                .arg(path(c.name)) }
            : QStringList();
        EXPECT_EQ(diagnostics.lines(), expectedLines);
    }
}

TEST(UserFilesTest, WorkNotDoneWithinItsLimitIsAbandonedAndSaidSo)
{
    ManualClock clock;
    UserFiles files;
    files.setClock(clock);
    CapturedDiagnostics diagnostics;
    const Gate hung;
    QFuture<std::optional<QByteArray>> abandoned
        = files.run(QStringLiteral("/mnt/hung/song.mp3"), std::chrono::milliseconds(5000), hung.work("late"));
    const Gate quick;
    QFuture<std::optional<QByteArray>> answered
        = files.run(QStringLiteral("/home/notes.svg"), std::chrono::milliseconds(5000), quick.work("<svg/>"));
    quick.open();
    ASSERT_TRUE(waitUntil([&] { return answered.isFinished(); }));
    EXPECT_EQ(answered.result(), QByteArray("<svg/>"));

    clock.advance(std::chrono::milliseconds(4999));
    EXPECT_FALSE(abandoned.isFinished());
    clock.advance(std::chrono::milliseconds(1));
    ASSERT_TRUE(abandoned.isFinished());
    EXPECT_EQ(abandoned.result(), std::nullopt);
    EXPECT_EQ(diagnostics.lines(),
        QStringList { QStringLiteral(
            "[UserFiles] Reading /mnt/hung/song.mp3 did not end within 5 s: it was abandoned") });
    EXPECT_EQ(files.unfinished(), 1) << "its thread is left to it";

    // When the read ends after all, nothing changes any more.
    hung.open();
    ASSERT_TRUE(waitUntil([&] { return files.unfinished() == 0; }));
    EXPECT_EQ(abandoned.results(), QList<std::optional<QByteArray>> { std::nullopt });
    EXPECT_EQ(diagnostics.lines().size(), 1);
}

TEST(UserFilesTest, AtQuitWorkNotDoneIsAbandonedAtOnceAndLaterWorkIsRefused)
{
    ManualClock clock;
    UserFiles files;
    files.setClock(clock);
    const Gate hung;
    QFuture<std::optional<QByteArray>> abandoned
        = files.run(QStringLiteral("/mnt/hung/song.mp3"), std::chrono::milliseconds(5000), hung.work("late"));
    files.stop();
    // Within its limit, without the clock moving: its caller goes on now.
    ASSERT_TRUE(abandoned.isFinished());
    EXPECT_EQ(abandoned.result(), std::nullopt);
    const Gate never;
    QFuture<std::optional<QByteArray>> refused
        = files.run(QStringLiteral("/home/notes.svg"), std::chrono::milliseconds(5000), never.work("<svg/>"));
    ASSERT_TRUE(refused.isFinished());
    EXPECT_EQ(refused.result(), std::nullopt);
    EXPECT_EQ(files.unfinished(), 1) << "no thread started after the quit";

    hung.open();
    ASSERT_TRUE(waitUntil([&] { return files.unfinished() == 0; }));
    EXPECT_EQ(abandoned.results(), QList<std::optional<QByteArray>> { std::nullopt });
}

TEST(UserFilesTest, WhileTheMostWorkHangsMoreIsRefusedAtOnceAndAfterItEndsItRunsAgain)
{
    ManualClock clock;
    UserFiles files;
    files.setClock(clock);
    const Gate hung;
    for (int i = 0; i < UserFiles::maxUnfinished; ++i)
        files.run(QStringLiteral("/mnt/hung/%1").arg(i), std::chrono::milliseconds(5000), hung.work("late"));
    clock.advance(std::chrono::milliseconds(5000));
    EXPECT_EQ(files.unfinished(), UserFiles::maxUnfinished);

    CapturedDiagnostics diagnostics;
    const Gate never;
    QFuture<std::optional<QByteArray>> refused
        = files.run(QStringLiteral("/mnt/hung/more"), std::chrono::milliseconds(5000), never.work("never"));
    ASSERT_TRUE(refused.isFinished()) << "refused without waiting";
    EXPECT_EQ(refused.result(), std::nullopt);
    EXPECT_EQ(diagnostics.lines(),
        QStringList {
            QStringLiteral("[UserFiles] /mnt/hung/more was not read: 16 earlier readings of files have "
                           "not ended") });

    hung.open(UserFiles::maxUnfinished);
    ASSERT_TRUE(waitUntil([&] { return files.unfinished() == 0; }));
    const Gate again;
    QFuture<std::optional<QByteArray>> read
        = files.run(QStringLiteral("/mnt/back"), std::chrono::milliseconds(5000), again.work("back"));
    again.open();
    ASSERT_TRUE(waitUntil([&] { return read.isFinished(); }));
    EXPECT_EQ(read.result(), QByteArray("back"));
}

TEST(UserFilesTest, WorkRunsWhileEveryThreadOfTheSharedPoolIsHeld)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("drawing.svg"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<svg/>");
    file.close();
    HeldThreadPool pool;
    pool.hold();
    UserFiles files;
    QFuture<std::optional<QByteArray>> read = files.run(
        path, std::chrono::milliseconds(5000), [path] { return UserFiles::readRegular(path, 100); });
    EXPECT_TRUE(waitUntil([&] { return read.isFinished(); }));
    EXPECT_EQ(read.isFinished() ? read.result() : std::nullopt, QByteArray("<svg/>"));
}
