#include "panel/SearchBar.h"

#include "panel/DraggableOverlay.h"
#include "panel/PanelLayout.h"
#include "panel/PanelToolButton.h"
#include "panel/WidgetOpacity.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {

QToolButton *stripButton(const QString &text, const QString &toolTip, QWidget *parent)
{
    QToolButton *button = panelToolButton(text, toolTip, parent);
    button->setFont(PanelLayout::panelFont(18, QFont::Medium));
    return button;
}

constexpr double magnifierSize = 24.0;

} // namespace

SearchBar::SearchBar(QWidget *parent)
    : QWidget(parent)
    , m_field(new SearchField(this))
    , m_clearButton(stripButton(QStringLiteral("\u2715"), QStringLiteral("Clear search"), this))
    , m_pinButton(stripButton(QString(), QStringLiteral("Unpin panel"), this))
    , m_menuButton(stripButton(QStringLiteral("\u22EF"), QString(), this))
    , m_overlay(new DraggableOverlay(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(16 + int(magnifierSize) + 12, 12, 16, 12);
    layout->setSpacing(12);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_clearButton);
    auto *trailing = new QHBoxLayout;
    trailing->setSpacing(2);
    trailing->addWidget(m_pinButton);
    trailing->addWidget(m_menuButton);
    layout->addLayout(trailing);

    m_clearButton->hide();
    m_pinButton->hide();
    m_pinButton->setFixedSize(28, 28);
    m_pinButton->setIconSize(QSize(18, 18));
    m_pinButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_pinButton->installEventFilter(this);

    auto *menu = new QMenu(this);
    m_pinAction = menu->addAction(QStringLiteral("Pin"));
    menu->addSeparator();
    m_clearAction = menu->addAction(QStringLiteral("Clear History"));
    m_appSeparator = menu->addSeparator();
    m_settingsAction = menu->addAction(QStringLiteral("Settings..."));
    m_quitAction = menu->addAction(QStringLiteral("Quit Tindlewick"));
    m_menuButton->setMenu(menu);
    m_menuButton->setPopupMode(QToolButton::InstantPopup);
    connect(menu, &QMenu::aboutToShow, this, [this] {
        m_pinAction->setText(m_pinned ? QStringLiteral("Unpin") : QStringLiteral("Pin"));
        const bool appEntries = m_appEntriesWanted && m_appEntriesWanted();
        for (QAction *action : { m_appSeparator, m_settingsAction, m_quitAction })
            action->setVisible(appEntries);
        updateGlyphs();
    });
    connect(m_pinAction, &QAction::triggered, this, [this] { Q_EMIT pinToggled(!m_pinned); });
    connect(m_clearAction, &QAction::triggered, this, &SearchBar::clearHistoryRequested);
    connect(m_settingsAction, &QAction::triggered, this, &SearchBar::settingsRequested);
    connect(m_quitAction, &QAction::triggered, this, &SearchBar::quitRequested);

    connect(m_field, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_clearButton->setVisible(!text.isEmpty());
        m_overlay->setButtons(!text.isEmpty(), m_pinned);
        Q_EMIT textEdited(text);
    });
    connect(m_clearButton, &QToolButton::clicked, m_field, &QLineEdit::clear);
    connect(m_pinButton, &QToolButton::clicked, this, [this] { Q_EMIT pinToggled(false); });
    updateGlyphs();
}

StripGlyph SearchBar::pinButtonGlyph() const
{
    return m_pinHovering ? StripGlyph::pinSlashFill : StripGlyph::pinFill;
}

StripGlyph SearchBar::pinMenuGlyph() const
{
    return m_pinned ? StripGlyph::pinSlash : StripGlyph::pin;
}

void SearchBar::updateGlyphs()
{
    const QColor secondary = palette().color(QPalette::PlaceholderText);
    m_pinButton->setIcon(stripGlyphIcon(pinButtonGlyph(), secondary));
    const QColor menuInk = m_menuButton->menu()->palette().color(QPalette::Text);
    m_pinAction->setIcon(stripGlyphIcon(pinMenuGlyph(), menuInk));
    m_clearAction->setIcon(stripGlyphIcon(StripGlyph::trash, menuInk));
}

void SearchBar::setPinHovering(bool hovering)
{
    if (m_pinHovering == hovering)
        return;
    m_pinHovering = hovering;
    updateGlyphs();
}

bool SearchBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pinButton) {
        if (event->type() == QEvent::Enter)
            setPinHovering(true);
        else if (event->type() == QEvent::Leave || event->type() == QEvent::Hide)
            setPinHovering(false);
    }
    return QWidget::eventFilter(watched, event);
}

void SearchBar::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Light and dark: the drawn glyphs take the new ink.
    if (event->type() == QEvent::PaletteChange)
        updateGlyphs();
}

void SearchBar::setText(const QString &text)
{
    if (m_field->text() != text)
        m_field->setText(text);
}

void SearchBar::setPinned(bool pinned)
{
    m_pinned = pinned;
    m_pinButton->setVisible(pinned);
    m_overlay->setButtons(!m_field->text().isEmpty(), pinned);
    updateGlyphs();
}

void SearchBar::setFadeOpacity(double opacity)
{
    if (m_fadeOpacity == opacity)
        return;
    m_fadeOpacity = opacity;
    // The field fades but stays, so it keeps the keyboard focus; the pin button and the menu
    // stay opaque.
    m_field->setFadeOpacity(opacity);
    setWidgetOpacity(m_clearButton, opacity);
    update();
}

bool SearchBar::isClearButtonShown() const
{
    return m_clearButton->isVisibleTo(this);
}
bool SearchBar::isPinButtonShown() const
{
    return m_pinButton->isVisibleTo(this);
}

void SearchBar::paintEvent(QPaintEvent *)
{
    // The magnifier, drawn so that it needs no icon theme.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_fadeOpacity);
    QColor color = palette().color(QPalette::PlaceholderText);
    painter.setPen(QPen(color, 2.2, Qt::SolidLine, Qt::RoundCap));
    const QRectF box(16, (height() - magnifierSize) / 2, magnifierSize, magnifierSize);
    const QRectF lens(box.left() + 2, box.top() + 2, magnifierSize * 0.62, magnifierSize * 0.62);
    painter.drawEllipse(lens);
    painter.drawLine(lens.center() + QPointF(lens.width() * 0.36, lens.height() * 0.36),
        box.bottomRight() - QPointF(2, 2));
}
