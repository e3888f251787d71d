#include "platform/FileBookmark.h"

#include "platform/FilePaths.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <dirent.h>
#include <sys/stat.h>

namespace {

struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
};

std::optional<FileIdentity> identityOf(const QByteArray &path)
{
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity { quint64(info.st_dev), quint64(info.st_ino) };
}

// The entry of the folder with that identity, by its name's bytes (QDir leaves out names that
// are not UTF-8).
std::optional<QByteArray> entryWithIdentity(const QByteArray &folder, const FileIdentity &wanted)
{
    DIR *listing = ::opendir(folder.constData());
    if (!listing)
        return std::nullopt;
    std::optional<QByteArray> found;
    while (const dirent *entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray candidate = folder + (folder.endsWith('/') ? QByteArray() : QByteArray("/")) + name;
        const std::optional<FileIdentity> identity = identityOf(candidate);
        if (identity && identity->device == wanted.device && identity->inode == wanted.inode) {
            found = candidate;
            break;
        }
    }
    ::closedir(listing);
    return found;
}

// Where the bookmark says the file was: its bytes, kept beside the path's text when they are no
// UTF-8 (which the text cannot hold).
QByteArray recordedPath(const QJsonObject &object)
{
    const QJsonValue bytes = object.value(QStringLiteral("pathBytes"));
    if (bytes.isString())
        return QByteArray::fromBase64(bytes.toString().toLatin1());
    return FilePaths::toNative(object.value(QStringLiteral("path")).toString());
}

} // namespace

namespace FileBookmark {

std::optional<QByteArray> create(const QUrl &fileUrl)
{
    if (!fileUrl.isLocalFile())
        return std::nullopt;
    const QString path = FilePaths::ofUrl(fileUrl);
    const QByteArray native = FilePaths::toNative(path);
    const std::optional<FileIdentity> identity = identityOf(native);
    if (!identity)
        return std::nullopt;
    QJsonObject object;
    object[QStringLiteral("path")] = FilePaths::forDisplay(path);
    if (FilePaths::fromNative(native) != QString::fromUtf8(native))
        object[QStringLiteral("pathBytes")] = QString::fromLatin1(native.toBase64());
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
    const QByteArray path = recordedPath(object);
    if (path.isEmpty() || !path.startsWith('/') || path.contains('\0'))
        return std::nullopt;
    if (identityOf(path))
        return FilePaths::toUrl(FilePaths::fromNative(path));

    bool deviceOk = false;
    bool inodeOk = false;
    const FileIdentity wanted { object.value(QStringLiteral("device")).toString().toULongLong(&deviceOk),
        object.value(QStringLiteral("inode")).toString().toULongLong(&inodeOk) };
    if (!deviceOk || !inodeOk)
        return std::nullopt;
    const qsizetype slash = path.lastIndexOf('/');
    const std::optional<QByteArray> found
        = entryWithIdentity(slash == 0 ? QByteArray("/") : path.first(slash), wanted);
    if (!found)
        return std::nullopt;
    return FilePaths::toUrl(FilePaths::fromNative(*found));
}

} // namespace FileBookmark
