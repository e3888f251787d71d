#pragma once

#include "platform/Pasteboard.h"

#include <QtGlobal>

// What the capture keeps at most. Larger copies are skipped with one log line: a hostile or
// careless owner must not be able to freeze the app or fill the disk with one copy.
namespace CaptureLimits {

// Text (and its HTML) as the owner sends it, in bytes.
inline constexpr qsizetype maxTextBytes = qsizetype(64) * 1024 * 1024;
// The encoded bytes of a picture copied as data. (How many pixels a picture may have before
// it is decoded is ImageLimits::maxPixels.)
inline constexpr qsizetype maxImageBytes = qsizetype(256) * 1024 * 1024;

// What a reading of the clipboard takes at most: a larger type is not read beyond its limit.
inline constexpr PasteboardReadLimits reading { maxImageBytes, maxTextBytes };

} // namespace CaptureLimits
