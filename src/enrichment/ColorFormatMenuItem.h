#pragma once

#include "enrichment/ColorFormatter.h"

#include <QKeySequence>
#include <QList>
#include <QSet>
#include <QString>

// One entry of a colour item's "paste as" menu. Choosing it pastes `value` in place of the
// item.
struct ColorFormatMenuItem
{
    ColorFormatter::Format format = ColorFormatter::Format::hex;
    QString title; // "RGB  —  rgb(255, 0, 0)"
    QString value; // the colour in this format
    QString keyEquivalent; // "1" ... "9", "0", "-" for the first eleven entries, else empty

    // Control plus the key equivalent (the desktop's form of the Command shortcut); empty
    // when the entry has none.
    QKeySequence shortcut() const;

    friend bool operator==(const ColorFormatMenuItem &, const ColorFormatMenuItem &) = default;
};

// The entries for a colour item's hex, in the user's format order, leaving out the formats
// switched off (by raw value) and any the hex cannot be written in. Empty when the hex does not
// read. The shortcuts follow the listed entries, so switching one format off moves the later
// ones up.
QList<ColorFormatMenuItem> colorFormatMenuItems(QStringView hex,
    const QList<ColorFormatter::Format> &orderedFormats, const QSet<QString> &disabledFormats);
