#include "settings/AppearanceTab.h"

#include "items/CodeText.h"
#include "settings/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

namespace {

class AppearanceTabTest : public SettingsTest
{
};

TEST_F(AppearanceTabTest, TheSampleIsThreeLinesOfTypeScriptHighlightedWithoutDetection)
{
    EXPECT_EQ(AppearanceTab::sampleText().toUtf8().size(), 56);
    EXPECT_EQ(AppearanceTab::sampleText().split(QLatin1Char('\n')),
        (QStringList { QStringLiteral("function greet(): string {"),
            QStringLiteral("    return \"Hello, World!\";"), QStringLiteral("}") }));
    settings.setDetectCode(false);
    AppearanceTab tab(settings);
    EXPECT_EQ(tab.sample()->text(), AppearanceTab::sampleText());
    EXPECT_EQ(tab.sample()->mode(), HighlightMode::language(HighlightLanguage::typeScript));
    EXPECT_EQ(tab.sample()->colors(), CodeTextColors::forTheme(HighlightTheme::github));
}

TEST_F(AppearanceTabTest, TheSliderYieldsWholeSizesFromTenToSixteen)
{
    AppearanceTab tab(settings);
    QSlider *slider = tab.fontSizeSlider();
    EXPECT_EQ(slider->minimum(), 10);
    EXPECT_EQ(slider->maximum(), 16);
    EXPECT_EQ(slider->value(), 13);

    const struct
    {
        const char *name;
        QAbstractSlider::SliderAction action;
        double stored;
    } cases[] = {
        { "a step up", QAbstractSlider::SliderSingleStepAdd, 14 },
        { "a page up", QAbstractSlider::SliderPageStepAdd, 15 },
        { "to the end", QAbstractSlider::SliderToMaximum, 16 },
        { "past the end", QAbstractSlider::SliderSingleStepAdd, 16 },
        { "to the start", QAbstractSlider::SliderToMinimum, 10 },
        { "below the start", QAbstractSlider::SliderSingleStepSub, 10 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        slider->triggerAction(c.action);
        EXPECT_EQ(settings.fontSize(), c.stored);
        EXPECT_EQ(defaults.number(QStringLiteral("fontSize")), c.stored);
        EXPECT_EQ(tab.sample()->font().pointSizeF(), c.stored);
    }
}

TEST_F(AppearanceTabTest, ASizeSetElsewhereMovesTheSliderAndResizesTheSample)
{
    AppearanceTab tab(settings);
    settings.setFontSize(15);
    EXPECT_EQ(tab.fontSizeSlider()->value(), 15);
    EXPECT_EQ(tab.sample()->font().pointSizeF(), 15.0);
    // A size written by hand shows at the nearest mark, and the sample keeps it exactly.
    settings.setFontSize(11.6);
    EXPECT_EQ(tab.fontSizeSlider()->value(), 12);
    EXPECT_EQ(tab.sample()->font().pointSizeF(), 11.6);
    EXPECT_EQ(settings.fontSize(), 11.6) << "showing a size does not write one";
}

TEST_F(AppearanceTabTest, ThePickerListsTheThirtyThemesAndAChoiceRecoloursTheSample)
{
    AppearanceTab tab(settings);
    QComboBox *picker = tab.themePicker();
    ASSERT_EQ(picker->count(), 30);
    for (int i = 0; i < picker->count(); ++i)
        EXPECT_EQ(picker->itemText(i), HighlightThemes::rawValue(HighlightThemes::allCases().at(i)));
    EXPECT_EQ(picker->itemText(0), QStringLiteral("a11y"));
    EXPECT_EQ(picker->itemText(29), QStringLiteral("Xcode"));
    EXPECT_EQ(picker->currentText(), QStringLiteral("GitHub"));

    // The keyboard picks the next theme, as a person does with the closed picker.
    const int posts
        = postsOf(Notifications::codeThemeChanged, [&] { QTest::keyClick(picker, Qt::Key_Down); });
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(settings.codeTheme(), HighlightTheme::google);
    EXPECT_EQ(defaults.string(QStringLiteral("codeTheme")), QStringLiteral("Google"));
    EXPECT_EQ(tab.sample()->colors(), CodeTextColors::forTheme(HighlightTheme::google));

    // A theme chosen elsewhere shows here too.
    settings.setCodeTheme(HighlightTheme::tokyoNight);
    EXPECT_EQ(picker->currentText(), QStringLiteral("Tokyo Night"));
    EXPECT_EQ(tab.sample()->colors(), CodeTextColors::forTheme(HighlightTheme::tokyoNight));
}

TEST_F(AppearanceTabTest, TheSampleIsHighlightedInTheChosenThemesColours)
{
    AppearanceTab tab(settings);
    tab.show();
    QList<QColor> keywordColours;
    ASSERT_TRUE(waitUntil([&] { return tab.sample()->highlightResult().has_value(); }));
    for (HighlightTheme theme : { HighlightTheme::solarized, HighlightTheme::github }) {
        SCOPED_TRACE(HighlightThemes::rawValue(theme).toStdString());
        QSignalSpy highlighted(tab.sample(), &CodeText::highlightSucceeded);
        settings.setCodeTheme(theme);
        ASSERT_TRUE(waitUntil([&] { return highlighted.count() > 0; }));
        ASSERT_EQ(tab.sample()->displayedText().text, AppearanceTab::sampleText());
        // "function", the first word, is a keyword of the sample.
        const QTextCharFormat keyword = tab.sample()->displayedText().formatAt(0);
        ASSERT_NE(keyword.foreground().style(), Qt::NoBrush);
        keywordColours.append(keyword.foreground().color());
    }
    EXPECT_NE(keywordColours[0], keywordColours[1]) << "the keyword kept its colour across themes";
}

TEST_F(AppearanceTabTest, ADarkPaletteTurnsTheSampleToTheThemesDarkColoursWithoutChangingTheTheme)
{
    AppearanceTab tab(settings);
    tab.show();
    ASSERT_TRUE(waitUntil([&] { return tab.sample()->highlightResult().has_value(); }));
    const QColor lightKeyword = tab.sample()->displayedText().formatAt(0).foreground().color();
    EXPECT_FALSE(tab.sample()->isDark());

    QSignalSpy highlighted(tab.sample(), &CodeText::highlightSucceeded);
    QPalette dark = tab.palette();
    dark.setColor(QPalette::Window, QColor(0x24, 0x24, 0x24));
    dark.setColor(QPalette::WindowText, QColor(0xf0, 0xf0, 0xf0));
    dark.setColor(QPalette::Base, QColor(0x1a, 0x1a, 0x1a));
    tab.setPalette(dark);
    EXPECT_TRUE(tab.sample()->isDark());
    ASSERT_TRUE(waitUntil([&] { return highlighted.count() > 0; }));
    EXPECT_NE(tab.sample()->displayedText().formatAt(0).foreground().color(), lightKeyword);
    EXPECT_EQ(settings.codeTheme(), HighlightTheme::github);
    EXPECT_FALSE(defaults.contains(QStringLiteral("codeTheme")));
}

TEST_F(AppearanceTabTest, TheGlassSwitchWritesAndAnnounces)
{
    AppearanceTab tab(settings);
    EXPECT_TRUE(tab.liquidGlassSwitch()->isChecked());
    EXPECT_EQ(
        postsOf(Notifications::liquidGlassSettingChanged, [&] { tab.liquidGlassSwitch()->click(); }), 1);
    EXPECT_FALSE(settings.useLiquidGlass());
    EXPECT_EQ(defaults.boolean(QStringLiteral("useLiquidGlass")), false);
    settings.setUseLiquidGlass(true);
    EXPECT_TRUE(tab.liquidGlassSwitch()->isChecked());
}

} // namespace
