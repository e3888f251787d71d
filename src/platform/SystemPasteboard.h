#pragma once

#include "common/SerialExecutor.h"
#include "platform/Pasteboard.h"

#include <memory>

class X11SelectionReader;
class X11SelectionServer;

// The desktop's clipboard (the X11 CLIPBOARD selection; the PRIMARY selection is not the
// clipboard: it is never read, and written only for a paste that takes it) over QClipboard. The change count
// moves on each of the app's writes and on each of the server's reports of another owner (another program's
// copy, or a program's clear), whatever time the owner named. Another application's contents are read on a
// thread of its own with deadlines, so a hung owner never freezes the app; what this process owns is read in
// place. A list of files (FileListMimeData) is served to other programs by an X11SelectionServer, off the GUI
// thread. When another program's contents go with it (it quits, or its window is destroyed), ownerLeft says
// so and no change is counted; contents restored then are no change either. Without X11 (or its XFixes
// extension) every change signal of QClipboard counts.
class SystemPasteboard final : public Pasteboard
{
    Q_OBJECT
public:
    // Needs the QGuiApplication. Main thread only.
    explicit SystemPasteboard(QObject *parent = nullptr);
    ~SystemPasteboard() override;

    qint64 changeCount() const override { return m_changeCount; }
    bool ownsContents() const override;
    // These two wait for the reading thread (at most its deadlines); the capture uses
    // readContents() instead.
    QStringList types() const override;
    std::optional<QByteArray> data(const QString &type) const override;
    // Adds GNOME's copied-files flavour when the contents are local files, so file
    // managers paste them as files.
    void writeContents(std::unique_ptr<QMimeData> contents) override;
    void clearContents() override;
    bool restoreContents(std::unique_ptr<QMimeData> contents, qint64 atChange) override;
    bool copyContentsToPrimarySelection() override;
    QFuture<PasteboardContents> readContents(
        const QList<QStringList> &requests, const PasteboardReadLimits &limits = {}) const override;

private:
    class FileListRequests;
    class OwnerWatch;
    bool watchesOwners() const;
    bool readsInProcess() const;
    // Gives the contents to Qt's clipboard, GNOME's flavour added to local files.
    static void setClipboardContents(std::unique_ptr<QMimeData> contents);

    qint64 m_changeCount = 0;
    std::unique_ptr<OwnerWatch> m_ownerWatch;
    std::unique_ptr<X11SelectionServer> m_fileListServer;
    std::unique_ptr<FileListRequests> m_fileListRequests;
    std::unique_ptr<X11SelectionReader> m_reader; // used on m_executor's thread only
    // Declared after the reader: it goes first, finishing the readings that use the reader.
    mutable SerialExecutor m_executor;
};
