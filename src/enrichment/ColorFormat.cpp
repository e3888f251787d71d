// The paste formats' names.
#include "enrichment/ColorFormat.h"

namespace ColorFormatter {

namespace {

struct FormatNames
{
    QStringView raw;
    QStringView display;
};

// In the order of allFormats.
// clang-format off
constexpr FormatNames names[] = {
    {u"hex", u"Hex"},         {u"rgb", u"RGB"},         {u"hsl", u"HSL"},         {u"hwb", u"HWB"},
    {u"lab", u"LAB"},         {u"lch", u"LCH"},         {u"oklab", u"OKLab"},     {u"oklch", u"OKLCH"},
    {u"swiftUI", u"SwiftUI"}, {u"nsColor", u"NSColor"}, {u"uiColor", u"UIColor"},
};
// clang-format on
static_assert(std::size(names) == allFormats.size());

} // namespace

QString rawValue(Format format)
{
    return names[size_t(format)].raw.toString();
}

QString displayName(Format format)
{
    return names[size_t(format)].display.toString();
}

std::optional<Format> formatFromRawValue(QStringView raw)
{
    for (Format format : allFormats) {
        if (raw == names[size_t(format)].raw)
            return format;
    }
    return std::nullopt;
}

} // namespace ColorFormatter
