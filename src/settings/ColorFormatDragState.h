#pragma once

#include "enrichment/ColorFormatter.h"

#include <QObject>

#include <optional>

class AppSettings;

// The reordering of the colour formats by dragging their rows, without widgets. A drag that
// starts on a row marks its format as dragged; every row it then enters takes the dragged
// format's place at once (the order is stored while the drag goes on), and rows accept only
// drags that started on a row. When the drag ends, dropped on a row or anywhere else, the
// mark goes, so a later drag from elsewhere moves nothing. Main thread only.
class ColorFormatDragState final : public QObject
{
    Q_OBJECT
public:
    explicit ColorFormatDragState(AppSettings &settings, QObject *parent = nullptr);

    std::optional<ColorFormatter::Format> draggedFormat() const { return m_draggedFormat; }

    // A drag started on the row of this format.
    void beginDrag(ColorFormatter::Format format);
    // Whether a row accepts the drag that is over it.
    bool validateDrop() const { return m_draggedFormat.has_value(); }
    // The drag entered the row of target.
    void dropEntered(ColorFormatter::Format target);
    // The drag was released over a row.
    bool performDrop();
    // The drag ended, wherever it was released.
    void dragEnded();

Q_SIGNALS:
    void draggedFormatChanged();

private:
    void setDraggedFormat(std::optional<ColorFormatter::Format> format);

    AppSettings &m_settings;
    std::optional<ColorFormatter::Format> m_draggedFormat;
};
