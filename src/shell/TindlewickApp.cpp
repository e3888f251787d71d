#include "shell/TindlewickApp.h"

#include "common/Diagnostics.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "platform/UnixSignalWatcher.h"
#include "platform/X11Session.h"

#include <QApplication>
#include <QMessageBox>

#include <sqlite3.h>

#include <cstdio>

namespace {

void showFatalError(const QString &message)
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        QMessageBox::critical(nullptr, QStringLiteral("Tindlewick"), message);
}

// Everything the user copied is in the store; fold the write-ahead log into it so the
// files on disk are complete on their own.
void checkpointStore(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK)
        sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

} // namespace

namespace TindlewickApp {

int run(int argc, char **argv)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    QString reason;
    if ((platform.isEmpty() || platform == "xcb") && !X11Session::canConnect(&reason)) {
        std::fprintf(stderr,
                     "Tindlewick needs an X11 display (%s). Start it from a desktop session; "
                     "on Wayland it runs through XWayland.\n",
                     reason.toLocal8Bit().constData());
        return 1;
    }
    if (platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tindlewick"));
    QApplication::setOrganizationName(QStringLiteral("Tindlewick"));
    QApplication::setApplicationVersion(QStringLiteral(TINDLEWICK_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    setFatalErrorHandler(&showFatalError);

    ModelContainer &container = sharedModelContainer();
    ModelContext *mainContext = container.mainContext();

    UnixSignalWatcher signals;
    QObject::connect(&signals, &UnixSignalWatcher::terminationRequested, &app, [] { QCoreApplication::quit(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&] {
        mainContext->save();
        checkpointStore(container.storePath());
    });
    return app.exec();
}

} // namespace TindlewickApp
