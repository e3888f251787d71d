#pragma once

#include "common/Clock.h"
#include "items/HoverPreviewTimer.h"
#include "panel/MouseMovedDetector.h"

#include <QObject>
#include <QPointer>

#include <functional>

class AppSettings;
class PanelViewState;
class QWidget;

// The panel view's pointer: every move over its window goes to the hover selection (with the
// columns' cells placed where they are now), and an item the pointer rests on gets its preview
// beside the panel. The keys, a hidden panel and the pointer leaving the window end a preview.
class PanelPointer final : public QObject
{
    Q_OBJECT

public:
    // view: the panel's root view; placeCells brings the columns' cells up to date in the table.
    PanelPointer(QWidget &view, PanelViewState &state, AppSettings &settings, Clock &clock,
        std::function<void()> placeCells);

    // Watches the view's window from now on (once it exists).
    void followWindow();
    HoverPreviewTimer &previewTimer() { return m_previewTimer; }

private:
    void showPreview(const ClipboardItemPtr &item, const QRectF &anchor);

    QPointer<QWidget> m_view;
    PanelViewState &m_state;
    AppSettings &m_settings;
    std::function<void()> m_placeCells;
    MouseMovedDetector m_detector;
    HoverPreviewTimer m_previewTimer;
};
