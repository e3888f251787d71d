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

QString StoreFailure::situation() const
{
    switch (cause) {
    case Cause::diskFull:
        return QStringLiteral("The disk that holds the clipboard history (%1) is full").arg(storePath);
    case Cause::readOnly:
        return QStringLiteral("The clipboard history (%1) cannot be written").arg(storePath);
    case Cause::locked:
        return QStringLiteral("The clipboard history (%1) stayed locked by another program").arg(storePath);
    case Cause::damaged:
        return QStringLiteral("The clipboard history (%1) is damaged").arg(storePath);
    case Cause::other:
        break;
    }
    return QStringLiteral("The clipboard history (%1) could not be written (%2)").arg(storePath, detail);
}

QString StoreFailure::message() const
{
    switch (cause) {
    case Cause::diskFull:
        return situation()
            + QStringLiteral(
                ", so a copy was not kept. Free some space on it; copies that still fit are kept.");
    case Cause::readOnly:
        return situation()
            + QStringLiteral(
                ", so new copies are not kept. Make the file and its folder writable for you, or "
                "check that the disk is not mounted read-only.");
    case Cause::locked:
        return situation()
            + QStringLiteral(
                ", so a copy was not kept. Close the other program that uses the file (a database "
                "browser, a backup tool).");
    case Cause::damaged:
        return situation()
            + QStringLiteral(", so new copies cannot be saved. Quit Tindlewick and move the file away, or "
                             "restore it from a backup; a new history is started when the file is gone.");
    case Cause::other:
        break;
    }
    return situation() + QStringLiteral(", so a copy was not kept.");
}

QString StoreFailure::deletionTitle() const
{
    return QStringLiteral("Deleted item still in the clipboard history");
}

QString StoreFailure::deletionMessage() const
{
    const QString stillThere = situation() + QStringLiteral(", so what you deleted is still in the file. ");
    switch (cause) {
    case Cause::diskFull:
        return stillThere
            + QStringLiteral("Free some space on the disk: it is removed as soon as there is room, at the "
                             "latest when the panel next shows or hides.");
    case Cause::readOnly:
        return stillThere
            + QStringLiteral("Make the file and its folder writable for you: it is removed as soon as they "
                             "are.");
    case Cause::damaged:
        return stillThere
            + QStringLiteral("Quit Tindlewick and move the file away (or delete it): a new history is "
                             "started when the file is gone.");
    case Cause::locked:
    case Cause::other:
        break;
    }
    return stillThere + QStringLiteral("It is removed as soon as the file can be written.");
}
