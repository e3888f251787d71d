#include "settings/AppearanceTab.h"

#include "items/CodeText.h"
#include "model/AppSettings.h"
#include "model/HighlightTheme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace {

// The sample's card: the text background of the palette with a faint outline.
class SampleCard final : public QWidget
{
public:
    explicit SampleCard(QWidget *parent)
        : QWidget(parent)
    { }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath card;
        card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        painter.fillPath(card, palette().color(QPalette::Base));
        QColor outline = palette().color(QPalette::WindowText);
        outline.setAlphaF(0.1f);
        painter.setPen(QPen(outline, 1));
        painter.drawPath(card);
    }
};

} // namespace

AppearanceTab::AppearanceTab(AppSettings &settings, QWidget *parent)
    : SettingsForm(parent)
    , m_settings(settings)
{
    SettingsSection *window = addSection(QStringLiteral("App Window"));
    auto *sizeColumn = new QWidget(window->box());
    auto *sizeLayout = new QVBoxLayout(sizeColumn);
    sizeLayout->setContentsMargins(0, 0, 0, 0);
    sizeLayout->setSpacing(2);
    m_fontSize = new QSlider(Qt::Horizontal, sizeColumn);
    m_fontSize->setRange(minimumFontSize, maximumFontSize);
    m_fontSize->setSingleStep(1);
    m_fontSize->setPageStep(1);
    m_fontSize->setTickPosition(QSlider::TicksBelow);
    m_fontSize->setTickInterval(1);
    m_fontSize->setMinimumWidth(180);
    sizeLayout->addWidget(m_fontSize);
    auto *ends = new QHBoxLayout;
    ends->addWidget(secondaryLabel(QStringLiteral("Small"), 0.85, sizeColumn));
    ends->addStretch(1);
    QLabel *large = secondaryLabel(QStringLiteral("Large"), 0.85, sizeColumn);
    large->setAlignment(Qt::AlignRight);
    ends->addWidget(large);
    sizeLayout->addLayout(ends);
    window->addLabelledRow(QStringLiteral("Font size"), sizeColumn);
    // Only the user moves it: showing a stored size is done with its signals blocked.
    connect(m_fontSize, &QSlider::valueChanged, this, [this](int size) { m_settings.setFontSize(size); });
    connect(&m_settings, &AppSettings::fontSizeChanged, this, &AppearanceTab::showFontSize);

    m_liquidGlass = new QCheckBox(QStringLiteral("Liquid Glass"), window->box());
    window->addRow(m_liquidGlass);
    connect(m_liquidGlass, &QCheckBox::clicked, &m_settings, &AppSettings::setUseLiquidGlass);
    connect(&m_settings, &AppSettings::useLiquidGlassChanged, m_liquidGlass, &QCheckBox::setChecked);

    SettingsSection *preview = addSection(QStringLiteral("Code Preview"));
    m_themePicker = new QComboBox(preview->box());
    for (HighlightTheme theme : HighlightThemes::allCases())
        m_themePicker->addItem(HighlightThemes::rawValue(theme), QVariant::fromValue(int(theme)));
    preview->addLabelledRow(QStringLiteral("Code color Theme"), m_themePicker);
    connect(m_themePicker, &QComboBox::activated, this,
        [this](int index) { m_settings.setCodeTheme(HighlightThemes::allCases().at(index)); });

    auto *card = new SampleCard(preview->box());
    auto *cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(0, 0, 0, 0);
    m_sample = new CodeText(sampleText(), card);
    m_sample->setObjectName(QStringLiteral("codeSample"));
    m_sample->setLanguage(HighlightLanguage::typeScript);
    m_sample->setStyle(PlainCodeTextStyle { 8, 8 });
    m_sample->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    cardLayout->addWidget(m_sample);
    preview->addRow(card);
    connect(&m_settings, &AppSettings::codeThemeChanged, this, &AppearanceTab::showTheme);

    m_liquidGlass->setChecked(m_settings.useLiquidGlass());
    showFontSize(m_settings.fontSize());
    showTheme();
}

QString AppearanceTab::sampleText()
{
    return QStringLiteral("function greet(): string {\n    return \"Hello, World!\";\n}");
}

void AppearanceTab::showFontSize(double size)
{
    {
        const QSignalBlocker quiet(m_fontSize);
        m_fontSize->setValue(int(std::lround(size)));
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(size > 0 ? size : 13.0);
    m_sample->setFont(font);
}

void AppearanceTab::showTheme()
{
    const HighlightTheme theme = m_settings.codeTheme();
    m_themePicker->setCurrentIndex(int(HighlightThemes::allCases().indexOf(theme)));
    m_sample->setTheme(theme);
}
