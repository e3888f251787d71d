#include "model/StoreFailure.h"

#include <sqlite3.h>

StoreFailure::Cause StoreFailure::causeOf(int sqliteResultCode)
{
    switch (sqliteResultCode & 0xFF) {
    case SQLITE_FULL:
        return Cause::diskFull;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        return Cause::readOnly;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Cause::locked;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return Cause::damaged;
    default:
        return Cause::other;
    }
}

QString StoreFailure::title() const
{
    return QStringLiteral("Clipboard history not saved");
}

QString StoreFailure::message() const
{
    switch (cause) {
    case Cause::diskFull:
        return QStringLiteral("The disk that holds the clipboard history (%1) is full, so a copy was not "
                              "kept. Free some space on it; copies that still fit are kept.")
            .arg(storePath);
    case Cause::readOnly:
        return QStringLiteral("The clipboard history (%1) cannot be written, so new copies are not kept. "
                              "Make the file and its folder writable for you, or check that the disk is "
                              "not mounted read-only.")
            .arg(storePath);
    case Cause::locked:
        return QStringLiteral("The clipboard history (%1) stayed locked by another program, so a copy was "
                              "not kept. Close the other program that uses the file (a database browser, "
                              "a backup tool).")
            .arg(storePath);
    case Cause::damaged:
        return QStringLiteral("The clipboard history (%1) is damaged, so new copies cannot be saved. Quit "
                              "Tindlewick and move the file away, or restore it from a backup; a new "
                              "history is started when the file is gone.")
            .arg(storePath);
    case Cause::other:
        break;
    }
    return QStringLiteral("The clipboard history (%1) could not be written (%2), so a copy was not kept.")
        .arg(storePath, detail);
}
