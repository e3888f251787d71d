#pragma once

#include "shell/PreviewWindow.h"

#include <QPointer>
#include <QWidget>

#include <functional>

// The window of the item preview: frameless, above the panel, never activated and never taking
// the pointer (clicks go to what lies below), so the panel keeps the keyboard. It draws its
// content on a rounded card with a faint outline; where a compositor runs the card floats in a
// transparent margin of 10 points and fades, elsewhere the window is the card.
class PreviewPanel final : public QWidget, public PreviewWindow
{
public:
    static constexpr double translucentMargin = 10.0;
    static constexpr double cornerRadius = 12.0;

    explicit PreviewPanel(bool translucent, QWidget *parent = nullptr);

    // Runs after every change of the window's size (the manager keeps it on its anchor).
    void setResizeHandler(std::function<void()> handler) { m_resized = std::move(handler); }

    void setContent(QWidget *content) override;
    bool hasContent() const override { return !m_content.isNull(); }
    QSizeF fittingSize() const override;
    double margin() const override { return m_translucent ? translucentMargin : 0.0; }
    QRectF frame() const override { return QRectF(geometry()); }
    void setFrame(const QRectF &frame) override;
    void orderFront() override;
    void orderOut() override { hide(); }
    bool isVisible() const override { return QWidget::isVisible(); }
    void setAlpha(double alpha) override;

    QWidget *content() const { return m_content; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool m_translucent;
    QPointer<QWidget> m_content;
    std::function<void()> m_resized;
};
