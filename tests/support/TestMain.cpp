// Test entry: a Qt application around GoogleTest. Unit tests run on the offscreen
// platform; the X11 tests run on the display that scripts/with-xserver.sh provides.
// Each process gets its own XDG folders, so tests running in parallel never share a
// store, a settings file or a cache.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);

    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/tindlewick-test-XXXXXX"));
    if (!home.isValid())
        return 2;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toLocal8Bit());
    QDir().mkpath(home.path() + QStringLiteral("/runtime"));
    QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", (home.path() + QStringLiteral("/runtime")).toLocal8Bit());
#ifndef TINDLEWICK_X11_TESTS
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale::c());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tindlewick"));
    QApplication::setOrganizationName(QStringLiteral("Tindlewick"));
    return RUN_ALL_TESTS();
}
