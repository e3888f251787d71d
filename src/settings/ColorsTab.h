#pragma once

#include "enrichment/ColorFormatter.h"
#include "settings/SettingsForm.h"

#include <QHash>

class AppSettings;
class ColorFormatDragState;
class QCheckBox;
class QVBoxLayout;

// The "Colors" tab: the eleven paste formats of colour items in the user's order, each with a
// sample of pure red and a switch; dragging a row onto another reorders them (the paste menu's
// Ctrl+1, Ctrl+2, ... follow the enabled formats in this order).
class ColorsTab final : public SettingsForm
{
    Q_OBJECT
public:
    explicit ColorsTab(AppSettings &settings, QWidget *parent = nullptr);
    ~ColorsTab() override;

    ColorFormatDragState &dragState() const { return *m_dragState; }
    // The rows' formats from top to bottom, as shown.
    QList<ColorFormatter::Format> shownOrder() const;
    QWidget *row(ColorFormatter::Format format) const { return m_rows.value(format); }
    QCheckBox *formatSwitch(ColorFormatter::Format format) const;

private:
    void showOrder();
    void showSwitches();
    void showDraggedRow();

    AppSettings &m_settings;
    std::unique_ptr<ColorFormatDragState> m_dragState;
    QVBoxLayout *m_rowLayout = nullptr;
    QHash<ColorFormatter::Format, QWidget *> m_rows;
};
