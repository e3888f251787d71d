#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWindow>

#include <functional>

// Sees every pointer move over a window, whatever widget lies under the pointer and whether or
// not the window is active, and hands it on in window coordinates; and the pointer leaving the
// window. The panel view puts one on its window for the hover selection.
class MouseMovedDetector final : public QObject
{
    Q_OBJECT

public:
    explicit MouseMovedDetector(QObject *parent = nullptr);

    // Watches this window from now on (nothing: none).
    void setWindow(QWindow *window);
    QWindow *window() const { return m_window; }

    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    // A move without a button pressed.
    void mouseMoved(QPointF windowPoint);
    void mouseExited();

private:
    QPointer<QWindow> m_window;
};
