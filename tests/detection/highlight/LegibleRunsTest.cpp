#include "detection/highlight/LegibleRuns.h"

#include "detection/highlight/Highlight.h"
#include "detection/highlight/HighlightColors.h"
#include "detection/highlight/HighlightThemeSheets.h"

#include <gtest/gtest.h>

namespace {

// A doctype and a tag as highlight.js marks them up in HTML.
const QString markup = QStringLiteral("<span class=\"hljs-meta\">&lt;!DOCTYPE html&gt;</span>\n"
                                      "<span class=\"hljs-tag\">&lt;<span class=\"hljs-name\">div</span> "
                                      "<span class=\"hljs-attr\">class</span>=<span class=\"hljs-string\">"
                                      "&quot;card&quot;</span>&gt;</span>");
// Where in its text each part of the tag stands.
constexpr int doctype = 0;
constexpr int bracket = 16;
constexpr int name = 17;
constexpr int attribute = 21;
constexpr int equals = 26;
constexpr int value = 27;
constexpr int closing = 33;

} // namespace

// The colour each part of the doctype and the tag is drawn in, for a theme's colours on the
// background they are drawn on: a colour that would not stand out there is the theme's text
// colour, every other the palette's own.
TEST(LegibleRunsTest, AColourThatDoesNotStandOutFromItsBackgroundIsTheThemesTextColour)
{
    const struct
    {
        const char *name;
        HighlightTheme theme;
        bool dark;
        QColor background;
        QColor meta, punctuation, tagName, attributeName, attributeValue;
    } cases[] = {
        // The light panel, the white of a card; the punctuation in GitHub light's #e8e8e8.
        { "GitHub light on the light panel", HighlightTheme::github, false, QColor(0xef, 0xef, 0xef),
            QColor("#333"), QColor("#333"), QColor("#ed6a43"), QColor("#0086b3"), QColor("#183691") },
        { "GitHub light on white", HighlightTheme::github, false, QColor(Qt::white), QColor("#333"),
            QColor("#333"), QColor("#ed6a43"), QColor("#0086b3"), QColor("#183691") },
        // Heetch light: #ddd6e5 on its own background 1.41:1; the names' #27d9d5 1.53:1 on the
        // light panel, its doctype's #dedae2 1.20:1.
        { "Heetch light on its own background", HighlightTheme::heetch, false, QColor("#feffff"),
            QColor("#5a496e"), QColor("#5a496e"), QColor("#27d9d5"), QColor("#bdb6c5"), QColor("#f80059") },
        { "Heetch light on the light panel", HighlightTheme::heetch, false, QColor(0xef, 0xef, 0xef),
            QColor("#5a496e"), QColor("#5a496e"), QColor("#27d9d5"), QColor("#bdb6c5"), QColor("#f80059") },
        // Heetch dark's doctype #470546 on its background 1.26:1; its tags #9c92a8 5.9:1.
        { "Heetch dark on its own background", HighlightTheme::heetch, true, QColor("#190134"),
            QColor("#bdb6c5"), QColor("#9c92a8"), QColor("#27d9d5"), QColor("#5ba2b6"), QColor("#c33678") },
        // A light sheet that needs nothing: Xcode light's names #aa0d91 on white.
        { "Xcode light on white", HighlightTheme::xcode, false, QColor(Qt::white), QColor("#643820"),
            QColor("#aa0d91"), QColor("#aa0d91"), QColor("#836c28"), QColor("#c41a16") },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const HighlightColors colours
            = c.dark ? HighlightColors::dark(c.theme) : HighlightColors::light(c.theme);
        const QColor text
            = c.dark ? HighlightThemes::darkTextColor(c.theme) : HighlightThemes::lightTextColor(c.theme);
        const AttributedText read
            = Highlight::attributedTextFromHtml(Highlight::htmlDocument(markup, colours.css));
        ASSERT_EQ(read.text, QStringLiteral("<!DOCTYPE html>\n<div class=\"card\">"));
        const AttributedText drawn { read.text, LegibleRuns::onBackground(read.formats, c.background, text) };
        const auto colourAt
            = [&](int position) { return drawn.formatAt(position).foreground().color().name(); };
        EXPECT_EQ(colourAt(doctype), c.meta.name());
        EXPECT_EQ(colourAt(bracket), c.punctuation.name());
        EXPECT_EQ(colourAt(equals), c.punctuation.name());
        EXPECT_EQ(colourAt(closing), c.punctuation.name());
        EXPECT_EQ(colourAt(name), c.tagName.name());
        EXPECT_EQ(colourAt(attribute), c.attributeName.name());
        EXPECT_EQ(colourAt(value), c.attributeValue.name());
    }
}

// WCAG's figures: black on white 21:1, a colour on itself 1:1, mid grey on white 4.48:1.
TEST(LegibleRunsTest, ContrastRatiosAreWcags)
{
    EXPECT_NEAR(LegibleRuns::contrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(LegibleRuns::contrastRatio(Qt::white, Qt::black), 21.0, 1e-9);
    EXPECT_NEAR(LegibleRuns::contrastRatio(QColor("#e8e8e8"), QColor("#e8e8e8")), 1.0, 1e-9);
    EXPECT_NEAR(LegibleRuns::contrastRatio(QColor("#777777"), Qt::white), 4.48, 0.01);
}
