#pragma once

#include "detection/highlight/AttributedText.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringView>

#include <optional>

// The highlighted lines persisted inside a code item (its highlightedLinesData), made for the
// theme and appearance that the item's highlightedLinesTheme and highlightedLinesIsDark name.
// One blob holds lines of any number of display contexts; a line is named by its context, an
// underscore and its index ("preview_0", "preview_12").
//
// The format is our own. All integers are little-endian.
//
//   header   4 bytes  "TWHL"
//            u8       version (1)
//            u8, u16  reserved, 0
//            u32      entry count
//            u32      payload size in bytes (everything after the header)
//            u64      checksum of the payload (see checksum())
//   entry    u32      entry size in bytes (everything after this field)
//            u16      name size in bytes, then the name in UTF-8
//            u32      text length in UTF-16 units, then the text as UTF-16
//            u32      run count, then per run:
//                     u32 start, u32 length (in UTF-16 units, within the text),
//                     u16 flags, then the values the flags announce, in this order:
//                       0x01 foreground colour: u32 ARGB
//                       0x02 font weight: u16
//                       0x04 italic given, 0x08 its value
//                       0x10 underline given, 0x20 its value
//                       0x40 underline style: u8
//                       0x80 strike-out given, 0x100 its value
//
// A blob is trusted only whole: an unknown version, a checksum that does not match, a count
// or size that runs past the bytes there are, an empty or repeated name or bytes left over
// make the whole blob read as empty; a line whose runs leave its text, or that does not fill
// its entry exactly, is not read either (and decode() then reads nothing).
namespace HighlightedLinesBlob {

inline constexpr quint8 version = 1;

using Lines = QMap<QString, AttributedText>;

QString lineName(QStringView context, int lineIndex);

QByteArray encode(const Lines &lines);
// Every line of a sound blob; nothing for an empty, damaged or foreign one.
std::optional<Lines> decode(const QByteArray &blob);
// One line of a blob whose framing is sound, without decoding the other lines.
std::optional<AttributedText> line(const QByteArray &blob, QStringView name);
// Whether a blob holds a line of the context and is sound throughout.
bool hasContext(const QByteArray &blob, QStringView context);

// The payload checksum: 64-bit FNV-1a over the payload's 8-byte little-endian words, then
// over its remaining bytes.
quint64 checksum(const char *data, qsizetype size);

} // namespace HighlightedLinesBlob
