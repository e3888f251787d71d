#include "platform/MappedFile.h"

#include "platform/MemoryGiveBack.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <functional>

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

TEST(MappedFileTest, FilesThatCannotBeMappedSayWhy)
{
    QTemporaryDir folder;
    const struct
    {
        const char *name;
        QString path;
        QString reason;
    } cases[] = {
        { "missing", folder.filePath(QStringLiteral("missing.bin")), QStringLiteral("cannot open ") },
        { "a folder", folder.path(), QStringLiteral("cannot copy ") },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        QString error;
        EXPECT_EQ(MappedFile::open(test.path, &error), nullptr);
        EXPECT_TRUE(error.startsWith(test.reason + test.path)) << qPrintable(error);
    }
    QFile empty(folder.filePath(QStringLiteral("empty.bin")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    QString error;
    const std::shared_ptr<const MappedFile> nothing = MappedFile::open(empty.fileName(), &error);
    ASSERT_TRUE(nothing) << qPrintable(error);
    EXPECT_EQ(nothing->size(), 0u);
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
