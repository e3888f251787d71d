#include "platform/FileExistence.h"

#include "model/ClipboardItem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>

namespace {

// Records on which threads the disk was asked, and can hold a question up like a dead
// network mount does.
struct RecordingProbe
{
    QMutex mutex;
    QList<QThread *> threads;
    QStringList paths;
    std::atomic<bool> hang { false };

    std::function<bool(const QString &)> function()
    {
        return [this](const QString &path) {
            {
                QMutexLocker lock(&mutex);
                threads.append(QThread::currentThread());
                paths.append(path);
            }
            while (hang && path.startsWith(QLatin1String("/hung/")))
                QThread::msleep(5);
            return QFile::exists(path);
        };
    }
    qsizetype askedOn(QThread *thread)
    {
        QMutexLocker lock(&mutex);
        return threads.count(thread);
    }
    qsizetype count()
    {
        QMutexLocker lock(&mutex);
        return paths.size();
    }
};

// Discards the paths, telling whether an answer went.
std::function<bool()> discarding(FileExistence &files, const QStringList &gone)
{
    return [&files, gone] {
        const qsizetype before = files.cachedAnswerCount();
        files.discard(gone);
        return files.cachedAnswerCount() < before;
    };
}

} // namespace

TEST(FileExistenceTest, WithBackgroundChecksTheCallerNeverWaitsForTheDisk)
{
    QTemporaryDir folder;
    const QString present = folder.filePath(QStringLiteral("present"));
    QFile(present).open(QIODevice::WriteOnly);
    const QString missing = folder.filePath(QStringLiteral("missing"));

    RecordingProbe probe;
    FileExistence files;
    files.setProbe(probe.function());
    EXPECT_TRUE(files.exists(present));
    EXPECT_FALSE(files.exists(missing));
    EXPECT_EQ(probe.askedOn(QThread::currentThread()), 2) << "without background checks: at once";

    files.setBackgroundChecks(true);
    QSignalSpy changed(&files, &FileExistence::answersChanged);
    EXPECT_TRUE(files.exists(missing)) << "not checked yet: present until the check says otherwise";
    ASSERT_TRUE(waitUntil([&] { return !changed.isEmpty(); }));
    EXPECT_FALSE(files.exists(missing));
    EXPECT_TRUE(files.exists(present));
    ASSERT_TRUE(waitUntil([&] { return files.pendingChecks() == 0; }));
    EXPECT_EQ(changed.size(), 1) << "only the answer that turned out differently is announced";
    EXPECT_EQ(probe.askedOn(QThread::currentThread()), 2) << "no question on the caller's thread since";

    // A mount that hangs holds up its own checks only, never the caller.
    probe.hang = true;
    EXPECT_TRUE(files.exists(QStringLiteral("/hung/file")));
    EXPECT_TRUE(files.exists(QStringLiteral("/hung/other")));
    EXPECT_EQ(probe.askedOn(QThread::currentThread()), 2);
    probe.hang = false;
    ASSERT_TRUE(waitUntil([&] { return files.pendingChecks() == 0; }));
    EXPECT_FALSE(files.exists(QStringLiteral("/hung/file")));

    // Old answers are given as they are and checked again.
    files.setMaxAge(0);
    QFile::remove(present);
    EXPECT_TRUE(files.exists(present));
    ASSERT_TRUE(waitUntil([&] { return !files.exists(present); }));
}

TEST(FileExistenceTest, AnItemOfManyFilesLooksForABoundedNumberOfThem)
{
    QTemporaryDir folder;
    QStringList others;
    for (int i = 0; i < 5000; ++i)
        others.append(
            QUrl::fromLocalFile(folder.filePath(QStringLiteral("f%1").arg(i))).toString(QUrl::FullyEncoded));
    // Only the first and the last three of the further files exist.
    for (const QString &name : { QStringLiteral("first"), QStringLiteral("f4997"), QStringLiteral("f4998"),
             QStringLiteral("f4999") })
        QFile(folder.filePath(name)).open(QIODevice::WriteOnly);
    ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::file,
        { .fileURL = QUrl::fromLocalFile(folder.filePath(QStringLiteral("first"))) });
    item->setAdditionalFileURLStrings(others);

    RecordingProbe probe;
    FileExistence files;
    files.setProbe(probe.function());
    const int available = item->countAvailableFiles(files);
    EXPECT_EQ(probe.count(), ClipboardItem::maxCheckedFiles);
    // The first is there; of the 999 further files looked for none is; the 4,001 not looked
    // for count as present.
    EXPECT_EQ(available, 1 + (5000 - (ClipboardItem::maxCheckedFiles - 1)));
}

TEST(FileExistenceTest, KeptAnswersLastUntilAForgetReachesThem)
{
    QSet<QString> onDisk { QStringLiteral("/d/a"), QStringLiteral("/d/sub/b"), QStringLiteral("/d2/c") };
    QStringList asked;
    FileExistence files;
    files.setProbe([&](const QString &path) {
        asked.append(path);
        return onDisk.contains(path);
    });
    const QStringList paths { QStringLiteral("/d/a"), QStringLiteral("/d/sub/b"), QStringLiteral("/d2/c"),
        QStringLiteral("/d/missing") };
    const auto askAll = [&] {
        for (const QString &path : paths)
            files.exists(path);
    };
    askAll();
    askAll();
    EXPECT_EQ(asked.size(), 8) << "answers are not kept until someone watches for changes";

    files.setKeepsAnswers(true);
    struct Case
    {
        const char *name;
        std::function<bool()> forget;
        bool forgotAny;
        QStringList askedAgain;
    };
    const QList<Case> cases {
        { "a file", [&] { return files.forget(QStringLiteral("/d/a")); }, true, { QStringLiteral("/d/a") } },
        { "a folder and what is under it", [&] { return files.forget(QStringLiteral("/d/sub")); }, true,
            { QStringLiteral("/d/sub/b") } },
        { "a name that only begins the same", [&] { return files.forget(QStringLiteral("/d/su")); }, false,
            {} },
        { "a folder with a slash", [&] { return files.forget(QStringLiteral("/d/")); }, true,
            { QStringLiteral("/d/a"), QStringLiteral("/d/sub/b"), QStringLiteral("/d/missing") } },
        { "everything",
            [&] {
                files.forgetAll();
                return true;
            },
            true, paths },
        // The items naming them are gone.
        { "discarded paths", discarding(files, { QStringLiteral("/d/a"), QStringLiteral("/d/missing") }),
            true, { QStringLiteral("/d/a"), QStringLiteral("/d/missing") } },
        { "a discarded folder, without what is under it", discarding(files, { QStringLiteral("/d/sub") }),
            false, {} },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        files.forgetAll();
        askAll();
        EXPECT_EQ(files.cachedAnswerCount(), paths.size());
        asked.clear();
        askAll();
        EXPECT_TRUE(asked.isEmpty()) << "kept answers were asked again";
        EXPECT_EQ(c.forget(), c.forgotAny);
        askAll();
        EXPECT_EQ(asked, c.askedAgain);
    }
}

TEST(FileExistenceTest, AnAnswerGivenWhileAChangeIsHeardOfIsNotKept)
{
    // A change heard of while the disk is asked: that answer may be wrong.
    FileExistence files;
    files.setKeepsAnswers(true);
    files.setProbe([&](const QString &path) {
        files.forget(path);
        return path == u"/d/a";
    });
    EXPECT_TRUE(files.exists(QStringLiteral("/d/a")));
    EXPECT_EQ(files.cachedAnswerCount(), 0);
    files.setProbe([](const QString &path) { return path == u"/d/a"; });
    EXPECT_TRUE(files.exists(QStringLiteral("/d/a")));
    EXPECT_EQ(files.cachedAnswerCount(), 1) << "an answer without a change is kept";
}

// The worker has looked (the file is not there yet) when the file comes: a forget (a change
// heard of) has it looked at again, a discard (nobody names it any more) keeps nothing of it.
TEST(FileExistenceTest, ABackgroundAnswerFromBeforeAForgetIsAskedForAgainAndOneFromBeforeADiscardIsDropped)
{
    struct Case
    {
        const char *name;
        bool discard;
        int questions;
        qsizetype kept;
    };
    for (const Case &c : { Case { "forgotten", false, 2, 1 }, Case { "discarded", true, 1, 0 } }) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("file"));
        std::atomic<bool> hold { true };
        std::atomic<int> questions { 0 };
        FileExistence files;
        files.setKeepsAnswers(true);
        files.setBackgroundChecks(true);
        files.setProbe([&](const QString &path) {
            const bool exists = QFile::exists(path);
            ++questions;
            while (hold)
                QThread::msleep(2);
            return exists;
        });
        QSignalSpy changed(&files, &FileExistence::answersChanged);
        EXPECT_TRUE(files.exists(file)) << "not checked yet";
        ASSERT_TRUE(waitUntil([&] { return questions == 1; }));
        QFile(file).open(QIODevice::WriteOnly);
        if (c.discard)
            files.discard({ file });
        else
            files.forget(folder.path());
        hold = false;
        ASSERT_TRUE(waitUntil([&] { return files.pendingChecks() == 0 && questions == c.questions; }));
        QCoreApplication::processEvents();
        EXPECT_EQ(questions, c.questions);
        EXPECT_EQ(files.cachedAnswerCount(), c.kept);
        EXPECT_TRUE(changed.isEmpty()) << "the stale answer was taken";
        EXPECT_TRUE(files.exists(file));
    }
}

TEST(FileExistenceTest, AOneOffQuestionIsAnsweredOnTheMainThreadAndNotKept)
{
    QTemporaryDir folder;
    RecordingProbe probe;
    FileExistence files;
    files.setProbe(probe.function());
    files.setKeepsAnswers(true);
    QObject receiver;
    QList<bool> answers;
    files.ask(folder.path(), &receiver, [&](bool exists) { answers.append(exists); });
    EXPECT_EQ(answers, QList<bool> { true }) << "at once without background checks";

    files.setBackgroundChecks(true);
    QList<QThread *> answeredOn;
    for (const QString &path : { folder.path(), folder.filePath(QStringLiteral("none")), folder.path() })
        files.ask(path, &receiver, [&](bool exists) {
            answers.append(exists);
            answeredOn.append(QThread::currentThread());
        });
    {
        QObject gone;
        files.ask(folder.path(), &gone, [&](bool) { answers.append(false); });
    }
    EXPECT_EQ(answers.size(), 1) << "the caller waited for the disk";
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 4; }));
    EXPECT_EQ(answers, (QList<bool> { true, true, true, false }));
    EXPECT_EQ(answeredOn, QList<QThread *>(3, QThread::currentThread()));
    EXPECT_EQ(probe.askedOn(QThread::currentThread()), 1);
    EXPECT_EQ(probe.count(), 3) << "one question for the two askers of one path";
    EXPECT_EQ(files.cachedAnswerCount(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(answers.size(), 4) << "an answer reached a receiver that went";
}
