#pragma once

#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class ClipboardItem;
class Pasteboard;
class QMimeData;
class SyntheticKeyboard;
class Workspace;

// Puts a chosen item back on the clipboard and pastes it into the window in front: the
// contents are built first and written in one change, then Control+V follows 0.1 s later
// once the previous window has the focus again. Main thread only.
class PasteService final : public QObject
{
    Q_OBJECT
public:
    PasteService(
        Pasteboard &pasteboard, SyntheticKeyboard &keyboard, Workspace &workspace, QObject *parent = nullptr);
    ~PasteService() override;

    // The most recently created service; nullptr before the first and after it is gone.
    static PasteService *shared();

    // The clipboard contents for an item (a pinned reference gives the referenced item's
    // content): text with its HTML unless plainTextOnly, a colour's text and value, files as
    // file URLs (one image file as the image and its path), media as its file or image.
    // Nothing when none of it can be had (no text, files gone, an image that will not decode).
    static std::unique_ptr<QMimeData> contentsFor(const ClipboardItem &item, bool plainTextOnly);

    // Replaces the clipboard with the item. When there is nothing to write, the clipboard
    // and the capture are left alone and the answer is false.
    bool copyToPasteboard(const ClipboardItem &item, bool plainTextOnly);
    // Replaces the clipboard with this text alone (an emoji, a colour in another notation).
    void copyStringToPasteboard(const QString &text);
    // Copies the item and, when something was written, pastes it after the delay.
    bool paste(const ClipboardItem &item, bool plainTextOnly, double delaySeconds = 0.1);
    // Pastes after the delay; each call sends its own keystroke.
    void delayedPasteTask(double seconds);
    // Control+V to the window in front, never to this app; without synthetic keys the
    // user is told why, and the item stays on the clipboard for pasting by hand.
    void simulatePaste();
    void showAccessibilityAlert();

    // The whole text of the item's file when it is SVG (begins with "<?xml" or "<svg").
    static std::optional<QString> svgString(const ClipboardItem &item);
    // Whether the file name's extension names an image type.
    static bool isImageFile(const QUrl &url);

    // Tests replace the alert.
    void setAlertPresenter(std::function<void()> presenter) { m_alertPresenter = std::move(presenter); }

private:
    void writeOwnContents(std::unique_ptr<QMimeData> contents);

    Pasteboard &m_pasteboard;
    SyntheticKeyboard &m_keyboard;
    Workspace &m_workspace;
    std::function<void()> m_alertPresenter;
};
