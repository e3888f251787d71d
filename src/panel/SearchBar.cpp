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
    , m_pinButton(stripButton(QStringLiteral("\u25C9"), QStringLiteral("Unpin panel"), this))
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

    auto *menu = new QMenu(this);
    QAction *pinAction = menu->addAction(QStringLiteral("Pin"));
    menu->addSeparator();
    QAction *clearAction = menu->addAction(QStringLiteral("Clear History"));
    m_menuButton->setMenu(menu);
    m_menuButton->setPopupMode(QToolButton::InstantPopup);
    connect(menu, &QMenu::aboutToShow, this, [this, pinAction] {
        pinAction->setText(m_pinned ? QStringLiteral("Unpin") : QStringLiteral("Pin"));
    });
    connect(pinAction, &QAction::triggered, this, [this] { Q_EMIT pinToggled(!m_pinned); });
    connect(clearAction, &QAction::triggered, this, &SearchBar::clearHistoryRequested);

    connect(m_field, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_clearButton->setVisible(!text.isEmpty());
        m_overlay->setButtons(!text.isEmpty(), m_pinned);
        Q_EMIT textEdited(text);
    });
    connect(m_clearButton, &QToolButton::clicked, m_field, &QLineEdit::clear);
    connect(m_pinButton, &QToolButton::clicked, this, [this] { Q_EMIT pinToggled(false); });
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
