#pragma once

#include "capture/CopiedFiles.h"
#include "capture/ImageExtraction.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// Everything the capture takes from one clipboard change, read at once: the flavours it
// cares about and the application in front when it was read (which is not necessarily the
// clipboard's owner).
struct PasteboardSnapshot
{
    QStringList types;
    std::optional<QString> plainText;
    std::optional<QString> html;
    // Files (and entries of the trash); absent when none are on offer.
    std::optional<CopiedFiles> files;
    std::optional<QByteArray> colorData;
    ImageExtraction::ImageSource image;
    bool isSVG = false;
    std::optional<QString> sourceBundleIdentifier;
    std::optional<QString> sourceAppName;
    // The page the copy came from, as the browser put it on the clipboard.
    std::optional<QString> chromiumSourceURL;
    // The title that came with a copied link.
    std::optional<QString> urlName;
    // KDE's password-manager hint, when present.
    std::optional<QByteArray> passwordManagerHint;
    // False when the owner stopped answering before everything asked for was read.
    bool complete = true;
    // Types whose data was over the size limit of the reading (it was not read).
    QStringList oversized;
    // Why the copy is too large to be kept (CaptureLimits), as the log line says it; its
    // large flavours are then not decoded.
    std::optional<QString> refusal;

    // What to ask the clipboard for. The password-manager hint comes first, so that an
    // owner that is slow with its other flavours cannot keep it from being read.
    static QList<QStringList> requests();
    // Decodes the reading. Slow for long texts: callers run it off the GUI thread.
    static PasteboardSnapshot make(
        const PasteboardContents &contents, const std::optional<RunningApplication> &front);

    // The first 500 characters of the text, trimmed, begin with an XML declaration or an
    // "<svg" tag (case-sensitive).
    static bool looksLikeSVG(const std::optional<QString> &plainText);
    // The clipboard announces an image (whether or not its data could be read).
    bool announcesImage() const;
};
