#include "capture/ResourceList.h"

#include "platform/Bundle.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

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

TEST(ResourceListTest, AMissingListIsEmptyAndSaysSo)
{
    QTemporaryDir empty;
    Bundle::setResourceDirectoryOverride(empty.path());
    CapturedDiagnostics diagnostics;
    EXPECT_TRUE(ResourceList::load(QStringLiteral("adult_domains")).isEmpty());
    Bundle::setResourceDirectoryOverride(QString());
    EXPECT_TRUE(diagnostics.contains(
        QStringLiteral("[ResourceList] Could not read the list \"adult_domains.txt\" (looked in %1)")
            .arg(empty.path())));
}
