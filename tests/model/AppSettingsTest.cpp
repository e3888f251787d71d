#include "model/AppSettings.h"
#include "model/UrlBlacklist.h"

#include "common/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

using Format = ColorFormatter::Format;

namespace {

class AppSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }
    QString path() const { return m_folder.path() + QStringLiteral("/defaults.json"); }
    // Settings read from a store holding exactly these values.
    std::unique_ptr<AppSettings> settingsWith(const QVariantMap &stored)
    {
        QFile::remove(path());
        // Earlier stores stay alive: settings made from them may still be in use.
        m_stores.push_back(std::make_unique<UserDefaults>(path()));
        m_defaults = m_stores.back().get();
        for (auto it = stored.begin(); it != stored.end(); ++it)
            m_defaults->setObject(it.key(), it.value());
        return std::make_unique<AppSettings>(*m_defaults);
    }
    int postsOf(const QString &name, const std::function<void()> &action)
    {
        int count = 0;
        QObject context;
        NotificationCenter::defaultCenter().addObserver(
            name, &context, [&](const QVariantMap &) { ++count; });
        action();
        return count;
    }

    QTemporaryDir m_folder;
    std::vector<std::unique_ptr<UserDefaults>> m_stores;
    UserDefaults *m_defaults = nullptr;
};

} // namespace

TEST_F(AppSettingsTest, FirstStartGivesTheDefaultsAndWritesNothing)
{
    auto settings = settingsWith({});
    EXPECT_EQ(settings->historyLimit(), 50);
    EXPECT_EQ(settings->historyRetention(), AppSettings::HistoryRetention::eightHours);
    EXPECT_EQ(settings->fontSize(), 13.0);
    EXPECT_EQ(settings->codeTheme(), HighlightTheme::github);
    EXPECT_TRUE(settings->useLiquidGlass());
    EXPECT_TRUE(settings->detectCode());
    EXPECT_TRUE(settings->filterAdultContent());
    EXPECT_TRUE(settings->filterPasswords());
    EXPECT_TRUE(settings->debugShowTimestamps());
    EXPECT_FALSE(settings->removeTrackingParameters());
    EXPECT_FALSE(settings->debugShowCodeConfidenceLabels());
    EXPECT_FALSE(settings->showUpdateSuccessBanner());
    EXPECT_FALSE(settings->shareBannerDismissed());
    EXPECT_EQ(settings->excludedURLPatterns(), QString());
    EXPECT_EQ(settings->activationMode(), AppSettings::ActivationMode::shortcut);
    EXPECT_EQ(settings->doubleTapModifier(), AppSettings::DoubleTapModifier::option);
    EXPECT_EQ(settings->filesViewMode(), AppSettings::ColumnViewMode::list);
    EXPECT_EQ(settings->mediaViewMode(), AppSettings::ColumnViewMode::list);
    EXPECT_EQ(settings->colorsViewMode(), AppSettings::ColumnViewMode::list);
    EXPECT_EQ(settings->colorFormatOrder(),
        (QStringList {
            "hex", "rgb", "hsl", "hwb", "lab", "lch", "oklab", "oklch", "swiftUI", "nsColor", "uiColor" }));
    EXPECT_TRUE(settings->disabledColorFormats().isEmpty());
    EXPECT_EQ(settings->lastSeenVersion(), QString());
    EXPECT_FALSE(QFile::exists(path())) << "reading never writes";
}

TEST_F(AppSettingsTest, StoredHistoryLimitsAndRetentionsAreReadStrictly)
{
    using R = AppSettings::HistoryRetention;
    const struct
    {
        QVariant stored;
        R expected;
    } retentions[] = {
        { 28800, R::eightHours },
        { 1234, R::eightHours },
        { QStringLiteral("1800"), R::eightHours },
        { 1800, R::thirtyMinutes },
        { 604800, R::sevenDays },
        { 1800.5, R::eightHours },
        { true, R::eightHours },
    };
    for (const auto &test : retentions)
        EXPECT_EQ(settingsWith({ { "historyRetention", test.stored } })->historyRetention(), test.expected)
            << test.stored.toString().toStdString();

    const struct
    {
        QVariant stored;
        qint64 expected;
    } limits[] = {
        { 120, 120 },
        { 120.0, 120 },
        { 120.5, 50 },
        { QStringLiteral("120"), 50 },
        { false, 50 },
        // A limit below one would delete every unpinned item at start: it is no limit
        // anyone chose, and reads as the default.
        { 0, 50 },
        { -5, 50 },
        { 1, 1 },
    };
    for (const auto &test : limits)
        EXPECT_EQ(settingsWith({ { "historyLimit", test.stored } })->historyLimit(), test.expected)
            << test.stored.toString().toStdString();
}

TEST_F(AppSettingsTest, StoredChoicesAreReadStrictly)
{
    EXPECT_EQ(settingsWith({ { "activationMode", "DoubleTap" } })->activationMode(),
        AppSettings::ActivationMode::shortcut);
    EXPECT_EQ(settingsWith({ { "activationMode", "doubleTap" } })->activationMode(),
        AppSettings::ActivationMode::doubleTap);
    EXPECT_EQ(
        settingsWith({ { "filesViewMode", "Grid" } })->filesViewMode(), AppSettings::ColumnViewMode::list);
    EXPECT_EQ(
        settingsWith({ { "mediaViewMode", "grid" } })->mediaViewMode(), AppSettings::ColumnViewMode::grid);
    EXPECT_EQ(settingsWith({ { "doubleTapModifier", "shift" } })->doubleTapModifier(),
        AppSettings::DoubleTapModifier::shift);
    EXPECT_EQ(settingsWith({ { "doubleTapModifier", "Shift" } })->doubleTapModifier(),
        AppSettings::DoubleTapModifier::option);
    EXPECT_EQ(settingsWith({ { "codeTheme", "Xcode" } })->codeTheme(), HighlightTheme::xcode);
    EXPECT_EQ(settingsWith({ { "codeTheme", "xcode" } })->codeTheme(), HighlightTheme::github);
    EXPECT_EQ(settingsWith({ { "codeTheme", "Tokyo Night" } })->codeTheme(), HighlightTheme::tokyoNight);
    EXPECT_FALSE(settingsWith({ { "detectCode", 0 } })->detectCode());
    EXPECT_TRUE(settingsWith({ { "detectCode", 2 } })->detectCode()) << "2 is no Boolean: the default holds";
    EXPECT_TRUE(settingsWith({ { "detectCode", "false" } })->detectCode());
    EXPECT_EQ(settingsWith({ { "fontSize", "15" } })->fontSize(), 13.0);
}

TEST_F(AppSettingsTest, TheCodeFontSizeStaysWithinWhatTheSettingsOffer)
{
    const struct
    {
        double stored;
        double expected;
    } fontSizes[] = { { 15.5, 15.5 }, { 10, 10 }, { 16, 16 }, { 9.5, 10 }, { 0, 10 }, { -3, 10 },
        { 16.5, 16 }, { 4000, 16 } };
    for (const auto &test : fontSizes)
        EXPECT_EQ(settingsWith({ { "fontSize", test.stored } })->fontSize(), test.expected) << test.stored;
}

TEST_F(AppSettingsTest, ColorFormatOrderIgnoresUnknownNamesAndAppendsMissingFormats)
{
    auto settings = settingsWith({ { "colorFormatOrder", QStringList { "rgb", "mauve" } } });
    EXPECT_EQ(settings->orderedColorFormats(),
        (QList<Format> { Format::rgb, Format::hex, Format::hsl, Format::hwb, Format::lab, Format::lch,
            Format::oklab, Format::oklch, Format::swiftUI, Format::nsColor, Format::uiColor }));
    auto plainString = settingsWith({ { "colorFormatOrder", "rgb" } });
    EXPECT_EQ(plainString->orderedColorFormats().first(), Format::hex);
    auto mixedList = settingsWith({ { "colorFormatOrder", QVariantList { "rgb", 3 } } });
    EXPECT_EQ(mixedList->orderedColorFormats().first(), Format::hex);
}

TEST_F(AppSettingsTest, SettersWriteAlwaysButNotifyObserversOnlyOnChange)
{
    auto settings = settingsWith({});
    QSignalSpy detectSpy(settings.get(), &AppSettings::detectCodeChanged);
    EXPECT_EQ(postsOf(Notifications::detectCodeSettingChanged, [&] { settings->setDetectCode(true); }), 1);
    EXPECT_EQ(detectSpy.count(), 0);
    EXPECT_EQ(m_defaults->boolean(QStringLiteral("detectCode")), true);
    EXPECT_EQ(postsOf(Notifications::detectCodeSettingChanged, [&] { settings->setDetectCode(false); }), 1);
    EXPECT_EQ(detectSpy.count(), 1);

    // Every notifying setter posts its name even when nothing changes.
    EXPECT_EQ(postsOf(Notifications::activationModeChanged,
                  [&] {
                      settings->setActivationMode(AppSettings::ActivationMode::shortcut);
                      settings->setDoubleTapModifier(AppSettings::DoubleTapModifier::option);
                  }),
        2);
    EXPECT_EQ(
        postsOf(Notifications::liquidGlassSettingChanged, [&] { settings->setUseLiquidGlass(true); }), 1);

    // The theme setter empties the highlight cache before it tells anyone.
    QStringList order;
    settings->setCodeThemeWillChangeHandler([&] { order.append(QStringLiteral("cache cleared")); });
    QObject context;
    NotificationCenter::defaultCenter().addObserver(Notifications::codeThemeChanged, &context,
        [&](const QVariantMap &) { order.append(QStringLiteral("posted")); });
    settings->setCodeTheme(HighlightTheme::github);
    EXPECT_EQ(order, (QStringList { "cache cleared", "posted" }));

    QSignalSpy limitSpy(settings.get(), &AppSettings::historyLimitChanged);
    settings->setHistoryLimit(50);
    EXPECT_EQ(limitSpy.count(), 0);
    EXPECT_EQ(m_defaults->integer(QStringLiteral("historyLimit")), 50) << "written although unchanged";
    settings->setHistoryRetention(AppSettings::HistoryRetention::sevenDays);
    EXPECT_EQ(m_defaults->integer(QStringLiteral("historyRetention")), 604800);

    // The banner flag is never stored.
    settings->setShowUpdateSuccessBanner(true);
    EXPECT_FALSE(m_defaults->contains(QStringLiteral("showUpdateSuccessBanner")));
}

TEST_F(AppSettingsTest, ValuesSurviveARestart)
{
    {
        auto settings = settingsWith({});
        settings->setHistoryLimit(120);
        settings->setFontSize(15.5);
        settings->setCodeTheme(HighlightTheme::tokyoNight);
        settings->setColorsViewMode(AppSettings::ColumnViewMode::grid);
        settings->setExcludedURLPatterns(QStringLiteral("bank\nmail"));
        settings->toggleColorFormat(Format::lab);
        settings->setShareBannerDismissed(true);
    }
    m_stores.clear();
    UserDefaults reopened(path());
    AppSettings settings(reopened);
    EXPECT_EQ(settings.historyLimit(), 120);
    EXPECT_EQ(settings.fontSize(), 15.5);
    EXPECT_EQ(settings.codeTheme(), HighlightTheme::tokyoNight);
    EXPECT_EQ(reopened.string(QStringLiteral("codeTheme")), QStringLiteral("Tokyo Night"));
    EXPECT_EQ(settings.colorsViewMode(), AppSettings::ColumnViewMode::grid);
    EXPECT_EQ(settings.excludedPatternList(), (QStringList { "bank", "mail" }));
    EXPECT_EQ(settings.disabledColorFormats(), QSet<QString> { QStringLiteral("lab") });
    EXPECT_TRUE(settings.shareBannerDismissed());
}

TEST_F(AppSettingsTest, UrlBlacklistTrimsEntriesAndMatchesSubstringsInAnyCase)
{
    auto settings = settingsWith({});
    EXPECT_FALSE(settings->isURLExcluded(QStringLiteral("https://anything.example")));
    settings->setExcludedURLPatterns(QStringLiteral("\n   \n \tBank \t\n"));
    EXPECT_EQ(settings->excludedPatternList(), QStringList { QStringLiteral("Bank") });
    const struct
    {
        const char *url;
        bool excluded;
    } cases[] = {
        { "https://mybank.example/login", true },
        { "HTTPS://MYBANK.EXAMPLE", true },
        { "https://banana.example", false },
        { "", false },
    };
    for (const auto &test : cases)
        EXPECT_EQ(settings->isURLExcluded(QString::fromUtf8(test.url)), test.excluded) << test.url;
}

TEST_F(AppSettingsTest, TheBlacklistIsReadOncePerListAndAReadingHandedOutKeepsItsList)
{
    auto settings = settingsWith({});
    settings->setExcludedURLPatterns(QStringLiteral("first.example"));
    const std::shared_ptr<const UrlBlacklist::Matcher> first = settings->urlBlacklist();
    EXPECT_EQ(settings->urlBlacklist(), first) << "read again for the same list";
    settings->setExcludedURLPatterns(QStringLiteral("first.example"));
    EXPECT_EQ(settings->urlBlacklist(), first) << "read again after setting the same list";

    settings->setExcludedURLPatterns(QStringLiteral("second.example"));
    const std::shared_ptr<const UrlBlacklist::Matcher> second = settings->urlBlacklist();
    EXPECT_NE(second, first);
    EXPECT_TRUE(second->isExcluded(u"https://second.example/"));
    EXPECT_FALSE(second->isExcluded(u"https://first.example/"));
    EXPECT_FALSE(settings->isURLExcluded(QStringLiteral("https://first.example/")));
    // A capture still working with the list it started with.
    EXPECT_TRUE(first->isExcluded(u"https://first.example/"));
}

TEST_F(AppSettingsTest, ToggleAndMoveColorFormats)
{
    auto settings = settingsWith({});
    QSignalSpy disabledSpy(settings.get(), &AppSettings::disabledColorFormatsChanged);
    settings->toggleColorFormat(Format::hwb);
    EXPECT_EQ(settings->disabledColorFormats(), QSet<QString> { QStringLiteral("hwb") });
    settings->toggleColorFormat(Format::hwb);
    EXPECT_TRUE(settings->disabledColorFormats().isEmpty());
    EXPECT_EQ(disabledSpy.count(), 2);
    EXPECT_EQ(m_defaults->stringList(QStringLiteral("disabledColorFormats")), QStringList());

    const struct
    {
        QSet<int> from;
        int to;
        QStringList expectedPrefix;
    } moves[] = {
        { {}, 0, { "hex", "rgb", "hsl" } },
        { { 0 }, 3, { "rgb", "hsl", "hex", "hwb" } },
        { { 2 }, 0, { "hsl", "hex", "rgb" } },
        { { 0, 2 }, 11, { "rgb", "hwb", "lab" } },
        { { 1 }, 1, { "hex", "rgb", "hsl" } },
    };
    for (const auto &move : moves) {
        auto fresh = settingsWith({});
        fresh->moveColorFormats(move.from, move.to);
        const QStringList stored
            = m_defaults->stringList(QStringLiteral("colorFormatOrder")).value_or(QStringList());
        ASSERT_EQ(stored.size(), 11);
        EXPECT_EQ(stored.mid(0, move.expectedPrefix.size()), move.expectedPrefix);
        EXPECT_EQ(QSet<QString>(stored.begin(), stored.end()).size(), 11);
    }
    auto endMove = settingsWith({});
    endMove->moveColorFormats({ 0, 2 }, 11);
    EXPECT_EQ(endMove->colorFormatOrder().mid(9), (QStringList { "hex", "hsl" }));
}

TEST_F(AppSettingsTest, LaunchAtLoginWritesAnAutostartEntryAndReportsFailures)
{
    auto settings = settingsWith({});
    CapturedDiagnostics diagnostics;
    const QString entry = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/tindlewick.desktop");
    settings->setLaunchAtLogin(true);
    ASSERT_TRUE(QFile::exists(entry));
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("Exec="));
    file.close();
    settings->setLaunchAtLogin(false);
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_TRUE(diagnostics.lines().isEmpty());

    // A folder where the entry should be cannot be removed as a file.
    QDir().mkpath(entry);
    settings->setLaunchAtLogin(false);
    ASSERT_EQ(diagnostics.lines().size(), 1);
    EXPECT_TRUE(
        diagnostics.lines().first().startsWith(QStringLiteral("Failed to disable launch at login: ")));
    // The folder would stand in the way of the next test that switches it on.
    EXPECT_TRUE(QDir(entry).removeRecursively());
}
