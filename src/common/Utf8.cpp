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
    qsizetype bytes = 0;
    forEachPiece(text, [&](QByteArrayView piece) { bytes += piece.size(); });
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
