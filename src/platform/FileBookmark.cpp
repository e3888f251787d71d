#include "platform/FileBookmark.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>

namespace {

struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
};

std::optional<FileIdentity> identityOf(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity { quint64(info.st_dev), quint64(info.st_ino) };
}

} // namespace

namespace FileBookmark {

std::optional<QByteArray> create(const QUrl &fileUrl)
{
    if (!fileUrl.isLocalFile())
        return std::nullopt;
    const QString path = fileUrl.toLocalFile();
    const std::optional<FileIdentity> identity = identityOf(path);
    if (!identity)
        return std::nullopt;
    QJsonObject object;
    object[QStringLiteral("path")] = path;
    object[QStringLiteral("device")] = QString::number(identity->device);
    object[QStringLiteral("inode")] = QString::number(identity->inode);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<QUrl> resolve(const QByteArray &bookmark)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bookmark, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QString path = object.value(QStringLiteral("path")).toString();
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return std::nullopt;
    if (QFileInfo::exists(path))
        return QUrl::fromLocalFile(path);

    bool deviceOk = false;
    bool inodeOk = false;
    const FileIdentity wanted { object.value(QStringLiteral("device")).toString().toULongLong(&deviceOk),
        object.value(QStringLiteral("inode")).toString().toULongLong(&inodeOk) };
    if (!deviceOk || !inodeOk)
        return std::nullopt;
    const QDir folder = QFileInfo(path).dir();
    const QStringList entries
        = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        const QString candidate = folder.filePath(entry);
        const std::optional<FileIdentity> identity = identityOf(candidate);
        if (identity && identity->device == wanted.device && identity->inode == wanted.inode)
            return QUrl::fromLocalFile(candidate);
    }
    return std::nullopt;
}

} // namespace FileBookmark
