#include "platform/UserDefaults.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

TEST(UserDefaultsTest, ValuesKeepTheirTypesAcrossARestart)
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/sub/defaults.json");
    {
        UserDefaults defaults(path);
        defaults.setInteger(QStringLiteral("int"), 50);
        defaults.setNumber(QStringLiteral("double"), 13.5);
        defaults.setBoolean(QStringLiteral("bool"), false);
        defaults.setString(QStringLiteral("string"), QStringLiteral("ü"));
        defaults.setStringList(QStringLiteral("list"), { QStringLiteral("a"), QStringLiteral("b") });
        defaults.setObject(
            QStringLiteral("map"), QVariantMap { { QStringLiteral("Screen"), QStringLiteral("{1, 2}") } });
    }
    UserDefaults defaults(path);
    EXPECT_EQ(defaults.integer(QStringLiteral("int")), 50);
    EXPECT_EQ(defaults.number(QStringLiteral("double")), 13.5);
    EXPECT_EQ(defaults.boolean(QStringLiteral("bool")), false);
    EXPECT_EQ(defaults.string(QStringLiteral("string")), QStringLiteral("ü"));
    EXPECT_EQ(defaults.stringList(QStringLiteral("list")), (QStringList { "a", "b" }));
    EXPECT_EQ(defaults.object(QStringLiteral("map")).toMap().value(QStringLiteral("Screen")).toString(),
        QStringLiteral("{1, 2}"));

    // Strict typed reads.
    EXPECT_EQ(defaults.integer(QStringLiteral("double")), std::nullopt);
    EXPECT_EQ(defaults.integer(QStringLiteral("bool")), std::nullopt);
    EXPECT_EQ(defaults.boolean(QStringLiteral("string")), std::nullopt);
    EXPECT_EQ(defaults.stringList(QStringLiteral("string")), std::nullopt);
    EXPECT_EQ(defaults.string(QStringLiteral("int")), QStringLiteral("50"));
    EXPECT_EQ(defaults.string(QStringLiteral("missing")), std::nullopt);

    defaults.removeObject(QStringLiteral("int"));
    EXPECT_FALSE(UserDefaults(path).contains(QStringLiteral("int")));
}

TEST(UserDefaultsTest, AnUnreadableFileIsKeptAsideAndDefaultsApply)
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/defaults.json");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{ \"historyLimit\": 1");
    }
    CapturedDiagnostics diagnostics;
    UserDefaults defaults(path);
    EXPECT_FALSE(defaults.contains(QStringLiteral("historyLimit")));
    ASSERT_EQ(diagnostics.lines().size(), 1);
    EXPECT_TRUE(diagnostics.lines().first().startsWith(QStringLiteral("[UserDefaults] ")));
    const QStringList kept = QDir(folder.path()).entryList({ QStringLiteral("defaults.json.unreadable-*") });
    EXPECT_EQ(kept.size(), 1);
    defaults.setInteger(QStringLiteral("historyLimit"), 70);
    EXPECT_EQ(UserDefaults(path).integer(QStringLiteral("historyLimit")), 70);
}
