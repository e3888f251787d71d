#include "capture/ResourceList.h"

#include "platform/Bundle.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <functional>

TEST(ResourceListTest, ParsesEntriesCommentsAndLineEnds)
{
    const struct
    {
        const char *name;
        const char *text;
        QStringList expected;
    } cases[] = {
        { "comments and blanks", "# what this is\n\nfirst\n  # indented comment\n\tsecond entry \n",
            { "first", "second entry" } },
        { "CRLF", "first\r\nsecond\r\n", { "first", "second" } },
        { "case kept", "Org.KeePassXC.*\n", { "Org.KeePassXC.*" } },
        { "only comments", "# a\n#b", {} },
    };
    for (const auto &test : cases)
        EXPECT_EQ(ResourceList::parse(QString::fromUtf8(test.text)), test.expected) << test.name;
}

TEST(ResourceListTest, BundledListsAreThereWithAHeader)
{
    for (const char *name : { "adult_domains", "password_manager_apps", "password_vault_urls",
             "tracking_hosts", "color_source_apps" }) {
        const QString path = Bundle::pathForResource(QString::fromLatin1(name), QStringLiteral("txt"));
        ASSERT_FALSE(path.isEmpty()) << name;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        EXPECT_TRUE(file.readLine().startsWith("# ")) << name << " starts with a comment saying what it is";
        EXPECT_GE(ResourceList::load(QString::fromLatin1(name)).size(), 10) << name;
    }
}

// Whoever can write the resources folder may leave anything in a list's place: a FIFO held the
// capture in open() for good, a link to /dev/zero or a huge file filled the memory. Each is read
// as a missing list is, empty, and named in one line of the log; nothing waits for another program.
TEST(ResourceListTest, AListThatIsMissingOrNoRegularFileOfItsSizeIsEmptyAndSaysSoInOneLine)
{
    TemporaryResourceFolder folder;
    const QString path = folder.path() + QStringLiteral("/adult_domains.txt");
    const auto standIn = [&](FileStandIn kind, qint64 sparseBytes = 0) {
        return [=] { return replaceWithStandIn(path, kind, sparseBytes); };
    };
    const auto said = [&](const QString &why) {
        return QStringList {
            QStringLiteral("[ResourceList] Could not read the list \"adult_domains.txt\" (%1)").arg(why)
        };
    };
    const struct
    {
        const char *name;
        std::function<bool()> make;
        QStringList said;
    } rows[] = {
        { "missing", [] { return true; }, said(QStringLiteral("looked in ") + folder.path()) },
        { "a FIFO nobody writes to", standIn(FileStandIn::fifo),
            said(path + QStringLiteral(": it is not a regular file")) },
        { "a link to /dev/zero", standIn(FileStandIn::zeroDeviceLink),
            said(path + QStringLiteral(": it is not a regular file")) },
        { "a folder", [&] { return QDir().mkdir(path); },
            said(path + QStringLiteral(": it is not a regular file")) },
        { "a byte over 4 MB", standIn(FileStandIn::sparseFile, ResourceList::maxListBytes + 1),
            said(path + QStringLiteral(": it is larger than 4 MB")) },
        // A regular file whose reading fails (with EIO), whoever runs the test.
        { "unreadable", [&] { return QFile::link(QStringLiteral("/proc/self/mem"), path); },
            said(path + QStringLiteral(": it could not be read")) },
        { "empty", standIn(FileStandIn::sparseFile, 0), {} },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        folder.clear();
        ASSERT_TRUE(row.make());
        CapturedDiagnostics diagnostics;
        EXPECT_TRUE(ResourceList::load(QStringLiteral("adult_domains")).isEmpty());
        EXPECT_EQ(diagnostics.lines(), row.said);
    }
}
