// Test entry: a Qt application around GoogleTest. Unit tests run on the offscreen
// platform; the X11 tests run on the display that scripts/with-xserver.sh provides.
// Each process gets its own XDG folders, so tests running in parallel never share a
// store, a settings file or a cache; within a process, each test gets its own.
#include "support/CrashReport.h"
#include "support/TestIsolation.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>

#ifdef TINDLEWICK_X11_TESTS
// The X11 tests lay windows out in this process to know where to click in the app's, so both
// must take the same look whatever desktop the machine runs and whichever theme packages it
// has. Qt tries the theme named here first and, where it is not installed, the desktop's;
// with the desktop unset that is the generic look, and an app a test starts as an Xfce
// session's falls back to the GNOME look, laid out alike. Nor may a session bus of the
// machine take the tray icon away from the tests' tray.
void pinTheDesktopLook()
{
    for (const char *name :
        { "XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
            "GNOME_DESKTOP_SESSION_ID", "QT_STYLE_OVERRIDE", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
            "QT_FONT_DPI", "GTK_THEME", "DBUS_SESSION_BUS_ADDRESS", "QT_IM_MODULE", "XMODIFIERS" })
        qunsetenv(name);
    // Without the GTK theme plugin, Qt builds the theme itself from the first name it knows:
    // "gnome" then stands for every desktop alike (an Xfce session's would otherwise differ
    // from this process's generic look).
    const bool gtkPluginInstalled = QFileInfo::exists(
        QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platformthemes/libqgtk3.so"));
    qputenv("QT_QPA_PLATFORMTHEME", gtkPluginInstalled ? "gtk3" : "gnome");
}
#endif

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    CrashReport::install();

    // A helper process that a test starts from this program (a clipboard owner, a test window)
    // is often ended by a signal, which leaves its folders behind: they go inside the home of
    // the test that started it, and go with that test's.
    const bool startedByATest = qEnvironmentVariableIsSet("TINDLEWICK_TEST_PROCESS");
    qputenv("TINDLEWICK_TEST_PROCESS", "1");
    // The run may be one shard of the suite (ctest runs the X11 tests in parts); a helper
    // process names its one test and must run it whichever part started it.
    if (startedByATest) {
        qunsetenv("GTEST_TOTAL_SHARDS");
        qunsetenv("GTEST_SHARD_INDEX");
    }
    QTemporaryDir home((startedByATest ? qEnvironmentVariable("HOME") : QDir::tempPath())
        + QStringLiteral("/tindlewick-test-XXXXXX"));
    if (!home.isValid())
        return 2;
    // Pictures kept for a person outlive the run: in the machine's temporary folder, not in
    // the one each test gets of its own.
    if (qEnvironmentVariableIsEmpty("TINDLEWICK_ARTEFACT_DIR"))
        qputenv("TINDLEWICK_ARTEFACT_DIR",
            (QDir::tempPath() + QStringLiteral("/tindlewick-artefacts")).toLocal8Bit());
    TestIsolation::useHome(home.path());
#ifndef TINDLEWICK_X11_TESTS
    qputenv("QT_QPA_PLATFORM", "offscreen");
#else
    pinTheDesktopLook();
#endif
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale::c());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tindlewick"));
    QApplication::setOrganizationName(QStringLiteral("Tindlewick"));
    ::testing::UnitTest::GetInstance()->listeners().Append(new TestIsolation(home.path()));
    return RUN_ALL_TESTS();
}
