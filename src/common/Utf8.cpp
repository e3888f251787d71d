#include "common/Utf8.h"

namespace {

// Short texts are encoded at once, as toUtf8 would.
constexpr qsizetype pieceUnits = 64 * 1024;

} // namespace

namespace Utf8 {

void forEachPiece(QStringView text, const std::function<void(QByteArrayView piece)> &sink)
{
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = std::min(at + pieceUnits, text.size());
        // Never between the halves of a surrogate pair: each piece is whole characters, so
        // that encoding it alone gives the bytes the whole text would.
        if (end < text.size() && text[end - 1].isHighSurrogate() && text[end].isLowSurrogate())
            --end;
        sink(text.sliced(at, end - at).toUtf8());
        at = end;
    }
}

qsizetype size(QStringView text)
{
    // Counted, not encoded: a surrogate pair is one four-byte character, and a surrogate
    // without its other half is written as one '?', as toUtf8 writes it.
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            bytes += 1;
        } else if (unit < 0x800) {
            bytes += 2;
        } else if (!QChar::isSurrogate(unit)) {
            bytes += 3;
        } else if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            bytes += 4;
            ++i;
        } else {
            bytes += 1;
        }
    }
    return bytes;
}

QByteArray encode(QStringView text)
{
    if (text.size() <= pieceUnits)
        return text.toUtf8();
    QByteArray bytes;
    bytes.reserve(size(text));
    forEachPiece(text, [&](QByteArrayView piece) { bytes.append(piece); });
    return bytes;
}

} // namespace Utf8
