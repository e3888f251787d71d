#include "platform/Bundle.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutex>

namespace {
QMutex g_overrideMutex;
QString g_override;
QString g_besideExecutable;
} // namespace

namespace Bundle {

QString resourceDirectory()
{
    QMutexLocker lock(&g_overrideMutex);
    if (!g_override.isEmpty())
        return g_override;
    const QByteArray fromEnvironment = qgetenv("TINDLEWICK_RESOURCE_DIR");
    if (!fromEnvironment.isEmpty())
        return QString::fromLocal8Bit(fromEnvironment);
    if (g_besideExecutable.isEmpty() && QCoreApplication::instance())
        g_besideExecutable = QCoreApplication::applicationDirPath() + QStringLiteral("/resources");
    return g_besideExecutable;
}

QString pathForResource(const QString &name, const QString &extension)
{
    const QString fileName = extension.isEmpty() ? name : name + QLatin1Char('.') + extension;
    const QString path = resourceDirectory() + QLatin1Char('/') + fileName;
    return QFileInfo::exists(path) ? path : QString();
}

void setResourceDirectoryOverride(const QString &directory)
{
    QMutexLocker lock(&g_overrideMutex);
    g_override = directory;
}

} // namespace Bundle
