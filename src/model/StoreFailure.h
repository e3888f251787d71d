#pragma once

#include <QMetaType>
#include <QString>

// Why a save did not reach the store file, and what the user can do about it: a message
// that names the file, for the tray and the log.
struct StoreFailure
{
    enum class Cause { diskFull, readOnly, locked, damaged, other };

    Cause cause = Cause::other;
    QString storePath;
    // SQLite's own words, for the log.
    QString detail;

    // The cause of an SQLite result code (primary or extended).
    static Cause causeOf(int sqliteResultCode);
    // Whether waiting may help: another connection holds the store for a moment.
    bool isTransient() const { return cause == Cause::locked; }

    // Of a copy that was not kept.
    QString title() const;
    QString message() const;
    // Of items the user deleted that are still in the store file.
    QString deletionTitle() const;
    QString deletionMessage() const;

private:
    // What is wrong with the store, naming the file.
    QString situation() const;
};

Q_DECLARE_METATYPE(StoreFailure)
