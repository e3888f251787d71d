#include "platform/Bundle.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// Sets or clears an environment variable for the test's length and restores it after.
class EnvironmentValue final
{
public:
    EnvironmentValue(const char *name, const QString &value)
        : m_name(name)
        , m_wasSet(qEnvironmentVariableIsSet(name))
        , m_before(qgetenv(name))
    {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value.toLocal8Bit());
    }
    ~EnvironmentValue()
    {
        if (m_wasSet)
            qputenv(m_name, m_before);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_wasSet;
    QByteArray m_before;
};

TEST(BundleTest, TheInstalledFolderComesBeforeTheBuildTreeAndTheEnvironmentReplacesBoth)
{
    const struct
    {
        const char *executableDirectory;
        const char *environment;
        QStringList expected;
    } cases[] = {
        { "/usr/bin", "", { "/usr/share/tindlewick", "/usr/bin/resources" } },
        { "/home/u/.local/bin", "", { "/home/u/.local/share/tindlewick", "/home/u/.local/bin/resources" } },
        { "/src/tindlewick/build/bin", "",
            { "/src/tindlewick/build/share/tindlewick", "/src/tindlewick/build/bin/resources" } },
        { "/usr/bin", "/opt/models", { "/opt/models" } },
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Bundle::resourceDirectories(
                      QString::fromLatin1(c.executableDirectory), QString::fromLatin1(c.environment)),
            c.expected)
            << c.executableDirectory << " " << c.environment;
    }
}

TEST(BundleTest, AResourceIsReadFromTheFirstFolderThatHoldsIt)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QString installed = prefix.filePath(QStringLiteral("share/tindlewick"));
    const QString buildTree = prefix.filePath(QStringLiteral("bin/resources"));
    const QString chosen = prefix.filePath(QStringLiteral("chosen"));
    const struct
    {
        const char *name;
        QStringList holders; // the folders that hold the file
        bool environmentSet;
        QString expected;
        QStringList linkHolders = {}; // the folders that hold a link to itself by its name
    } cases[] = {
        { "in both", { installed, buildTree }, false, installed },
        // Its reader says it is a loop, rather than that it is nowhere.
        { "a link to itself installed, the file in the build tree", { buildTree }, false, installed,
            { installed } },
        { "a link to itself in the build tree only", {}, false, buildTree, { buildTree } },
        { "installed only", { installed }, false, installed },
        { "build tree only", { buildTree }, false, buildTree },
        { "nowhere", {}, false, {} },
        { "the environment's folder wins", { installed, buildTree, chosen }, true, chosen },
        { "the environment's folder alone is searched", { installed, buildTree }, true, {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &folder : { installed, buildTree, chosen }) {
            QDir(folder).removeRecursively();
            ASSERT_TRUE(QDir().mkpath(folder));
        }
        for (const QString &folder : c.holders) {
            QFile file(folder + QStringLiteral("/guesslang.bin"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        for (const QString &folder : c.linkHolders)
            ASSERT_TRUE(replaceWithStandIn(folder + QStringLiteral("/guesslang.bin"), FileStandIn::linkLoop));
        const QStringList searched = Bundle::resourceDirectories(
            prefix.filePath(QStringLiteral("bin")), c.environmentSet ? chosen : QString());
        const QString found = Bundle::findIn(searched, QStringLiteral("guesslang.bin"));
        EXPECT_EQ(found, c.expected.isEmpty() ? QString() : c.expected + QStringLiteral("/guesslang.bin"));
    }
}

TEST(BundleTest, TheRunningProgramSearchesBesideItsExecutableAndSaysWhere)
{
    const QString executableDirectory = QCoreApplication::applicationDirPath();
    const QString installed = QDir::cleanPath(executableDirectory + QStringLiteral("/../share/tindlewick"));
    const QString buildTree = executableDirectory + QStringLiteral("/resources");
    QTemporaryDir chosen;
    ASSERT_TRUE(chosen.isValid());
    {
        EnvironmentValue unset("TINDLEWICK_RESOURCE_DIR", QString());
        EXPECT_EQ(Bundle::resourceDirectories(), (QStringList { installed, buildTree }));
        EXPECT_EQ(Bundle::searchedFolders(), QStringLiteral("looked in %1 and %2").arg(installed, buildTree));
        // The build tree has no installed folder: its own resources are read.
        EXPECT_EQ(Bundle::resourceDirectory(), buildTree);
        EXPECT_EQ(Bundle::pathForResource(QStringLiteral("magika_labels"), QStringLiteral("txt")),
            buildTree + QStringLiteral("/magika_labels.txt"));
    }
    {
        EnvironmentValue set("TINDLEWICK_RESOURCE_DIR", chosen.path());
        EXPECT_EQ(Bundle::resourceDirectories(), QStringList { chosen.path() });
        EXPECT_EQ(Bundle::searchedFolders(), QStringLiteral("looked in ") + chosen.path());
        EXPECT_EQ(Bundle::pathForResource(QStringLiteral("magika_labels"), QStringLiteral("txt")), QString());
        // A test's override stands before the environment.
        TemporaryResourceFolder overriding;
        EXPECT_EQ(Bundle::resourceDirectories(), QStringList { overriding.path() });
    }
}

} // namespace
