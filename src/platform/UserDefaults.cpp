#include "platform/UserDefaults.h"

#include "common/Diagnostics.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <cmath>

UserDefaults &UserDefaults::standard()
{
    static UserDefaults *instance
        = new UserDefaults(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            + QStringLiteral("/Tindlewick/defaults.json"));
    return *instance;
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

void UserDefaults::load()
{
    m_values.clear();
    QFile file(m_filePath);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        printDiagnostic(
            QStringLiteral("[UserDefaults] Could not read %1: %2").arg(m_filePath, file.errorString()));
        return;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        // Keep the unreadable file for the user instead of overwriting it on the next save.
        const QString kept = m_filePath + QStringLiteral(".unreadable-")
            + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss"));
        QFile::rename(m_filePath, kept);
        printDiagnostic(QStringLiteral(
            "[UserDefaults] %1 is not valid settings (%2); it was kept as %3 and defaults are used")
                            .arg(m_filePath, error.errorString(), kept));
        return;
    }
    m_values = document.object().toVariantMap();
}

void UserDefaults::save()
{
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        printDiagnostic(QStringLiteral("[UserDefaults] Could not save settings to %1: %2")
                            .arg(m_filePath, file.errorString()));
        return;
    }
    file.write(QJsonDocument(QJsonObject::fromVariantMap(m_values)).toJson(QJsonDocument::Indented));
    if (!file.commit())
        printDiagnostic(QStringLiteral("[UserDefaults] Could not save settings to %1: %2")
                            .arg(m_filePath, file.errorString()));
}

QVariant UserDefaults::object(const QString &key) const
{
    return m_values.value(key);
}

void UserDefaults::setObject(const QString &key, const QVariant &value)
{
    // Through JSON, so what is kept in memory is exactly what a later start reads back.
    m_values.insert(key, QJsonValue::fromVariant(value).toVariant());
    save();
    Q_EMIT valueChanged(key);
}

void UserDefaults::removeObject(const QString &key)
{
    if (m_values.remove(key) == 0)
        return;
    save();
    Q_EMIT valueChanged(key);
}

namespace {
bool isNumber(const QVariant &value)
{
    const int type = value.typeId();
    return type == QMetaType::Double || type == QMetaType::Int || type == QMetaType::LongLong
        || type == QMetaType::UInt || type == QMetaType::ULongLong || type == QMetaType::Float;
}
} // namespace

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
