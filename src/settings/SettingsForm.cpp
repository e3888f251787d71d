#include "settings/SettingsForm.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

// A label that picks its red again whenever the palette changes (light and dark appearance).
class ErrorLabel final : public QLabel
{
public:
    explicit ErrorLabel(QWidget *parent)
        : QLabel(parent)
    {
        setWordWrap(true);
        QFont small = font();
        small.setPixelSize(11);
        setFont(small);
        applyColor();
        setVisible(false);
    }

protected:
    void changeEvent(QEvent *event) override
    {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::PaletteChange && !m_applying)
            applyColor();
    }

private:
    void applyColor()
    {
        m_applying = true;
        QPalette colors = palette();
        colors.setColor(QPalette::WindowText, SettingsForm::errorColor(colors));
        setPalette(colors);
        m_applying = false;
    }

    bool m_applying = false;
};

} // namespace

SettingsSection::SettingsSection(const QString &header, const QString &footer, QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_box = new QGroupBox(header, this);
    m_rows = new QVBoxLayout(m_box);
    m_rows->setSpacing(8);
    layout->addWidget(m_box);
    m_footer = SettingsForm::secondaryLabel(QString(), 0.9, this);
    m_footer->setContentsMargins(4, 0, 4, 0);
    layout->addWidget(m_footer);
    setFooter(footer);
}

void SettingsSection::setFooter(const QString &text)
{
    m_footer->setText(text);
    m_footer->setVisible(!text.isEmpty());
}

void SettingsSection::addRow(QWidget *row)
{
    m_rows->addWidget(row);
}

void SettingsSection::addRow(QLayout *row)
{
    m_rows->addLayout(row);
}

void SettingsSection::addLabelledRow(const QString &label, QWidget *control)
{
    auto *row = new QHBoxLayout;
    auto *title = new QLabel(label, m_box);
    title->setBuddy(control);
    row->addWidget(title);
    row->addStretch(1);
    row->addWidget(control);
    m_rows->addLayout(row);
}

SettingsForm::SettingsForm(QWidget *parent)
    : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *page = new QWidget(this);
    // The page shows the window's own background, as a dialog's pages do.
    page->setBackgroundRole(QPalette::Window);
    viewport()->setBackgroundRole(QPalette::Window);
    m_sections = new QVBoxLayout(page);
    m_sections->setContentsMargins(12, 12, 12, 12);
    m_sections->setSpacing(14);
    m_sections->addStretch(1);
    setWidget(page);
}

QSize SettingsForm::sizeHint() const
{
    const int frame = 2 * frameWidth();
    return widget()->sizeHint() + QSize(frame, frame);
}

SettingsSection *SettingsForm::addSection(const QString &header, const QString &footer)
{
    auto *section = new SettingsSection(header, footer, widget());
    m_sections->insertWidget(m_sections->count() - 1, section);
    return section;
}

void SettingsForm::addBareRow(QWidget *row)
{
    row->setParent(widget());
    m_sections->insertWidget(m_sections->count() - 1, row);
}

QLabel *SettingsForm::secondaryLabel(const QString &text, qreal pointSizeFactor, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    if (pointSizeFactor != 1.0) {
        QFont smaller = label->font();
        smaller.setPointSizeF(smaller.pointSizeF() * pointSizeFactor);
        label->setFont(smaller);
    }
    return label;
}

QLabel *SettingsForm::errorLabel(QWidget *parent)
{
    return new ErrorLabel(parent);
}

bool SettingsForm::isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor SettingsForm::errorColor(const QPalette &palette)
{
    return isDark(palette) ? QColor(0xff, 0x6b, 0x6b) : QColor(0xc6, 0x28, 0x28);
}

void SettingsForm::showMessage(QLabel *label, const QString &text)
{
    label->setText(text);
    label->setVisible(!text.isEmpty());
}
