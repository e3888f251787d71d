#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The value types of colour notations that the settings and the stored items use: the paste
// formats with their stored names, and a colour's components. Reading and writing notations
// is ColorFormatter's.
namespace ColorFormatter {

// The notations a colour item can be pasted as. The declaration order is the default order
// of the paste menu; the settings store a format by its raw value.
enum class Format { hex, rgb, hsl, hwb, lab, lch, oklab, oklch, swiftUI, nsColor, uiColor };

// clang-format off
inline constexpr std::array<Format, 11> allFormats = {
    Format::hex, Format::rgb, Format::hsl, Format::hwb, Format::lab, Format::lch,
    Format::oklab, Format::oklch, Format::swiftUI, Format::nsColor, Format::uiColor,
};
// clang-format on

// The stored name of a format (its identity).
QString rawValue(Format format);

// The label shown in menus and in the settings.
QString displayName(Format format);

// The format stored as raw, exactly (case-sensitive, untrimmed); nothing for any other text.
std::optional<Format> formatFromRawValue(QStringView raw);

// Hashes like its raw value, so a set of formats and a set of raw values agree.
inline size_t qHash(Format format, size_t seed = 0) noexcept
{
    return ::qHash(rawValue(format), seed);
}

// A colour's channels, each 0...1.
struct RGBAComponents
{
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    friend bool operator==(const RGBAComponents &, const RGBAComponents &) = default;
};

} // namespace ColorFormatter
