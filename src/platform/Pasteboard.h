#pragma once

#include "platform/FileListForms.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QColor>
#include <QFuture>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMimeData>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

// The MIME types under which the clipboard's flavours travel on this desktop.
namespace PasteboardType {
inline const QString plainText = QStringLiteral("text/plain");
inline const QString html = QStringLiteral("text/html");
inline const QString uriList = QStringLiteral("text/uri-list");
inline const QString gnomeCopiedFiles = QStringLiteral("x-special/gnome-copied-files");
inline const QString color = QStringLiteral("application/x-color");
inline const QString png = QStringLiteral("image/png");
inline const QString tiff = QStringLiteral("image/tiff");
inline const QString jpeg = QStringLiteral("image/jpeg");
inline const QString webp = QStringLiteral("image/webp");
inline const QString heic = QStringLiteral("image/heic");
inline const QString gif = QStringLiteral("image/gif");
// Stands in a request for whichever image type is on offer first.
inline const QString anyImage = QStringLiteral("image/*");
// An image that an application of this process put on the clipboard as an object.
inline const QString qtImage = QStringLiteral("application/x-qt-image");
// Password managers mark what they copy: KDE's hint (value "secret") and the macOS name.
inline const QString passwordManagerHint = QStringLiteral("x-kde-passwordManagerHint");
inline const QString concealed = QStringLiteral("org.nspasteboard.ConcealedType");
// The page a browser copy came from.
inline const QString chromiumSourceUrl = QStringLiteral("chromium/x-source-url");
inline const QString mozillaSourceUrl = QStringLiteral("text/x-moz-url-priv");
// A link with its title (Mozilla's format: the URL, a line feed, the title; UTF-16).
inline const QString mozillaUrl = QStringLiteral("text/x-moz-url");
} // namespace PasteboardType

// One reading of the clipboard: the types on offer and the data of the types asked for.
struct PasteboardContents
{
    QStringList types;
    // The data read, by the type it was read as ("image/png" for a request of "image/*").
    QHash<QString, QByteArray> data;
    // An image put on the clipboard as an object in this process, when no encoded image
    // type was asked for or on offer.
    QImage image;
    // False when the owner stopped answering: what is here is all that could be read.
    bool complete = true;
    // Types on offer whose data exceeded the reading's byte limit: not read, and the
    // reading stopped there.
    QStringList oversized;

    std::optional<QByteArray> value(const QString &type) const;
    // The first type read whose name starts with "image/", with its data.
    std::optional<std::pair<QString, QByteArray>> firstImage() const;
};

// How many bytes of one type a reading takes at most: pictures may be larger than text. A
// type over its limit is not read (see PasteboardContents::oversized). Negative: no limit.
struct PasteboardReadLimits
{
    // "image/..." types.
    qsizetype pictureBytes = -1;
    // Text, HTML, file lists and every other type.
    qsizetype otherBytes = -1;

    qsizetype forType(const QString &type) const
    {
        return type.startsWith(u"image/") ? pictureBytes : otherBytes;
    }
};

// The system clipboard as the app sees it: a change count that moves on every change,
// the types on offer, their data, and writing new contents. The X11 implementation
// (SystemPasteboard) stands over the CLIPBOARD selection; MemoryPasteboard stands in for
// it in tests.
class Pasteboard : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Moves on every change of the contents, by anyone (the app's own writes included).
    virtual qint64 changeCount() const = 0;
    // Whether the contents are the app's own, written through writeContents or
    // clearContents and not replaced by another application since.
    virtual bool ownsContents() const = 0;
    virtual QStringList types() const = 0;
    virtual std::optional<QByteArray> data(const QString &type) const = 0;
    // Replaces the contents in one change; the pasteboard takes the data.
    virtual void writeContents(std::unique_ptr<QMimeData> contents) = 0;
    virtual void clearContents() = 0;
    // Takes the clipboard again with contents it held before, after the program that made them
    // let go of them (see ownerLeft): no new change, the count stays. Nothing is written, and
    // the answer is false, when the clipboard has changed since `atChange` or has an owner, or
    // when a program took it after its owner went (even one that has let go of it again).
    virtual bool restoreContents(std::unique_ptr<QMimeData>, qint64) { return false; }
    // Puts the app's own contents on the PRIMARY selection as well, for the programs that
    // paste from there (the X terminals, on Shift+Insert); the clipboard stays as it is. False
    // when the clipboard holds another application's contents, or the desktop has no PRIMARY.
    virtual bool copyContentsToPrimarySelection() { return false; }

    // Reads the types on offer and, for each request, the data of its first type on offer
    // (a request lists alternatives, best first; PasteboardType::anyImage matches any
    // image type). Never blocks the caller on another application: the system clipboard
    // reads on a thread of its own, with deadlines. Data over its type's limit is not read
    // (see PasteboardContents::oversized). The default reads through types() and data().
    virtual QFuture<PasteboardContents> readContents(
        const QList<QStringList> &requests, const PasteboardReadLimits &limits = {}) const;

Q_SIGNALS:
    // Another program's contents are gone with it (it quit, or the window that held them was
    // destroyed), nobody taking the clipboard after it: the clipboard is empty. No change is
    // counted for it; `atChange` is the count when it went (the count may have moved since the
    // signal was sent). A program that clears the clipboard on purpose makes a change instead.
    void ownerLeft(qint64 atChange);
};

// A list of files on the clipboard, held once (FileListForms) for all its forms, however long:
// the forms are made whole only when something of this process reads them as QMimeData. The
// system clipboard serves them to other programs a piece at a time, off the GUI thread.
class FileListMimeData final : public QMimeData
{
public:
    explicit FileListMimeData(std::shared_ptr<const FileListForms> forms);

    const std::shared_ptr<const FileListForms> &forms() const { return m_forms; }
    QStringList formats() const override;
    bool hasFormat(const QString &type) const override;

protected:
    QVariant retrieveData(const QString &type, QMetaType metaType) const override;

private:
    std::shared_ptr<const FileListForms> m_forms;
};

// An in-process pasteboard for tests: contents are set directly, every write moves the
// change count by one.
class MemoryPasteboard final : public Pasteboard
{
    Q_OBJECT
public:
    using Pasteboard::Pasteboard;

    qint64 changeCount() const override { return m_changeCount; }
    bool ownsContents() const override { return m_ownedByApp; }
    QStringList types() const override;
    std::optional<QByteArray> data(const QString &type) const override;
    void writeContents(std::unique_ptr<QMimeData> contents) override;
    void clearContents() override;
    bool restoreContents(std::unique_ptr<QMimeData> contents, qint64 atChange) override;
    bool copyContentsToPrimarySelection() override;
    QFuture<PasteboardContents> readContents(
        const QList<QStringList> &requests, const PasteboardReadLimits &limits = {}) const override;

    // Contents that another application put there: a change the app does not own.
    void writeContentsOfAnotherApplication(std::unique_ptr<QMimeData> contents);
    // The application that owns the contents quits: they are gone, no change is counted.
    void anotherApplicationQuits();

    // What the last write left, and how often the contents were read, for tests to inspect.
    const QMimeData *contents() const { return m_contents.get(); }
    const QMimeData *primarySelection() const { return m_primarySelection.get(); }
    int readCount() const { return m_readCount; }

private:
    qint64 m_changeCount = 0;
    mutable int m_readCount = 0;
    bool m_ownedByApp = false;
    std::unique_ptr<QMimeData> m_contents;
    std::unique_ptr<QMimeData> m_primarySelection;
};

// Reading and writing the clipboard's flavours.
namespace PasteboardData {

// Every flavour of the contents, in a new object (a clipboard takes the object it is given).
std::unique_ptr<QMimeData> copyOf(const QMimeData &contents);

// The request's first type on offer: exact names, or any "image/..." for anyImage.
std::optional<QString> firstOffered(const QStringList &request, const QStringList &types);

// What QMimeData of this process holds, read as the system clipboard would be.
PasteboardContents contentsOfMimeData(
    const QMimeData *mimeData, const QList<QStringList> &requests, const PasteboardReadLimits &limits = {});

// Text bytes of a flavour: UTF-16 when they start with its byte-order mark, else UTF-8 (a
// leading mark dropped). Mozilla's private types ("text/x-moz-...") are UTF-16 little endian
// without a mark; only there does a zero second byte say so: in other types a zero is text.
QString decodeText(const QByteArray &bytes, const QString &type);

// The URLs of a "text/uri-list" (lines of CR LF or LF; "#" lines are comments), or of
// "x-special/gnome-copied-files" (a first line "copy" or "cut", then the URLs).
QList<QUrl> parseUriList(const QByteArray &bytes);
QList<QUrl> parseGnomeCopiedFiles(const QByteArray &bytes);
// The same URLs one at a time, for lists too long to hold as URL objects.
void forEachInUriList(QByteArrayView bytes, const std::function<void(const QUrl &)> &visit);
void forEachInGnomeCopiedFiles(QByteArrayView bytes, const std::function<void(const QUrl &)> &visit);
QByteArray gnomeCopiedFiles(const QList<QUrl> &urls);

// "application/x-color": four 16-bit channels (red, green, blue, alpha) in the machine's
// byte order, as X11 applications exchange it; a colour name or "#..." text is read too.
std::optional<QColor> decodeColor(const QByteArray &bytes);
QByteArray encodeColor(const QColor &color);

} // namespace PasteboardData
