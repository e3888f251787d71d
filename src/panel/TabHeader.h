#pragma once

#include <QRectF>
#include <QStringList>
#include <QWidget>

#include <optional>

// The row of tabs of a narrow panel, with "Clear" and the list/grid toggle at its right end.
// "Clear" is invisible and takes no clicks until the pointer is over the header.
class TabHeader final : public QWidget
{
    Q_OBJECT
public:
    explicit TabHeader(QWidget *parent = nullptr);

    void setTabs(const QStringList &titles, int selectedIndex);
    void setFontSize(double size);
    void setClearShown(bool shown);
    // shown: the tab offers the toggle; grid: it shows as a grid now.
    void setViewModeToggle(bool shown, bool grid);
    // Where the selected tab's highlight is drawn, as a tab index (between two tabs while it
    // slides), and how much of the header's hover shows (0 to 1: "Clear" fades in with it).
    void setHighlightPosition(double position);
    void setHoverAmount(double amount);
    double hoverAmount() const { return m_hoverAmount; }

    QRectF tabRect(int index) const;
    QRectF highlightRect() const;
    std::optional<QRectF> clearRect() const;
    std::optional<QRectF> viewModeToggleRect() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void tabClicked(int index);
    void clearClicked();
    void viewModeToggleClicked();
    // The pointer entered or left the header.
    void hoveredChanged(bool hovered);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void relayout();
    void setHeaderHovered(bool hovered);

    QStringList m_titles;
    int m_selectedIndex = 0;
    double m_fontSize = 13.0;
    bool m_clearShown = false;
    bool m_toggleShown = false;
    bool m_grid = false;
    bool m_headerHovered = false;
    double m_highlightPosition = 0.0;
    double m_hoverAmount = 0.0;
    std::optional<QPointF> m_pointer;
    QList<QRectF> m_tabRects;
};
