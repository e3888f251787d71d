#include "platform/UserDefaults.h"

#include "common/Diagnostics.h"
#include "platform/AtomicFile.h"
#include "platform/PrivateFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
UserDefaults *g_standard = nullptr;
} // namespace

UserDefaults &UserDefaults::standard()
{
    // Made on the main thread, at start.
    if (!g_standard)
        g_standard = new UserDefaults(standardFilePath());
    return *g_standard;
}

bool UserDefaults::hasStandard()
{
    return g_standard;
}

QString UserDefaults::standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Tindlewick/defaults.json");
}

UserDefaults::UserDefaults(QString filePath, QObject *parent)
    : QObject(parent)
    , m_filePath(std::move(filePath))
{
    load();
}

void UserDefaults::reload()
{
    load();
}

namespace {

// What reading the settings file gave: its bytes, or why they are not used.
struct FileRead
{
    enum class Outcome { missing, read, unreadable, refused };
    Outcome outcome = Outcome::missing;
    QByteArray bytes;
    QString reason;
};

// Reads the file only when it is a regular file of reasonable size. Opening never blocks (a
// FIFO in its place would otherwise hang the start until someone writes to it), and at
// most maxFileBytes are read (a device such as /dev/zero never ends).
FileRead readSettingsFile(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    const int descriptor = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        if (errno == ENOENT)
            return {};
        return { FileRead::Outcome::unreadable, {}, QString::fromLocal8Bit(std::strerror(errno)) };
    }
    struct stat status = {};
    FileRead result;
    if (::fstat(descriptor, &status) != 0) {
        result = { FileRead::Outcome::unreadable, {}, QString::fromLocal8Bit(std::strerror(errno)) };
    } else if (!S_ISREG(status.st_mode)) {
        result = { FileRead::Outcome::refused, {}, QStringLiteral("it is not a regular file") };
    } else if (status.st_size >= UserDefaults::maxFileBytes) {
        result = { FileRead::Outcome::refused, {},
            QStringLiteral("it is larger than %1 bytes").arg(UserDefaults::maxFileBytes) };
    } else {
        QByteArray bytes(qsizetype(UserDefaults::maxFileBytes), Qt::Uninitialized);
        qsizetype size = 0;
        for (;;) {
            const ssize_t got = ::read(descriptor, bytes.data() + size, size_t(bytes.size() - size));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                result = { FileRead::Outcome::unreadable, {}, QString::fromLocal8Bit(std::strerror(errno)) };
                break;
            }
            size += got;
            if (got == 0 || size == bytes.size()) {
                // A file that grew past the limit while it was read is refused too.
                if (size >= UserDefaults::maxFileBytes)
                    result = { FileRead::Outcome::refused, {},
                        QStringLiteral("it is larger than %1 bytes").arg(UserDefaults::maxFileBytes) };
                else
                    result = { FileRead::Outcome::read, bytes.first(size), {} };
                break;
            }
        }
    }
    ::close(descriptor);
    return result;
}

} // namespace

void UserDefaults::load()
{
    m_values.clear();
    m_unsaved = false;
    m_retry.stop();
    // Settings written by an earlier version may be readable by everyone.
    PrivateFiles::restrictFile(m_filePath);
    const FileRead read = readSettingsFile(m_filePath);
    switch (read.outcome) {
    case FileRead::Outcome::missing:
        return;
    case FileRead::Outcome::unreadable:
        printDiagnostic(QStringLiteral("[UserDefaults] Could not read %1: %2").arg(m_filePath, read.reason));
        return;
    case FileRead::Outcome::refused:
        keepAside(read.reason);
        return;
    case FileRead::Outcome::read:
        break;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(read.bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        keepAside(error.errorString());
        return;
    }
    m_values = document.object().toVariantMap();
}

void UserDefaults::keepAside(const QString &reason)
{
    // Keep the unreadable file for the user instead of overwriting it on the next save.
    const QString kept = m_filePath + QStringLiteral(".unreadable-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss"));
    QFile::rename(m_filePath, kept);
    printDiagnostic(QStringLiteral(
        "[UserDefaults] %1 is not valid settings (%2); it was kept as %3 and defaults are used")
                        .arg(m_filePath, reason, kept));
}

void UserDefaults::save()
{
    PrivateFiles::makeFolder(QFileInfo(m_filePath).absolutePath());
    // The settings are the user's alone: the new file is private before anything is written to it.
    const AtomicFile::Result result
        = AtomicFile::replace(m_filePath, QJsonDocument(QJsonObject::fromVariantMap(m_values)).toJson(),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!result.ok) {
        saveFailed(result.error);
        return;
    }
    m_unsaved = false;
    m_retry.stop();
    m_retry.setInterval(firstRetryDelay);
    if (!m_loggedErrors.isEmpty())
        printDiagnostic(QStringLiteral("[UserDefaults] Settings saved to %1 again").arg(m_filePath));
    m_loggedErrors.clear();
    if (!m_saveError.isEmpty()) {
        m_saveError.clear();
        Q_EMIT saveErrorChanged(m_saveError);
    }
    Q_EMIT saved();
}

void UserDefaults::saveIfUnsaved()
{
    if (m_unsaved)
        save();
}

void UserDefaults::retrySave()
{
    // Less often the longer it fails.
    m_retry.setInterval(std::min<Clock::Duration>(m_retry.interval() * 2, maxRetryDelay));
    save();
}

void UserDefaults::saveFailed(const QString &error)
{
    m_unsaved = true;
    // A disk stays full, a folder read-only, for a while: each cause is told once.
    if (!m_loggedErrors.contains(error)) {
        m_loggedErrors.insert(error);
        printDiagnostic(
            QStringLiteral("[UserDefaults] Could not save settings to %1: %2; the file is kept as it was and "
                           "saved again when it can be")
                .arg(m_filePath, error));
    }
    // Saved again without waiting for the user's next change.
    m_retry.start();
    if (error != m_saveError) {
        m_saveError = error;
        Q_EMIT saveErrorChanged(m_saveError);
    }
}

namespace {
bool isNumber(const QVariant &value)
{
    const int type = value.typeId();
    return type == QMetaType::Double || type == QMetaType::Int || type == QMetaType::LongLong
        || type == QMetaType::UInt || type == QMetaType::ULongLong || type == QMetaType::Float;
}

// A number is the same number however it was read (a whole one from the file may come back as an
// integer), but never the same as a Boolean or a string.
bool isSameValue(const QVariant &held, const QVariant &given)
{
    if (isNumber(held) && isNumber(given))
        return held.toDouble() == given.toDouble();
    return held.typeId() == given.typeId() && held == given;
}
} // namespace

QVariant UserDefaults::object(const QString &key) const
{
    return m_values.value(key);
}

void UserDefaults::setObject(const QString &key, const QVariant &value)
{
    setObjects({ { key, value } });
}

void UserDefaults::setObjects(const QVariantMap &values)
{
    QStringList changed;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        // Through JSON, so what is kept in memory is exactly what a later start reads back.
        const QVariant stored = QJsonValue::fromVariant(it.value()).toVariant();
        const auto existing = m_values.constFind(it.key());
        if (existing != m_values.constEnd() && isSameValue(*existing, stored))
            continue;
        m_values.insert(it.key(), stored);
        changed.append(it.key());
    }
    // Each save replaces the file and waits for the disk: values that are there already (the
    // panel's size and place on every hide) cost nothing, unless the file missed the last change.
    if (changed.isEmpty() && !m_unsaved)
        return;
    save();
    for (const QString &key : std::as_const(changed))
        Q_EMIT valueChanged(key);
}

void UserDefaults::removeObject(const QString &key)
{
    if (m_values.remove(key) == 0)
        return;
    save();
    Q_EMIT valueChanged(key);
}

std::optional<QString> UserDefaults::string(const QString &key) const
{
    const QVariant value = object(key);
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (isNumber(value)) {
        const double number = value.toDouble();
        if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 9.0e15)
            return QString::number(qint64(number));
        return QString::number(number, 'g', 17);
    }
    return std::nullopt;
}

std::optional<QStringList> UserDefaults::stringList(const QString &key) const
{
    const QVariant value = object(key);
    if (value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QStringList strings;
    for (const QVariant &element : value.toList()) {
        if (element.typeId() != QMetaType::QString)
            return std::nullopt;
        strings.append(element.toString());
    }
    return strings;
}

std::optional<qint64> UserDefaults::integer(const QString &key) const
{
    const QVariant value = object(key);
    if (!isNumber(value))
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || number != std::trunc(number) || std::fabs(number) > 9.0e15)
        return std::nullopt;
    return qint64(number);
}

std::optional<double> UserDefaults::number(const QString &key) const
{
    const QVariant value = object(key);
    if (!isNumber(value))
        return std::nullopt;
    return value.toDouble();
}

std::optional<bool> UserDefaults::boolean(const QString &key) const
{
    const QVariant value = object(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (isNumber(value)) {
        const double number = value.toDouble();
        if (number == 0.0 || number == 1.0)
            return number == 1.0;
    }
    return std::nullopt;
}
