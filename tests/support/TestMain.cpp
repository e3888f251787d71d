// Test entry: a Qt application around GoogleTest. Unit tests run on the offscreen
// platform; the X11 tests run on the display that scripts/with-xserver.sh provides.
// Each process gets its own XDG folders, so tests running in parallel never share a
// store, a settings file or a cache; within a process, each test gets its own.
#include "support/TestIsolation.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);

    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/tindlewick-test-XXXXXX"));
    if (!home.isValid())
        return 2;
    TestIsolation::useHome(home.path());
#ifndef TINDLEWICK_X11_TESTS
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale::c());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tindlewick"));
    QApplication::setOrganizationName(QStringLiteral("Tindlewick"));
    ::testing::UnitTest::GetInstance()->listeners().Append(new TestIsolation(home.path()));
    return RUN_ALL_TESTS();
}
