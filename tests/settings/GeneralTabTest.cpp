#include "settings/GeneralTab.h"

#include "platform/LaunchAtLogin.h"
#include "settings/SettingsTestSupport.h"
#include "support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

#include <cerrno>
#include <cstring>
#include <optional>

namespace {

class GeneralTabTest : public SettingsTest
{
};

TEST_F(GeneralTabTest, TheVersionLineNeedsBothParts)
{
    const struct
    {
        std::optional<QString> shortVersion;
        std::optional<QString> build;
        std::optional<QString> line;
    } cases[] = {
        { QStringLiteral("1.0"), QStringLiteral("7"), QStringLiteral("Tindlewick v1.0 (7)") },
        { QStringLiteral("2.3.1"), QStringLiteral("2.3.1"), QStringLiteral("Tindlewick v2.3.1 (2.3.1)") },
        { QStringLiteral("1.0"), std::nullopt, std::nullopt },
        { std::nullopt, QStringLiteral("7"), std::nullopt },
        { std::nullopt, std::nullopt, std::nullopt },
    };
    for (const auto &c : cases)
        EXPECT_EQ(GeneralTab::versionLine(c.shortVersion, c.build), c.line);
}

TEST_F(GeneralTabTest, TheTabShowsTheRunningVersionWhenThereIsOne)
{
    const QString before = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QString());
    EXPECT_EQ(GeneralTab(settings).versionLabel(), nullptr);
    QCoreApplication::setApplicationVersion(QStringLiteral("4.5.6"));
    GeneralTab tab(settings);
    ASSERT_NE(tab.versionLabel(), nullptr);
    EXPECT_EQ(tab.versionLabel()->text(), QStringLiteral("Tindlewick v4.5.6 (4.5.6)"));
    QCoreApplication::setApplicationVersion(before);
}

TEST_F(GeneralTabTest, TheLoginSwitchWritesAndRemovesTheAutostartEntryAndShowsWhatIsThere)
{
    GeneralTab tab(settings);
    QCheckBox *toggle = tab.launchAtLoginSwitch();
    const QString entry = LaunchAtLogin::autostartEntryPath();
    EXPECT_FALSE(toggle->isChecked());

    toggle->click();
    ASSERT_TRUE(QFileInfo(entry).isFile());
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray contents = file.readAll();
    // The applications-menu entry for the running program, so a login starts what the menu starts.
    EXPECT_EQ(
        QString::fromUtf8(contents), LaunchAtLogin::autostartEntry(QCoreApplication::applicationFilePath()));
    EXPECT_TRUE(contents.startsWith("[Desktop Entry]\n"));
    for (const char *line : { "\nName=Tindlewick\n", "\nIcon=tindlewick\n", "\nStartupWMClass=Tindlewick\n",
             "\nX-GNOME-Autostart-enabled=true\n" })
        EXPECT_TRUE(contents.contains(line)) << line;
    EXPECT_TRUE(contents.contains(("\nExec=\"" + QCoreApplication::applicationFilePath() + "\"\n").toUtf8()));
    EXPECT_TRUE(toggle->isChecked());

    toggle->click();
    EXPECT_FALSE(QFileInfo::exists(entry));
    EXPECT_FALSE(toggle->isChecked());

    // Written or removed elsewhere: the switch shows it the next time the tab is shown.
    ASSERT_TRUE(LaunchAtLogin::setEnabled(true, nullptr));
    tab.show();
    EXPECT_TRUE(toggle->isChecked());
    tab.hide();
    ASSERT_TRUE(LaunchAtLogin::setEnabled(false, nullptr));
    tab.show();
    EXPECT_FALSE(toggle->isChecked());
}

// No entry is left in part: the switch stays off and says why under it, and the log says it
// once; once the cause is gone, the next click writes the entry whole.
TEST_F(GeneralTabTest, AFailedLoginSwitchIsToldAndTheSwitchShowsTheEntryAsItIs)
{
    const QString entry = LaunchAtLogin::autostartEntryPath();
    const QString folder = QFileInfo(entry).absolutePath();
    const struct
    {
        const char *name;
        bool folderBlocked;
        QString error;
    } cases[] = {
        { "a file where the autostart folder should be", true,
            QStringLiteral("Could not create the folder ") + folder },
        { "room for part of the entry", false, QString::fromLocal8Bit(std::strerror(EFBIG)) },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder).removeRecursively();
        QDir().mkpath(QFileInfo(folder).absolutePath());
        std::optional<FileSizeLimit> limit;
        if (c.folderBlocked)
            ASSERT_TRUE(QFile(folder).open(QIODevice::WriteOnly));
        else
            limit.emplace(0, 100);
        GeneralTab tab(settings);
        CapturedDiagnostics diagnostics;

        tab.launchAtLoginSwitch()->click();
        limit.reset();
        EXPECT_FALSE(tab.launchAtLoginSwitch()->isChecked());
        EXPECT_FALSE(QFileInfo::exists(entry));
        EXPECT_FALSE(tab.launchAtLoginError()->isHidden());
        EXPECT_EQ(tab.launchAtLoginError()->text(),
            QStringLiteral("Launch at Login could not be turned on: ") + c.error);
        EXPECT_EQ(diagnostics.lines(),
            QStringList { QStringLiteral("Failed to enable launch at login: ") + c.error });

        QFile::remove(folder);
        tab.launchAtLoginSwitch()->click();
        EXPECT_TRUE(tab.launchAtLoginSwitch()->isChecked());
        EXPECT_TRUE(tab.launchAtLoginError()->isHidden());
        QFile written(entry);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(written.readAll()),
            LaunchAtLogin::autostartEntry(QCoreApplication::applicationFilePath()));
        ASSERT_TRUE(LaunchAtLogin::setEnabled(false, nullptr));
    }
}

TEST_F(GeneralTabTest, TheSwitchesWriteTheirSettingsAtOnceAndFollowThem)
{
    GeneralTab tab(settings);
    EXPECT_TRUE(tab.detectCodeSwitch()->isChecked());
    EXPECT_FALSE(tab.removeTrackingParametersSwitch()->isChecked());

    // Each flip of code detection is announced once, so the models follow it.
    for (const bool expected : { false, true, false }) {
        EXPECT_EQ(
            postsOf(Notifications::detectCodeSettingChanged, [&] { tab.detectCodeSwitch()->click(); }), 1);
        EXPECT_EQ(settings.detectCode(), expected);
        EXPECT_EQ(defaults.boolean(QStringLiteral("detectCode")), expected);
    }
    tab.removeTrackingParametersSwitch()->click();
    EXPECT_TRUE(settings.removeTrackingParameters());
    EXPECT_EQ(defaults.boolean(QStringLiteral("removeTrackingParameters")), true);

    settings.setDetectCode(true);
    settings.setRemoveTrackingParameters(false);
    EXPECT_TRUE(tab.detectCodeSwitch()->isChecked());
    EXPECT_FALSE(tab.removeTrackingParametersSwitch()->isChecked());
}

TEST_F(GeneralTabTest, CheckForUpdatesRunsTheActionAndWithoutOneDoesNothing)
{
    GeneralTab tab(settings);
    const int windowsBefore = int(QApplication::topLevelWidgets().size());
    tab.checkForUpdatesButton()->click();
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);

    int checks = 0;
    tab.setCheckForUpdatesAction([&] { ++checks; });
    tab.checkForUpdatesButton()->click();
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(tab.checkForUpdatesButton()->text(), QStringLiteral("Check for Updates..."));
}

} // namespace
