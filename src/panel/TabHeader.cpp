#include "panel/TabHeader.h"

#include "items/ItemRowPainter.h"
#include "panel/PanelLayout.h"
#include "panel/TabTransitions.h"

#include <QEnterEvent>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr double topPadding = 20.0;
constexpr double tabHeight = 24.0;
constexpr double bottomPadding = 4.0;
constexpr double sidePadding = 10.0;
constexpr double toggleSide = 24.0;

} // namespace

TabHeader::TabHeader(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TabHeader::setTabs(const QStringList &titles, int selectedIndex)
{
    if (m_titles == titles && m_selectedIndex == selectedIndex)
        return;
    m_titles = titles;
    // The highlight is on the selected tab unless the panel moves it there.
    if (m_selectedIndex != selectedIndex)
        m_highlightPosition = selectedIndex;
    m_selectedIndex = selectedIndex;
    relayout();
}

void TabHeader::setFontSize(double size)
{
    if (m_fontSize == size)
        return;
    m_fontSize = size;
    relayout();
}

void TabHeader::setClearShown(bool shown)
{
    m_clearShown = shown;
    update();
}

void TabHeader::setViewModeToggle(bool shown, bool grid)
{
    m_toggleShown = shown;
    m_grid = grid;
    update();
}

void TabHeader::setHighlightPosition(double position)
{
    if (m_highlightPosition == position)
        return;
    m_highlightPosition = position;
    update();
}

void TabHeader::setHoverAmount(double amount)
{
    if (m_hoverAmount == amount)
        return;
    m_hoverAmount = amount;
    update();
}

QRectF TabHeader::highlightRect() const
{
    return TabTransitions::highlightRect(m_tabRects, m_highlightPosition);
}

void TabHeader::relayout()
{
    const QFontMetricsF metrics(PanelLayout::panelFont(m_fontSize, QFont::Medium));
    m_tabRects.clear();
    double x = sidePadding;
    for (const QString &title : m_titles) {
        const double width = std::max(44.0, std::ceil(metrics.horizontalAdvance(title)) + 20.0);
        m_tabRects.append(QRectF(x, topPadding, width, tabHeight));
        x += width + 2.0;
    }
    updateGeometry();
    update();
}

QRectF TabHeader::tabRect(int index) const
{
    return m_tabRects.value(index);
}

std::optional<QRectF> TabHeader::viewModeToggleRect() const
{
    if (!m_toggleShown)
        return std::nullopt;
    return QRectF(width() - sidePadding - toggleSide, topPadding, toggleSide, tabHeight);
}

std::optional<QRectF> TabHeader::clearRect() const
{
    if (!m_clearShown)
        return std::nullopt;
    const QFontMetricsF metrics(PanelLayout::panelFont(m_fontSize - 1));
    const double width = std::ceil(metrics.horizontalAdvance(QStringLiteral("Clear"))) + 8.0;
    const double end
        = m_toggleShown ? this->width() - sidePadding - toggleSide - 4.0 : this->width() - sidePadding;
    return QRectF(end - width, topPadding, width, tabHeight);
}

QSize TabHeader::sizeHint() const
{
    return QSize(int(std::ceil(PanelLayout::tabBarWidth(m_titles, m_fontSize))),
        int(topPadding + tabHeight + bottomPadding));
}

QSize TabHeader::minimumSizeHint() const
{
    return QSize(0, sizeHint().height());
}

void TabHeader::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &palette = this->palette();
    const bool dark = ItemRowPainter::isDark(palette);
    const QColor fill = dark ? QColor(255, 255, 255, 13) : QColor(0, 0, 0, 13);
    const QColor hoverFill = dark ? QColor(255, 255, 255, 13) : QColor(0, 0, 0, 6);
    painter.setFont(PanelLayout::panelFont(m_fontSize, QFont::Medium));
    painter.setPen(Qt::NoPen);
    for (qsizetype i = 0; i < m_tabRects.size(); ++i) {
        if (i != m_selectedIndex && m_pointer && m_tabRects[i].contains(*m_pointer)) {
            painter.setBrush(hoverFill);
            painter.drawRoundedRect(m_tabRects[i], 6, 6);
        }
    }
    // The selected tab's highlight, on its way from the tab selected before while it slides.
    if (const QRectF highlight = highlightRect(); !highlight.isEmpty()) {
        painter.setBrush(fill);
        painter.drawRoundedRect(highlight, 6, 6);
    }
    for (qsizetype i = 0; i < m_tabRects.size(); ++i) {
        const QRectF &rect = m_tabRects[i];
        const bool selected = i == m_selectedIndex;
        painter.setPen(palette.color(selected ? QPalette::Text : QPalette::PlaceholderText));
        painter.drawText(rect, Qt::AlignCenter, m_titles[i]);
    }
    if (const std::optional<QRectF> clear = clearRect()) {
        const bool overButton = m_pointer && clear->contains(*m_pointer);
        const double opacity = m_hoverAmount * (overButton ? 1.0 : 0.6);
        if (opacity > 0.0) {
            QColor text = palette.color(QPalette::PlaceholderText);
            text.setAlphaF(float(opacity * text.alphaF()));
            painter.setPen(text);
            painter.setFont(PanelLayout::panelFont(m_fontSize - 1));
            painter.drawText(*clear, Qt::AlignCenter, QStringLiteral("Clear"));
        }
    }
    if (const std::optional<QRectF> toggle = viewModeToggleRect()) {
        if (m_pointer && toggle->contains(*m_pointer)) {
            QColor hover = palette.color(QPalette::Text);
            hover.setAlphaF(0.1f);
            painter.setPen(Qt::NoPen);
            painter.setBrush(hover);
            painter.drawRoundedRect(*toggle, 6, 6);
        }
        painter.setPen(palette.color(QPalette::PlaceholderText));
        painter.setFont(PanelLayout::panelFont(m_fontSize));
        painter.drawText(
            *toggle, Qt::AlignCenter, m_grid ? QStringLiteral("\u2630") : QStringLiteral("\u25A6"));
    }
}

void TabHeader::mouseMoveEvent(QMouseEvent *event)
{
    m_pointer = event->position();
    setHeaderHovered(true);
    update();
}

void TabHeader::enterEvent(QEnterEvent *event)
{
    m_pointer = event->position();
    setHeaderHovered(true);
    update();
}

void TabHeader::leaveEvent(QEvent *)
{
    m_pointer.reset();
    setHeaderHovered(false);
    update();
}

void TabHeader::setHeaderHovered(bool hovered)
{
    if (m_headerHovered == hovered)
        return;
    m_headerHovered = hovered;
    Q_EMIT hoveredChanged(hovered);
}

void TabHeader::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF point = event->position();
    for (qsizetype i = 0; i < m_tabRects.size(); ++i) {
        if (m_tabRects[i].contains(point)) {
            Q_EMIT tabClicked(int(i));
            return;
        }
    }
    if (const std::optional<QRectF> toggle = viewModeToggleRect(); toggle && toggle->contains(point)) {
        Q_EMIT viewModeToggleClicked();
        return;
    }
    // "Clear" only answers while the header is hovered: it cannot be hit by accident.
    if (const std::optional<QRectF> clear = clearRect(); clear && m_headerHovered && clear->contains(point))
        Q_EMIT clearClicked();
}
