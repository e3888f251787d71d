#pragma once

#include <QtGlobal>

// What the capture keeps at most. Larger copies are skipped with one log line: a hostile or
// careless owner must not be able to freeze the app or fill the disk with one copy.
namespace CaptureLimits {

// Text (and its HTML) as the owner sends it, in bytes.
inline constexpr qsizetype maxTextBytes = qsizetype(64) * 1024 * 1024;
// The encoded bytes of a picture copied as data.
inline constexpr qsizetype maxImageBytes = qsizetype(256) * 1024 * 1024;
// Pictures are never decoded beyond this many pixels (the size is read from the header first):
// a small file can claim a picture that takes seconds and gigabytes to decode.
inline constexpr qint64 maxImagePixels = 40'000'000;

} // namespace CaptureLimits
