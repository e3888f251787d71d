#pragma once

// The panel under the pointer in the running app: a window to paste into, the app with its
// panel opened, and the pointer's moves, drags and the panel's geometry.

#include "AppEndToEnd.h"
#include "TestWindowProcess.h"

#include "model/FetchDescriptor.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QHash>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <optional>

// The first row of a column starts this far below the panel's top: the search strip (its
// 26-point field and 12 points above and below), the divider, 8 points, the column's 40-point
// header and 10 points of padding. Rows are 44 high with 2 between.
constexpr int firstRowTop = 119;
constexpr int rowPitch = 46;
// A column other than History shows its pins under a header of this height, once opened.
constexpr int pinnedHeaderHeight = 24;

class PanelPointerX11Test : public AppEndToEndTest
{
protected:
    // The window the user works in (when wanted), then the app with the pointer resting at a
    // point, its panel opened; panelWindow and panel say where the panel is.
    void startAndOpen(const QPoint &pointer, bool withWindow = true)
    {
        if (withWindow) {
            window = std::make_unique<TestWindowProcess>();
            ASSERT_TRUE(window->start());
            ASSERT_TRUE(waitUntil([&] { return isFront(window->windowId()); }));
        }
        ASSERT_TRUE(moveTo(pointer));
        app = std::make_unique<AppProcess>(home.path());
        for (auto it = appEnvironment.cbegin(); it != appEnvironment.cend(); ++it)
            app->setEnvironment(it.key(), it.value());
        ASSERT_TRUE(app->start());
        ASSERT_TRUE(openPanel(*app));
        panelWindow = frontWindow();
        panel = windowGeometry(panelWindow);
        ASSERT_TRUE(panel.valid);
    }

    bool moveTo(const QPoint &point)
    {
        return xdotool(
            { QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()) });
    }
    // The middle of a row's words in a column (0 the leftmost) of a panel of 200-wide columns.
    static QPoint rowPoint(const QRect &panel, int column, int row)
    {
        return QPoint(panel.left() + column * 200 + 120, panel.top() + firstRowTop + row * rowPitch + 22);
    }
    static QImage screen() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }

    // A press, a drag in steps and a release, as a hand makes it: a first small step just past
    // the 3-point drag threshold towards the target, then the rest.
    static QPoint firstStep(const QPoint &from, const QPoint &to)
    {
        const auto sign = [](int value) { return (value > 0) - (value < 0); };
        return QPoint(4 * sign(to.x() - from.x()), 2 * sign(to.y() - from.y()));
    }
    bool drag(const QPoint &from, const QPoint &to)
    {
        if (!moveTo(from) || !xdotool({ QStringLiteral("mousedown"), QStringLiteral("1") }))
            return false;
        QTest::qWait(100);
        if (!moveTo(from + firstStep(from, to)))
            return false;
        QTest::qWait(50);
        const int steps = 8;
        for (int step = 1; step <= steps; ++step) {
            if (!moveTo(from + (to - from) * step / steps))
                return false;
            QTest::qWait(30);
        }
        QTest::qWait(100);
        return xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") });
    }

    // A value the app keeps in its settings file.
    QVariant storedSetting(const QString &key) const
    {
        QFile file(home.path() + QStringLiteral("/config/Tindlewick/defaults.json"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object().value(key).toVariant();
    }

    // The darkest lightness of the search field's magnifier and of the caret's place after it, in
    // an image of the panel whose left edge may lie anywhere (the desktop around it is black).
    struct StripInk
    {
        int magnifier = 255;
        int caret = 255;
    };
    static std::optional<StripInk> stripInk(const QImage &image)
    {
        int left = 0;
        while (left < image.width() && image.pixelColor(left, 30).lightness() < 150)
            ++left;
        if (left + 70 > image.width())
            return std::nullopt;
        StripInk ink;
        for (int y = 15; y < 45; ++y) {
            for (int x = 15; x < 42; ++x)
                ink.magnifier = std::min(ink.magnifier, image.pixelColor(left + x, y).lightness());
            for (int x = 46; x < 66; ++x)
                ink.caret = std::min(ink.caret, image.pixelColor(left + x, y).lightness());
        }
        return ink;
    }

    quint64 previewWindow()
    {
        const QString found = toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                QStringLiteral("^Tindlewick Preview$") });
        return found.isEmpty() ? 0 : found.split(QLatin1Char('\n')).first().toULongLong();
    }

    // Variables the app's process gets besides the test's own.
    QHash<QString, QString> appEnvironment;
    std::unique_ptr<TestWindowProcess> window;
    std::unique_ptr<AppProcess> app; // goes before the window
    quint64 panelWindow = 0;
    Geometry panel;

private:
    // Declared in this order, the context is destroyed first.
};
