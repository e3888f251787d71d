#pragma once

#include <QColor>
#include <QtGlobal>

#include <optional>
#include <variant>

// Padding only; no background is ever painted.
struct PlainCodeTextStyle
{
    qreal verticalPadding = 0;
    qreal horizontalPadding = 0;

    friend bool operator==(const PlainCodeTextStyle &, const PlainCodeTextStyle &) = default;
};

// Padding on a rounded card filled with the theme's background (once a highlight has told
// the view what it is) and outlined with a hairline.
struct CardCodeTextStyle
{
    qreal cornerRadius = 10;
    std::optional<QColor> stroke; // none: the palette's separator colour
    qreal lineWidth = 0.333;
    qreal verticalPadding = 8;
    qreal horizontalPadding = 12;

    friend bool operator==(const CardCodeTextStyle &, const CardCodeTextStyle &) = default;
};

using CodeTextStyle = std::variant<PlainCodeTextStyle, CardCodeTextStyle>;
