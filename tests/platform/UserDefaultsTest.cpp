#include "platform/UserDefaults.h"

#include "support/FileSizeLimit.h"
#include "support/ManualClock.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
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

namespace {

// The file in place now: each save writes a new one and renames it over the old.
ino_t fileIdentity(const QString &path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : ino_t(0);
}

} // namespace

// Each save waits for the disk: a value the store holds already, also one read back at a start,
// is not saved again.
TEST(UserDefaultsTest, OnlyAChangedValueIsWritten)
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/defaults.json");
    const QString key = QStringLiteral("key");
    // An invalid value: the key removed.
    const auto set = [&](UserDefaults &defaults, const QVariant &value) {
        if (value.isValid())
            defaults.setObject(key, value);
        else
            defaults.removeObject(key);
    };
    const QVariantMap map { { QStringLiteral("screen_A"), QStringLiteral("{10, 20}") } };
    QVariantMap more = map;
    more.insert(QStringLiteral("screen_B"), QStringLiteral("{1, 2}"));
    const struct
    {
        const char *name;
        QVariant first;
        QVariant then;
        bool written;
    } cases[] = {
        { "the same string", QStringLiteral("{640, 480}"), QStringLiteral("{640, 480}"), false },
        { "another string", QStringLiteral("{640, 480}"), QStringLiteral("{640, 481}"), true },
        { "the same number", 50.0, 50.0, false },
        { "the same number as an integer", 50.0, qint64(50), false },
        { "another number", 13.5, 13.25, true },
        { "the same Boolean", true, true, false },
        { "a Boolean where its number was", 1.0, true, true },
        { "a string where its number was", 1.0, QStringLiteral("1"), true },
        { "the same list", QStringList { QStringLiteral("a") }, QStringList { QStringLiteral("a") }, false },
        { "the same map", map, map, false },
        { "a map with one more screen", map, more, true },
        { "a value first set", QVariant(), 0.0, true },
        { "an absent value removed", QVariant(), QVariant(), false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        UserDefaults(path).setString(QStringLiteral("other"), QStringLiteral("kept"));
        for (const bool restarted : { false, true }) {
            SCOPED_TRACE(restarted ? "read back at a start" : "in the same run");
            auto defaults = std::make_unique<UserDefaults>(path);
            set(*defaults, c.first);
            if (restarted)
                defaults = std::make_unique<UserDefaults>(path);
            const ino_t before = fileIdentity(path);
            ASSERT_NE(before, ino_t(0));
            QSignalSpy changes(defaults.get(), &UserDefaults::valueChanged);
            set(*defaults, c.then);
            EXPECT_EQ(fileIdentity(path) != before, c.written);
            EXPECT_EQ(changes.count(), c.written ? 1 : 0);
        }
    }
}

// A save that failed is made by the next set, even of a value the store holds already.
TEST(UserDefaultsTest, TheValueAfterAFailedSaveIsWrittenAgain)
{
    QTemporaryDir home;
    // Where the settings' folder should be, a file: no save can succeed.
    const QString folder = home.path() + QStringLiteral("/Tindlewick");
    const QString path = folder + QStringLiteral("/defaults.json");
    {
        QFile blocking(folder);
        ASSERT_TRUE(blocking.open(QIODevice::WriteOnly));
    }
    UserDefaults defaults(path);
    CapturedDiagnostics diagnostics;
    defaults.setInteger(QStringLiteral("historyLimit"), 70);
    EXPECT_EQ(diagnostics.lines().size(), 1) << "the failed save is not reported";
    ASSERT_TRUE(QFile::remove(folder));
    defaults.setInteger(QStringLiteral("historyLimit"), 70);
    EXPECT_EQ(UserDefaults(path).integer(QStringLiteral("historyLimit")), 70);
    const ino_t written = fileIdentity(path);
    defaults.setInteger(QStringLiteral("historyLimit"), 70);
    EXPECT_EQ(fileIdentity(path), written) << "saved once more after it had succeeded";
}

// A save that finds no room (or no folder) leaves the file as it was, is told once for each
// cause until one succeeds, and is made again by itself: first firstRetryDelay later, then twice
// as long each time, up to maxRetryDelay.
TEST(UserDefaultsTest, AFailedSaveKeepsTheFileIsToldOncePerCauseAndIsMadeAgainOnceItCan)
{
    using namespace std::chrono_literals;
    QTemporaryDir home;
    const QString folder = home.path() + QStringLiteral("/Tindlewick");
    const QString path = folder + QStringLiteral("/defaults.json");
    ManualClock clock;
    UserDefaults defaults(path);
    defaults.setClock(clock);
    defaults.setString(QStringLiteral("excludedURLPatterns"), QString(300, u'x'));
    const QByteArray before = fileContents(path);
    CapturedDiagnostics diagnostics;
    QSignalSpy errors(&defaults, &UserDefaults::saveErrorChanged);
    QSignalSpy saves(&defaults, &UserDefaults::saved);
    const auto historyLimitOnDisk
        = [&] { return UserDefaults(path).integer(QStringLiteral("historyLimit")); };

    auto full = std::make_unique<FileSizeLimit>(0, 100);
    ASSERT_TRUE(full->isApplied());
    for (const qint64 limit : { 70, 80, 90 })
        defaults.setInteger(QStringLiteral("historyLimit"), limit);
    EXPECT_EQ(fileContents(path), before);
    EXPECT_EQ(defaults.integer(QStringLiteral("historyLimit")), 90) << "the value set is kept";
    const QString tooLarge = QString::fromLocal8Bit(std::strerror(EFBIG));
    EXPECT_EQ(defaults.saveError(), tooLarge);
    EXPECT_EQ(errors.count(), 1);
    EXPECT_EQ(diagnostics.lines().size(), 1) << diagnostics.lines().join(u'\n').toStdString();
    // Tried again 2 s after the last failure, then 4 s, 8 s later...
    clock.advance(2s + 4s);
    full->lift();
    clock.advance(8s - 1ms);
    EXPECT_EQ(saves.count(), 0) << "tried again sooner than twice the delay before";
    clock.advance(1ms);
    EXPECT_EQ(saves.count(), 1);
    EXPECT_EQ(historyLimitOnDisk(), 90);
    EXPECT_EQ(defaults.saveError(), QString());
    EXPECT_EQ(diagnostics.lines().size(), 2) << "a save that succeeds again is told";

    // Another cause is told too, once. The delay starts over after a success and grows to
    // maxRetryDelay, no further.
    full = std::make_unique<FileSizeLimit>(0, 100);
    defaults.setInteger(QStringLiteral("historyLimit"), 100);
    full.reset();
    ASSERT_TRUE(QDir().rename(folder, folder + QStringLiteral(".aside")));
    ASSERT_TRUE(QFile(folder).open(QIODevice::WriteOnly)) << "a file where the folder was";
    for (const auto delay : { 2s, 4s, 8s, 16s, 32s, 64s, 128s, 256s })
        clock.advance(delay);
    EXPECT_EQ(defaults.saveError(), QString::fromLocal8Bit(std::strerror(ENOTDIR)));
    EXPECT_EQ(diagnostics.lines().size(), 4) << diagnostics.lines().join(u'\n').toStdString();
    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(QDir().rename(folder + QStringLiteral(".aside"), folder));
    clock.advance(UserDefaults::maxRetryDelay - 1ms);
    EXPECT_EQ(historyLimitOnDisk(), 90);
    clock.advance(1ms);
    EXPECT_EQ(historyLimitOnDisk(), 100);
    EXPECT_EQ(UserDefaults(path).string(QStringLiteral("excludedURLPatterns")), QString(300, u'x'));
    EXPECT_EQ(errors.count(), 5);
    EXPECT_EQ(diagnostics.lines().size(), 5);
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

TEST(UserDefaultsTest, OnlyARegularFileOfReasonableSizeIsRead)
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/defaults.json");
    const struct
    {
        const char *name;
        std::function<bool()> make;
    } cases[] = {
        // Opening a FIFO for reading would wait for a writer for ever.
        { "a FIFO", [&] { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; } },
        // A device that never ends.
        { "a link to /dev/zero", [&] { return QFile::link(QStringLiteral("/dev/zero"), path); } },
        { "a folder", [&] { return QDir().mkpath(path); } },
        { "a file of a megabyte",
            [&] {
                QFile file(path);
                if (!file.open(QIODevice::WriteOnly))
                    return false;
                file.write("{\"historyLimit\": 70, \"pad\": \"" + QByteArray(UserDefaults::maxFileBytes, ' ')
                    + "\"}");
                return true;
            } },
    };
    for (const auto &c : cases) {
        for (const QString &name :
            QDir(folder.path())
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
            const QString entry = folder.filePath(name);
            if (QFileInfo(entry).isDir() && !QFileInfo(entry).isSymLink())
                QDir(entry).removeRecursively();
            else
                QFile::remove(entry);
        }
        ASSERT_TRUE(c.make()) << c.name;
        CapturedDiagnostics diagnostics;
        UserDefaults defaults(path);
        EXPECT_TRUE(defaults.keys().isEmpty()) << c.name;
        EXPECT_EQ(diagnostics.lines().size(), 1) << c.name;
        // The defaults can still be saved afterwards.
        defaults.setInteger(QStringLiteral("historyLimit"), 80);
        EXPECT_EQ(UserDefaults(path).integer(QStringLiteral("historyLimit")), 80) << c.name;
    }
}

TEST(UserDefaultsTest, TheSettingsFileIsTheUsersAlone)
{
    QTemporaryDir home;
    const QString folder = home.path() + QStringLiteral("/config/Tindlewick");
    const QString path = folder + QStringLiteral("/defaults.json");
    ::umask(022);
    {
        UserDefaults defaults(path);
        defaults.setString(QStringLiteral("key"), QStringLiteral("value"));
    }
    EXPECT_EQ(fileMode(folder), 0700u);
    EXPECT_EQ(fileMode(path), 0600u);

    // A file written before was readable by everyone: tightened when it is read at start.
    ::chmod(QFile::encodeName(path).constData(), 0644);
    UserDefaults again(path);
    EXPECT_EQ(fileMode(path), 0600u);
    again.setString(QStringLiteral("key"), QStringLiteral("other"));
    EXPECT_EQ(fileMode(path), 0600u) << "every save keeps the mode";
    EXPECT_EQ(UserDefaults(path).string(QStringLiteral("key")), QStringLiteral("other"));
}

TEST(UserDefaultsTest, ASettingsFileThatIsASymbolicLinkIsPrivateWhereverItLeads)
{
    const struct
    {
        const char *what;
        bool existed;
    } cases[] = { { "to settings readable by all", true }, { "dangling", false } };
    ::umask(022);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir home;
        const QString folder = home.path() + QStringLiteral("/config/Tindlewick");
        const QString path = folder + QStringLiteral("/defaults.json");
        const QString dotfiles = home.path() + QStringLiteral("/dotfiles");
        const QString target = dotfiles + QStringLiteral("/tindlewick.json");
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QDir().mkpath(dotfiles));
        if (c.existed) {
            QFile file(target);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("{\"historyLimit\": 60}");
            file.close();
            ::chmod(QFile::encodeName(target).constData(), 0644);
        }
        ASSERT_TRUE(QFile::link(QStringLiteral("../../dotfiles/tindlewick.json"), path));

        UserDefaults defaults(path);
        EXPECT_EQ(defaults.integer(QStringLiteral("historyLimit")),
            c.existed ? std::optional<qint64>(60) : std::nullopt);
        if (c.existed) {
            EXPECT_EQ(fileMode(target), 0600u) << "tightened when read";
        }
        defaults.setInteger(QStringLiteral("historyLimit"), 70);
        EXPECT_TRUE(QFileInfo(path).isSymLink()) << "the link was replaced";
        EXPECT_EQ(fileMode(target), 0600u);
        EXPECT_EQ(UserDefaults(path).integer(QStringLiteral("historyLimit")), 70);
        EXPECT_EQ(fileMode(dotfiles), 0755u) << "the folder the link leads to is left alone";
    }
}
