#include "settings/ColorFormatDragState.h"

#include "model/AppSettings.h"

ColorFormatDragState::ColorFormatDragState(AppSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{ }

void ColorFormatDragState::setDraggedFormat(std::optional<ColorFormatter::Format> format)
{
    if (format == m_draggedFormat)
        return;
    m_draggedFormat = format;
    Q_EMIT draggedFormatChanged();
}

void ColorFormatDragState::beginDrag(ColorFormatter::Format format)
{
    setDraggedFormat(format);
}

void ColorFormatDragState::dropEntered(ColorFormatter::Format target)
{
    if (!m_draggedFormat || *m_draggedFormat == target)
        return;
    const QList<ColorFormatter::Format> order = m_settings.orderedColorFormats();
    const qsizetype from = order.indexOf(*m_draggedFormat);
    const qsizetype to = order.indexOf(target);
    if (from < 0 || to < 0)
        return;
    // The dragged format takes the target's place; those in between shift towards its old one.
    m_settings.moveColorFormats({ int(from) }, int(to > from ? to + 1 : to));
}

bool ColorFormatDragState::performDrop()
{
    setDraggedFormat(std::nullopt);
    return true;
}

void ColorFormatDragState::dragEnded()
{
    setDraggedFormat(std::nullopt);
}
