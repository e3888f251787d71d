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
        ASSERT_NO_FATAL_FAILURE(startAppAndOpen());
    }

    // The app started afresh (after the window it pastes into got the focus back), its panel
    // opened.
    void restartAndOpen()
    {
        app->stop();
        ASSERT_TRUE(xdotool({ QStringLiteral("windowactivate"), QString::number(window->windowId()) }));
        ASSERT_TRUE(waitUntil([&] { return isFront(window->windowId()); }));
        ASSERT_NO_FATAL_FAILURE(startAppAndOpen());
    }

    // The Text column (the second) keeps its pins in a group that its header opens.
    void openTextColumnPins()
    {
        ASSERT_TRUE(clickAt(panel.rect.topLeft() + QPoint(200 + 50, firstRowTop - 10 + 12)));
        ASSERT_TRUE(app->caughtUpWithClick());
    }
    // The middle of a pin's words in the Text column's opened group (0 the first pin).
    QPoint textPinPoint(int row) const
    {
        return rowPoint(panel.rect, 1, row) + QPoint(0, pinnedHeaderHeight);
    }

    // A hand's drag from one pin of the Text column onto another, each step taken by the app
    // before the next; what happens before the release is up to the caller.
    void dragTextPin(int from, int to, const std::function<void()> &beforeRelease)
    {
        ASSERT_TRUE(moveTo(textPinPoint(from)));
        ASSERT_TRUE(xdotool({ QStringLiteral("mousedown"), QStringLiteral("1") }));
        ASSERT_TRUE(app->caughtUpWithClick());
        for (int step = 1; step <= 10; ++step) {
            ASSERT_TRUE(moveTo(textPinPoint(from) + (textPinPoint(to) - textPinPoint(from)) * step / 10));
            ASSERT_TRUE(app->caughtUp());
        }
        beforeRelease();
        ASSERT_TRUE(xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") }));
        ASSERT_TRUE(app->caughtUp());
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
    static QImage screen() { return screenImage(); }

    // A press, a drag in steps and a release, as a hand makes it: a first small step just past
    // the 3-point drag threshold towards the target, then the rest; the app takes each step
    // before the next.
    static QPoint firstStep(const QPoint &from, const QPoint &to)
    {
        const auto sign = [](int value) { return (value > 0) - (value < 0); };
        return QPoint(4 * sign(to.x() - from.x()), 2 * sign(to.y() - from.y()));
    }
    bool drag(const QPoint &from, const QPoint &to)
    {
        if (!moveTo(from) || !xdotool({ QStringLiteral("mousedown"), QStringLiteral("1") })
            || !app->caughtUpWithClick())
            return false;
        if (!moveTo(from + firstStep(from, to)) || !app->caughtUp())
            return false;
        const int steps = 8;
        for (int step = 1; step <= steps; ++step) {
            if (!moveTo(from + (to - from) * step / steps) || !app->caughtUp())
                return false;
        }
        return xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") }) && app->caughtUp();
    }

    // A value the app keeps in its settings file.
    QVariant storedSetting(const QString &key) const
    {
        QFile file(home.path() + QStringLiteral("/config/Tindlewick/defaults.json"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object().value(key).toVariant();
    }

    quint64 previewWindow()
    {
        const QString found = toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                QStringLiteral("^Tindlewick Preview$") });
        return found.isEmpty() ? 0 : found.split(QLatin1Char('\n')).first().toULongLong();
    }

    // The pointer comes to rest on a point, with a hand's last small move into it: where the
    // preview window that appears lies, once the app has placed and drawn it (invalid when none
    // appears). The app takes the move that brings the pointer near before the last one: on a busy
    // machine it would read the two as one move onto the point, and when the pointer had left the
    // panel from that very point, Qt drops such a move as none at all (the preview then never comes).
    Geometry previewAfterRestingOn(const QPoint &pointer)
    {
        if (!moveTo(pointer - QPoint(5, 0)) || !app->caughtUp() || !moveTo(pointer))
            return {};
        quint64 preview = 0;
        if (!waitUntil([&] { return (preview = previewWindow()) != 0 && isViewable(preview); })
            || !app->caughtUp())
            return {};
        return windowGeometry(preview);
    }

    // The app started with appEnvironment (and its test hooks), its panel opened and drawn;
    // panelWindow and panel say where.
    void startAppAndOpen()
    {
        app = std::make_unique<AppProcess>(home.path());
        app->enableTestHooks();
        for (auto it = appEnvironment.cbegin(); it != appEnvironment.cend(); ++it)
            app->setEnvironment(it.key(), it.value());
        ASSERT_TRUE(app->start());
        ASSERT_TRUE(openPanelShown(*app));
        panelWindow = frontWindow();
        panel = windowGeometry(panelWindow);
        ASSERT_TRUE(panel.valid);
    }

    // Variables the app's process gets besides the test's own.
    QHash<QString, QString> appEnvironment;
    std::unique_ptr<TestWindowProcess> window;
    std::unique_ptr<AppProcess> app; // goes before the window
    quint64 panelWindow = 0;
    Geometry panel;
};
