#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// Decoding that refuses what it cannot read exactly, instead of replacing it: stored
// bytes, URL escapes and file contents either decode whole or give nothing.
namespace StrictText {

// The bytes as UTF-8 text; nothing when they are not valid UTF-8.
std::optional<QString> fromUtf8(const QByteArray &bytes);

// The text with every "%XX" escape replaced by its byte, the bytes read as UTF-8. Nothing
// when an escape is broken or the bytes are not UTF-8. "+" stays "+".
std::optional<QString> removingPercentEncoding(QStringView text);

} // namespace StrictText
