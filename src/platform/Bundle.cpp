#include "platform/Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>

namespace {
QMutex g_overrideMutex;
QString g_override;
QString g_besideExecutable;
} // namespace

namespace Bundle {

QStringList resourceDirectories(const QString &executableDirectory, const QString &environmentDirectory)
{
    if (!environmentDirectory.isEmpty())
        return { environmentDirectory };
    return { QDir::cleanPath(executableDirectory + QStringLiteral("/../share/tindlewick")),
        QDir::cleanPath(executableDirectory + QStringLiteral("/resources")) };
}

QStringList resourceDirectories()
{
    QString executableDirectory;
    {
        QMutexLocker lock(&g_overrideMutex);
        if (!g_override.isEmpty())
            return { g_override };
        // Learnt while the application object exists and kept: work that ends after it has
        // gone still finds its resources.
        if (g_besideExecutable.isEmpty() && QCoreApplication::instance())
            g_besideExecutable = QCoreApplication::applicationDirPath();
        executableDirectory = g_besideExecutable;
    }
    return resourceDirectories(executableDirectory, qEnvironmentVariable("TINDLEWICK_RESOURCE_DIR"));
}
QString resourceDirectory()
{
    const QStringList directories = resourceDirectories();
    for (const QString &directory : directories) {
        if (QFileInfo(directory).isDir())
            return directory;
    }
    return directories.first();
}

QString findIn(const QStringList &directories, const QString &fileName)
{
    for (const QString &directory : directories) {
        const QString path = directory + QLatin1Char('/') + fileName;
        // A link that leads nowhere (or round in a loop) is there too: its reader says what it
        // is, rather than that nothing is there.
        const QFileInfo entry(path);
        if (entry.exists() || entry.isSymLink())
            return path;
    }
    return {};
}

QString pathForResource(const QString &name, const QString &extension)
{
    const QString fileName = extension.isEmpty() ? name : name + QLatin1Char('.') + extension;
    return findIn(resourceDirectories(), fileName);
}

QString searchedFolders()
{
    return QStringLiteral("looked in ") + resourceDirectories().join(QStringLiteral(" and "));
}

void setResourceDirectoryOverride(const QString &directory)
{
    QMutexLocker lock(&g_overrideMutex);
    g_override = directory;
}

} // namespace Bundle
