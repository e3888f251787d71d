#pragma once

#include "common/Clock.h"
#include "model/PersistentIdentifier.h"
#include "panel/PanelPasteboard.h"
#include "platform/FileListForms.h"
#include "platform/Workspace.h"

#include <QFuture>
#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class ClipboardItem;
class ClipboardRequests;
class ModelContainer;
class Pasteboard;
class SyntheticKeyboard;

// Puts a chosen item back on the clipboard and pastes it into the window the panel was shown
// over: the panel has the item written, and a moment later, once the panel is out of the way,
// asks for the keystroke. The contents are built first and written in one change; a picture or a
// long list of files is made ready on a worker thread, and the keystroke waits until it is on
// the clipboard. The keystroke is the one that window takes (a terminal's own, see
// PasteKeystrokes). Main thread only.
class PasteService final : public QObject, public PanelPasteboard
{
    Q_OBJECT
public:
    PasteService(
        Pasteboard &pasteboard, SyntheticKeyboard &keyboard, Workspace &workspace, QObject *parent = nullptr);
    ~PasteService() override;

    // The most recently created service; nullptr before the first and after it is gone.
    static PasteService *shared();

    // A picture to put on the clipboard as PNG and TIFF: the stored bytes or an image file (read
    // through UserFiles within imageFileReadLimit; when it gives no picture, the file is written
    // as a file).
    struct PendingImage
    {
        QByteArray bytes;
        QString filePath;

        // Whether the bytes' header names a picture that may be decoded.
        bool isDecodable() const;
        struct Encoded
        {
            QByteArray png;
            QByteArray tiff;
        };
        // Worker thread: the bytes as PNG (themselves when they are PNG) and TIFF.
        Encoded encode() const;
    };
    static constexpr std::chrono::milliseconds imageFileReadLimit { 20'000 };
    // A list of files too long to be looked through on the main thread (an item holds only
    // its first addresses): read from the store and checked on a worker thread.
    struct PendingFiles
    {
        std::optional<QUrl> first;
        // The further addresses, one a line, when the item held them; else the store has them
        // (the app's one store, which outlives every paste).
        std::optional<QByteArray> further;
        ModelContainer *store = nullptr;
        PersistentIdentifier item;

        // The files still there, as the clipboard offers them (FileListMimeData).
        struct Written
        {
            std::shared_ptr<const FileListForms> files;
            qsizetype count() const { return files ? files->count() : 0; }
        };
        // Worker thread.
        Written check() const;
    };
    static constexpr std::chrono::milliseconds fileListCheckLimit { 60'000 };
    // The clipboard contents for an item (a pinned reference gives the referenced item's
    // content): text with its HTML unless plainTextOnly, a colour's text and value, files as
    // file URLs (one image file as the image and its path), media as its file or image. A
    // picture comes as `image`, still to be decoded (only when its header names a picture
    // of at most ImageLimits::maxPixels); a long list of files as `files`, still to be
    // checked. Nothing when none of it can be had (no text, files gone, a picture that
    // cannot be read or is too large).
    struct Outgoing
    {
        std::unique_ptr<QMimeData> contents;
        std::optional<PendingImage> image;
        std::optional<PendingFiles> files;
    };
    static Outgoing outgoingFor(const ClipboardItem &item, bool plainTextOnly);

    // Replaces the clipboard with the item. When there is nothing to write, the clipboard
    // and the capture are left alone and the answer is false. A picture is decoded and
    // encoded, a long list of files checked, on a worker thread, and written when it is
    // ready (pendingContentsWritten); a later write replaces one still waiting.
    bool copyToPasteboard(const ClipboardItemPtr &item, bool plainTextOnly) override;
    // Replaces the clipboard with this text alone (an emoji, a colour in another notation).
    void copyStringToPasteboard(const QString &text) override;
    // Puts a copy back on the clipboard that the program that made it left empty, in every form
    // a paste writes, as no new change (Pasteboard::restoreContents): nothing is written once
    // something else is copied, or while a paste's write is being made ready (it replaces it).
    void restoreToPasteboard(const ClipboardItemPtr &item);
    // Pastes what was written last into the window the panel was shown over, once it is on the
    // clipboard and that window (or a dialog of it) is in front again and seen on the desktop
    // shown; each call sends one keystroke, the one that window pastes with, never into this app
    // nor into a window nobody chose. A window that pastes the PRIMARY selection gets the same
    // contents there. When nothing can be pasted (no synthetic keys, the window gone or never
    // there, a picture that could not be read, files all gone) the user is told, and the
    // clipboard keeps what it holds for pasting by hand (the PRIMARY selection too, for the
    // terminals that paste it).
    void simulatePaste() override;
    // The other program's window that was in front when the panel showed (or the one it was last
    // shown over, when it showed over this app's own window, which it brings forward as it hides);
    // nothing when there was none (the desktop had the focus). Unset: any other program's window
    // in front takes the paste.
    using ShownOver = std::function<std::optional<RunningApplication>()>;
    void setShownOver(ShownOver shownOver) { m_shownOver = std::move(shownOver); }
    Qt::KeyboardModifiers queryKeyboardModifiers() const override;
    // How long a keystroke waits for the focus to leave this app before it is dropped.
    static constexpr std::chrono::milliseconds focusReturnWait { 500 };

    // The whole text of the item's file when it is SVG (begins with "<?xml" or "<svg"), read
    // through UserFiles; nothing for a file larger than maxSvgFileBytes, one that is no regular
    // file, or one not read within svgReadLimit.
    static QFuture<std::optional<QString>> svgString(const ClipboardItem &item);
    static constexpr qint64 maxSvgFileBytes = 8 * 1024 * 1024;
    static constexpr std::chrono::milliseconds svgReadLimit { 5000 };
    // Whether the file name's extension names an image type.
    static bool isImageFile(const QUrl &url);

    // Where the user is told that nothing was pasted: a message box over the app's front
    // window unless replaced (tests collect them). takesFocus: the notice is given the keyboard,
    // as no window the user chose has it.
    using NoticePresenter = std::function<void(const QString &title, const QString &text, bool takesFocus)>;
    void setNoticePresenter(NoticePresenter presenter) { m_noticePresenter = std::move(presenter); }
    // Tests move the time of the waits by hand.
    void setClock(Clock &clock) { m_clock = &clock; }
    // Where the app sees which forms the window in front asks for: a picture pasted into a window
    // that takes none of its forms (a terminal, a text editor) is noted in the log. nullptr: not
    // seen.
    void setClipboardRequests(ClipboardRequests *requests);
    // How long the window a picture went to has to ask for one of its forms.
    static constexpr std::chrono::milliseconds pictureRequestWait { 2000 };

Q_SIGNALS:
    // A picture or a list of files that copyToPasteboard made ready is on the clipboard
    // (wrote false: it could not be decoded, or no file was left, and nothing was written).
    void pendingContentsWritten(bool wrote);

private:
    static constexpr std::chrono::milliseconds focusPollInterval { 10 };
    void startWrite();
    void write(Outgoing outgoing);
    void writeOwnContents(std::unique_ptr<QMimeData> contents);
    void writeWhenReady(const PendingImage &image);
    void writeWhenReady(const PendingFiles &files);
    // Writes what was made ready, unless a later write replaced it: `write` is given the contents
    // made so far and says whether it wrote anything.
    void finishPendingWrite(quint64 generation,
        const std::function<bool(std::unique_ptr<QMimeData> contents)> &write, const QString &whyNothing);
    void sendPasteOnceAway(Clock::TimePoint deadline);
    bool isChosenWindow(
        const RunningApplication &front, const std::optional<RunningApplication> &chosen) const;
    // How many owners up a chain of dialogs the window shown over is looked for.
    static constexpr int maxDialogDepth = 8;
    void sendKeystrokeTo(const RunningApplication &target);
    void offerToPrimarySelection();
    void watchPictureTaken(const RunningApplication &target);
    void stopWatchingPicture();
    // leaveFocus: the window the paste was for is in front and keeps the keyboard, and the keys
    // typed on go there, not to the notice.
    void tellNothingPasted(const QString &text, bool leaveFocus);
    void tellWhyNotPasted(const QString &noWindowBecause, bool leaveFocus);
    void tell(const QString &title, const QString &text, bool leaveFocus);

    Pasteboard &m_pasteboard;
    SyntheticKeyboard &m_keyboard;
    Workspace &m_workspace;
    NoticePresenter m_noticePresenter;
    ShownOver m_shownOver;
    Clock *m_clock = &Clock::system();
    // The contents of a write still being made ready, and the keystrokes that wait for it.
    std::unique_ptr<QMimeData> m_pendingContents;
    int m_keystrokesAwaitingWrite = 0;
    // Why the last write wrote nothing after all (a picture that could not be read, files
    // all gone); empty when it was written.
    QString m_unwrittenBecause;
    quint64 m_writeGeneration = 0;
    // The write puts back a copy whose program left the clipboard at this change.
    std::optional<qint64> m_restoreAt;
    // The clipboard holds the app's picture in no form but a picture's.
    bool m_wrotePictureOnly = false;
    QPointer<ClipboardRequests> m_requests;
    // The paste of a picture whose window's requests are being watched, and the forms it asked
    // for so far.
    quint64 m_watchedPicturePaste = 0;
    QStringList m_formsRequested;
};
