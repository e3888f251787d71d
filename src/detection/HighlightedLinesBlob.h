#pragma once

#include "detection/highlight/AttributedText.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QString>
#include <QStringView>

#include <optional>

// The highlighted lines persisted inside a code item (its highlightedLinesData), made for the
// theme and appearance that the item's highlightedLinesTheme and highlightedLinesIsDark name.
// One blob holds lines of any number of display contexts; a line is named by its context, an
// underscore and its index ("preview_0", "preview_12").
//
// The blob is UTF-8 JSON text of one object, written compactly with every "/" escaped as
// "\/": one member per line, named as above, whose value is a string holding the standard
// base64 encoding (with "=" padding) of the line's archive. Readers take any valid JSON.
//
// A line's archive is our own. All integers are little-endian.
//
//   header   4 bytes  "TWAT"
//            u8       version (1)
//   text     u32      length in UTF-16 units, then the text as UTF-16
//   runs     u32      run count, then per run:
//                     u32 start, u32 length (in UTF-16 units, within the text),
//                     u16 flags, then the values the flags announce, in this order:
//                       0x01 foreground colour: u32 ARGB
//                       0x02 font weight: u16
//                       0x04 italic given, 0x08 its value
//                       0x10 underline given, 0x20 its value
//                       0x40 underline style: u8
//                       0x80 strike-out given, 0x100 its value
//
// An archive is read only whole: another header or version, a count or length that runs past
// the bytes there are, a run that leaves its text or bytes left over make it no line. A blob is
// trusted only whole too: text that is no JSON object, or a member that is not a base64 string
// of a sound archive, makes decode() and hasContext() read nothing; line() reads the one member
// it is asked for. Blobs of an older binary form are no JSON and so read as empty.
namespace HighlightedLinesBlob {

inline constexpr quint8 archiveVersion = 1;

using Lines = QMap<QString, AttributedText>;

QString lineName(QStringView context, int lineIndex);

QByteArray encode(const Lines &lines);
// Every line of a sound blob; nothing for an empty, damaged or foreign one.
std::optional<Lines> decode(const QByteArray &blob);
// One line of a blob that is a JSON object, without decoding the other lines.
std::optional<AttributedText> line(const QByteArray &blob, QStringView name);
// Whether a blob holds a line of the context and is sound throughout.
bool hasContext(const QByteArray &blob, QStringView context);

// One line's archive, and the line it holds (nothing unless the archive is sound).
QByteArray archive(const AttributedText &text);
std::optional<AttributedText> unarchive(QByteArrayView bytes);

} // namespace HighlightedLinesBlob
