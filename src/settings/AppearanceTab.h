#pragma once

#include "settings/SettingsForm.h"

class AppSettings;
class CodeText;
class QCheckBox;
class QComboBox;
class QSlider;

// The "Appearance" tab: the code font size (whole points from 10 to 16), the panel's glass
// look, and the colour theme of highlighted code with a sample that shows the chosen theme
// and size at once, in the theme's dark or light colours as the palette is.
class AppearanceTab final : public SettingsForm
{
    Q_OBJECT
public:
    explicit AppearanceTab(AppSettings &settings, QWidget *parent = nullptr);

    // Three lines of TypeScript, 56 bytes.
    static QString sampleText();
    static constexpr int minimumFontSize = 10;
    static constexpr int maximumFontSize = 16;

    QSlider *fontSizeSlider() const { return m_fontSize; }
    QCheckBox *liquidGlassSwitch() const { return m_liquidGlass; }
    QComboBox *themePicker() const { return m_themePicker; }
    CodeText *sample() const { return m_sample; }

private:
    void showFontSize(double size);
    void showTheme();

    AppSettings &m_settings;
    QSlider *m_fontSize = nullptr;
    QCheckBox *m_liquidGlass = nullptr;
    QComboBox *m_themePicker = nullptr;
    CodeText *m_sample = nullptr;
};
