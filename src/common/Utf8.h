#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <functional>

// UTF-8 of long texts without QString::toUtf8's first buffer, which takes three bytes for
// every UTF-16 unit (about 200 MB for a copied text of 63 MB) before it is cut to size. The
// bytes are those toUtf8 gives.
namespace Utf8 {

// The text's UTF-8, in a buffer of its size.
QByteArray encode(QStringView text);
// How many bytes the text's UTF-8 takes.
qsizetype size(QStringView text);
// Hands the text's UTF-8 to sink a piece at a time, in order.
void forEachPiece(QStringView text, const std::function<void(QByteArrayView piece)> &sink);

} // namespace Utf8
