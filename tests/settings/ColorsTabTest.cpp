#include "settings/ColorsTab.h"

#include "panel/WidgetOpacity.h"
#include "settings/ColorFormatDragState.h"
#include "settings/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>

using Format = ColorFormatter::Format;

namespace {

QStringList raw(const QList<Format> &formats)
{
    QStringList names;
    for (Format format : formats)
        names.append(ColorFormatter::rawValue(format));
    return names;
}

class ColorsTabTest : public SettingsTest
{
protected:
    // A drag passing over a row, as the window system delivers it.
    static bool dragEnters(QWidget *row, const QString &text)
    {
        QMimeData payload;
        payload.setText(text);
        QDragEnterEvent event(QPoint(5, 5), Qt::MoveAction, &payload, Qt::LeftButton, Qt::NoModifier);
        event.ignore();
        QCoreApplication::sendEvent(row, &event);
        return event.isAccepted();
    }
    static bool dropsOn(QWidget *row, const QString &text)
    {
        QMimeData payload;
        payload.setText(text);
        QDropEvent event(QPointF(5, 5), Qt::MoveAction, &payload, Qt::LeftButton, Qt::NoModifier);
        event.ignore();
        QCoreApplication::sendEvent(row, &event);
        return event.isAccepted();
    }
};

TEST_F(ColorsTabTest, EveryFormatIsListedInTheUsersOrderWithASampleOfRed)
{
    ColorsTab tab(settings);
    EXPECT_EQ(raw(tab.shownOrder()),
        (QStringList {
            "hex", "rgb", "hsl", "hwb", "lab", "lch", "oklab", "oklch", "swiftUI", "nsColor", "uiColor" }));
    const struct
    {
        Format format;
        const char *name;
        const char *sample;
    } cases[] = {
        { Format::hex, "Hex", "#FF0000" },
        { Format::rgb, "RGB", "rgb(255, 0, 0)" },
        { Format::hsl, "HSL", "hsl(0, 100%, 50%)" },
    };
    for (const auto &c : cases) {
        QStringList texts;
        for (const QLabel *label : tab.row(c.format)->findChildren<QLabel *>())
            texts.append(label->text());
        EXPECT_EQ(texts, (QStringList { QString::fromUtf8(c.name), QString::fromUtf8(c.sample) }));
        EXPECT_TRUE(tab.formatSwitch(c.format)->isChecked());
    }

    // An order stored without some formats lists those after the stored ones.
    settings.setColorFormatOrder({ QStringLiteral("oklch"), QStringLiteral("rgb") });
    EXPECT_EQ(raw(tab.shownOrder()).mid(0, 4), (QStringList { "oklch", "rgb", "hex", "hsl" }));
    EXPECT_EQ(tab.shownOrder().size(), 11);
}

TEST_F(ColorsTabTest, DraggingARowOntoAnotherTakesItsPlace)
{
    struct Step
    {
        Format target;
        QStringList orderAfter;
    };
    const struct
    {
        const char *name;
        Format dragged;
        QList<Step> steps;
    } cases[] = {
        { "Hex onto HSL", Format::hex,
            { { Format::hsl,
                { "rgb", "hsl", "hex", "hwb", "lab", "lch", "oklab", "oklch", "swiftUI", "nsColor",
                    "uiColor" } } } },
        { "HSL onto Hex", Format::hsl,
            { { Format::hex,
                { "hsl", "hex", "rgb", "hwb", "lab", "lch", "oklab", "oklch", "swiftUI", "nsColor",
                    "uiColor" } } } },
        // One place per row entered, each order stored on the way.
        { "Hex across three rows", Format::hex,
            { { Format::rgb,
                  { "rgb", "hex", "hsl", "hwb", "lab", "lch", "oklab", "oklch", "swiftUI", "nsColor",
                      "uiColor" } },
                { Format::hsl,
                    { "rgb", "hsl", "hex", "hwb", "lab", "lch", "oklab", "oklch", "swiftUI", "nsColor",
                        "uiColor" } },
                { Format::hwb,
                    { "rgb", "hsl", "hwb", "hex", "lab", "lch", "oklab", "oklch", "swiftUI", "nsColor",
                        "uiColor" } } } },
        { "UIColor to the top", Format::uiColor,
            { { Format::hex,
                { "uiColor", "hex", "rgb", "hsl", "hwb", "lab", "lch", "oklab", "oklch", "swiftUI",
                    "nsColor" } } } },
        { "over itself", Format::lab,
            { { Format::lab,
                { "hex", "rgb", "hsl", "hwb", "lab", "lch", "oklab", "oklch", "swiftUI", "nsColor",
                    "uiColor" } } } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        settings.setColorFormatOrder(
            raw(QList<Format>(ColorFormatter::allFormats.begin(), ColorFormatter::allFormats.end())));
        ColorsTab tab(settings);
        tab.dragState().beginDrag(c.dragged);
        EXPECT_EQ(widgetOpacity(tab.row(c.dragged)), 0.5);
        for (const Step &step : c.steps) {
            EXPECT_TRUE(dragEnters(tab.row(step.target), ColorFormatter::rawValue(c.dragged)));
            EXPECT_EQ(settings.colorFormatOrder(), step.orderAfter);
            EXPECT_EQ(defaults.stringList(QStringLiteral("colorFormatOrder")), step.orderAfter);
            EXPECT_EQ(raw(tab.shownOrder()), step.orderAfter) << "the list redraws while the drag goes on";
        }
        EXPECT_TRUE(dropsOn(tab.row(c.steps.last().target), ColorFormatter::rawValue(c.dragged)));
        EXPECT_EQ(tab.dragState().draggedFormat(), std::nullopt);
        EXPECT_EQ(widgetOpacity(tab.row(c.dragged)), 1.0);
        EXPECT_EQ(settings.colorFormatOrder(), c.steps.last().orderAfter) << "the drop itself moves nothing";
    }
}

TEST_F(ColorsTabTest, ADragThatEndsElsewhereLeavesNothingBehind)
{
    ColorsTab tab(settings);
    const QStringList before = settings.colorFormatOrder();
    // Text dragged in from another program is refused and moves nothing.
    EXPECT_FALSE(dragEnters(tab.row(Format::lab), QStringLiteral("some text")));
    EXPECT_EQ(settings.colorFormatOrder(), before);

    // A row dragged out of the list and let go there.
    tab.dragState().beginDrag(Format::hex);
    tab.dragState().dragEnded();
    EXPECT_EQ(tab.dragState().draggedFormat(), std::nullopt);
    EXPECT_EQ(widgetOpacity(tab.row(Format::hex)), 1.0);
    // A later drag of text from elsewhere finds no format to move.
    EXPECT_FALSE(dragEnters(tab.row(Format::lab), QStringLiteral("hex")));
    EXPECT_EQ(settings.colorFormatOrder(), before);
}

TEST_F(ColorsTabTest, SwitchesTurnFormatsOffAndOnWithoutMovingThem)
{
    ColorsTab tab(settings);
    const QStringList order = settings.colorFormatOrder();
    tab.formatSwitch(Format::lab)->click();
    EXPECT_EQ(settings.disabledColorFormats(), QSet<QString> { QStringLiteral("lab") });
    EXPECT_EQ(
        defaults.stringList(QStringLiteral("disabledColorFormats")), QStringList { QStringLiteral("lab") });
    EXPECT_FALSE(tab.formatSwitch(Format::lab)->isChecked());

    // Still listed and still movable.
    tab.dragState().beginDrag(Format::lab);
    EXPECT_TRUE(dragEnters(tab.row(Format::hex), QStringLiteral("lab")));
    EXPECT_EQ(tab.shownOrder().first(), Format::lab);
    tab.dragState().dragEnded();
    EXPECT_FALSE(tab.formatSwitch(Format::lab)->isChecked());

    tab.formatSwitch(Format::lab)->click();
    EXPECT_TRUE(settings.disabledColorFormats().isEmpty());
    EXPECT_TRUE(tab.formatSwitch(Format::lab)->isChecked());

    // A format switched off elsewhere shows off here.
    settings.toggleColorFormat(Format::uiColor);
    EXPECT_FALSE(tab.formatSwitch(Format::uiColor)->isChecked());
    EXPECT_EQ(order.size(), 11);
}

} // namespace
