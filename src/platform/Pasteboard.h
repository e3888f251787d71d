#pragma once

#include <QByteArray>
#include <QList>
#include <QMimeData>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

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
// Password managers mark what they copy: KDE's hint (value "secret") and the macOS name.
inline const QString passwordManagerHint = QStringLiteral("x-kde-passwordManagerHint");
inline const QString concealed = QStringLiteral("org.nspasteboard.ConcealedType");
// The page a browser copy came from.
inline const QString chromiumSourceUrl = QStringLiteral("chromium/x-source-url");
inline const QString mozillaSourceUrl = QStringLiteral("text/x-moz-url-priv");
} // namespace PasteboardType

// The system clipboard as the app sees it: a change count that moves on every change,
// the types on offer, their data, and writing new contents. The X11 implementation
// stands over the CLIPBOARD selection; MemoryPasteboard stands in for it in tests.
class Pasteboard : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Moves on every change of the contents, by anyone (the app's own writes included).
    virtual qint64 changeCount() const = 0;
    virtual QStringList types() const = 0;
    virtual std::optional<QByteArray> data(const QString &type) const = 0;
    // Replaces the contents in one change; the pasteboard takes the data.
    virtual void writeContents(std::unique_ptr<QMimeData> contents) = 0;
    virtual void clearContents() = 0;
};

// An in-process pasteboard for tests: contents are set directly, every write moves the
// change count by one.
class MemoryPasteboard final : public Pasteboard
{
    Q_OBJECT
public:
    using Pasteboard::Pasteboard;

    qint64 changeCount() const override { return m_changeCount; }
    QStringList types() const override;
    std::optional<QByteArray> data(const QString &type) const override;
    void writeContents(std::unique_ptr<QMimeData> contents) override;
    void clearContents() override;

    // What the last write left, for tests to inspect.
    const QMimeData *contents() const { return m_contents.get(); }

private:
    qint64 m_changeCount = 0;
    std::unique_ptr<QMimeData> m_contents;
};
