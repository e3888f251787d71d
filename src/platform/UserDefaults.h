#pragma once

#include "common/ClockTimer.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// The user's preferences as a typed key-value store: a value keeps its type (a number
// stays a number, a list stays a list). Every change is saved at once, atomically, to a
// JSON file in the XDG config folder, readable by the user alone; setting a value equal to the
// one held changes nothing, writes nothing and signals nothing. A save that fails (a full disk,
// a folder that is read-only or gone) leaves the file as it was and is logged once per cause;
// the values are kept and saved again at the next change, and before that firstRetryDelay
// after the failure, then after twice as long each time, up to maxRetryDelay. Reads follow the rules
// of a strict preferences store: a value of the wrong type reads as absent. A file that is
// not valid settings (not JSON, not a regular file, maxFileBytes or larger) is kept aside
// under another name and the defaults are used.
class UserDefaults final : public QObject
{
    Q_OBJECT
public:
    // The store at "<XDG config folder>/Tindlewick/defaults.json", created on first use.
    static UserDefaults &standard();
    // Whether standard() has been made (asking does not make it).
    static bool hasStandard();
    // Where the standard store keeps its file.
    static QString standardFilePath();

    explicit UserDefaults(QString filePath, QObject *parent = nullptr);

    QString filePath() const { return m_filePath; }

    static constexpr qint64 maxFileBytes = 1024 * 1024;

    // The stored value: bool, double, QString, QVariantList or QVariantMap; invalid when absent.
    QVariant object(const QString &key) const;
    bool contains(const QString &key) const { return m_values.contains(key); }
    QStringList keys() const { return m_values.keys(); }
    void setObject(const QString &key, const QVariant &value);
    // Sets several values with one save.
    void setObjects(const QVariantMap &values);
    void removeObject(const QString &key);

    // A string, or the text of a number; nothing for other values.
    std::optional<QString> string(const QString &key) const;
    // A list whose every element is a string; nothing otherwise.
    std::optional<QStringList> stringList(const QString &key) const;
    // A number that is exactly an integer (Booleans are not numbers here).
    std::optional<qint64> integer(const QString &key) const;
    std::optional<double> number(const QString &key) const;
    // true/false, or a number that is exactly 0 or 1.
    std::optional<bool> boolean(const QString &key) const;

    void setString(const QString &key, const QString &value) { setObject(key, value); }
    void setStringList(const QString &key, const QStringList &value) { setObject(key, value); }
    void setInteger(const QString &key, qint64 value) { setObject(key, double(value)); }
    void setNumber(const QString &key, double value) { setObject(key, value); }
    void setBoolean(const QString &key, bool value) { setObject(key, value); }

    // Reads the file again (tests write it behind the store's back).
    void reload();
    // Saves now when the file misses a change (at quit, where the next try would never come).
    void saveIfUnsaved();

    // Why the file does not hold the values set ("No space left on device"); empty while it
    // does.
    QString saveError() const { return m_saveError; }
    static constexpr std::chrono::seconds firstRetryDelay { 2 };
    static constexpr std::chrono::minutes maxRetryDelay { 5 };
    // The time the saves are tried again on (tests move it by hand).
    void setClock(Clock &clock) { m_retry.setClock(clock); }

Q_SIGNALS:
    void valueChanged(const QString &key);
    void saveErrorChanged(const QString &error);
    // The file was written.
    void saved();

private:
    void load();
    void save();
    void saveFailed(const QString &error);
    void retrySave();
    void keepAside(const QString &reason);

    QString m_filePath;
    QVariantMap m_values;
    // The file does not hold m_values: the last save failed.
    bool m_unsaved = false;
    QString m_saveError;
    // The causes of failed saves logged since the last save that succeeded.
    QSet<QString> m_loggedErrors;
    ClockTimer m_retry { Clock::system(), firstRetryDelay, [this] { retrySave(); } };
};
