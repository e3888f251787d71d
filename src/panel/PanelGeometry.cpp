#include "panel/PanelGeometry.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace PanelGeometry {

namespace {

QString numberText(double value)
{
    // QString::number never uses the locale.
    return QString::number(value, 'g', 17);
}

std::optional<std::pair<double, double>> parsePair(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*\{\s*([-+0-9.eE]+)\s*,\s*([-+0-9.eE]+)\s*\}\s*$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool okFirst = false;
    bool okSecond = false;
    const double first = match.captured(1).toDouble(&okFirst);
    const double second = match.captured(2).toDouble(&okSecond);
    if (!okFirst || !okSecond || !std::isfinite(first) || !std::isfinite(second))
        return std::nullopt;
    return std::pair { first, second };
}

// Moves x so that [x, x + width] lies in the visible frame, the left edge winning.
double clampX(double x, double width, const QRectF &visible)
{
    if (x < visible.left())
        return visible.left();
    if (x + width > visible.right())
        return visible.right() - width;
    return x;
}

} // namespace

double tabModeWidth(int columns)
{
    return std::max(minimumWidth, columns * columnWidth - 1);
}

QString sizeText(const QSizeF &size)
{
    return QStringLiteral("{%1, %2}").arg(numberText(size.width()), numberText(size.height()));
}

QString pointText(const QPointF &point)
{
    return QStringLiteral("{%1, %2}").arg(numberText(point.x()), numberText(point.y()));
}

std::optional<QSizeF> parseSize(const QString &text)
{
    const auto pair = parsePair(text);
    if (!pair || pair->first <= 0 || pair->second <= 0)
        return std::nullopt;
    return QSizeF(pair->first, pair->second);
}

std::optional<QPointF> parsePoint(const QString &text)
{
    const auto pair = parsePair(text);
    if (!pair)
        return std::nullopt;
    return QPointF(pair->first, pair->second);
}

QString screenKey(const QString &screenName, const QPointF &screenOrigin)
{
    if (!screenName.isEmpty())
        return QStringLiteral("screen_") + screenName;
    return QStringLiteral("screen_%1_%2").arg(qint64(screenOrigin.x())).arg(qint64(screenOrigin.y()));
}

ShowPlacement placeForShow(const QRectF &visible, std::optional<QSizeF> savedSize,
    std::optional<QPointF> savedTopLeft, bool lockedInTabMode, int columnCount,
    const QSizeF &currentMinimumSize)
{
    QSizeF size = savedSize.value_or(QSizeF(defaultWidth, defaultHeight));
    if (!lockedInTabMode) {
        const int columns = std::max(1, columnCount);
        const double needed = columns * columnWidth;
        if (size.width() < needed && needed <= visible.width())
            size.setWidth(needed);
        if (columns == 1 && size.width() > widestSingleColumnWidth)
            size.setWidth(widestSingleColumnWidth);
    }
    size.setWidth(std::min(std::max(size.width(), currentMinimumSize.width()), visible.width()));
    size.setHeight(std::max(currentMinimumSize.height(), std::min(visible.height(), size.height())));

    QSizeF minimum = currentMinimumSize;
    if (visible.width() < minimum.width())
        minimum.setWidth(visible.width());

    QPointF origin;
    if (savedTopLeft)
        origin = *savedTopLeft;
    else
        origin = QPointF(visible.center().x() - size.width() / 2, visible.center().y() - size.height() / 2);
    QRectF frame(origin, size);
    if (!visible.contains(frame)) {
        double x = clampX(frame.x(), size.width(), visible);
        // The top edge wins over the bottom one, so the panel's top stays reachable.
        double y = frame.y();
        if (y + size.height() > visible.bottom())
            y = visible.bottom() - size.height();
        if (y < visible.top())
            y = visible.top();
        frame.moveTo(x, y);
    }
    return { frame, minimum, visible.size() };
}

TabLockChange decideAfterLiveResize(double width, int columnCount, bool locked)
{
    const double threshold = columnsThreshold(columnCount);
    if (width >= threshold && locked)
        return TabLockChange::unlock;
    if (width < threshold && !locked && columnCount >= 2)
        return TabLockChange::lock;
    return TabLockChange::none;
}

QRectF fitIntoScreen(const QRectF &frame, const QRectF &visible)
{
    const bool tooWide = frame.width() > visible.width();
    const bool tooTall = frame.height() > visible.height();
    if (!tooWide && !tooTall)
        return frame;
    const double width = std::min(frame.width(), visible.width());
    const double height = std::min(frame.height(), visible.height());
    double x = tooWide ? visible.center().x() - width / 2 : frame.x();
    double y = tooTall ? visible.center().y() - height / 2 : frame.y();
    x = std::max(std::min(x, visible.right() - width), visible.left());
    y = std::max(std::min(y, visible.bottom() - height), visible.top());
    return QRectF(x, y, width, height);
}

ColumnResize resizeForColumns(const QRectF &frame, const QRectF &visible, int columnCount)
{
    const double needed = columnCount * columnWidth;
    if (visible.width() < needed)
        return { true, frame };
    const double width = std::min(visible.width(), std::max(frame.width(), needed));
    double x = frame.x();
    if (frame.width() < needed)
        x -= (width - frame.width()) / 2;
    x = clampX(x, width, visible);
    return { false, QRectF(x, frame.y(), width, frame.height()) };
}

HistoryResize resizeForHistoryToggle(const QRectF &frame, const QRectF &visible, bool adding, int columnCount)
{
    HistoryResize result;
    result.frame = frame;
    const double needed = columnCount * columnWidth;
    if (visible.width() < needed) {
        result.outcome = HistoryResize::Outcome::lockTabMode;
        return result;
    }
    double target = 0;
    if (adding) {
        if (frame.width() >= visible.width()) {
            result.outcome = HistoryResize::Outcome::alreadyFullWidth;
            return result;
        }
        target = std::max(needed, frame.width() * columnCount / std::max(columnCount - 1, 1));
    } else {
        target = std::max({ minimumWidth, needed, frame.width() / (columnCount + 1) * columnCount });
    }
    double width = std::min(target, visible.width());
    double x = frame.right() - width;
    if (x < visible.left()) {
        x = visible.left();
        if (x + width > visible.right()) {
            width = visible.width();
            x = visible.left();
        }
    }
    result.frame = QRectF(x, frame.y(), width, frame.height());
    return result;
}

std::optional<QRectF> shrinkToTabMode(const QRectF &frame, int columnCount)
{
    const double width = tabModeWidth(columnCount);
    if (width >= frame.width())
        return std::nullopt;
    return QRectF(frame.center().x() - width / 2, frame.y(), width, frame.height());
}

QRectF widenToMinimum(const QRectF &frame, const QRectF &visible, double width)
{
    if (frame.width() >= width)
        return frame;
    const double x = clampX(frame.x() - (width - frame.width()) / 2, width, visible);
    return QRectF(x, frame.y(), width, frame.height());
}

} // namespace PanelGeometry
