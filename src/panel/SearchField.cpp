#include "panel/SearchField.h"

#include "common/NotificationCenter.h"
#include "panel/PanelLayout.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleHints>

#include <algorithm>

namespace {

// The line edit inverts the pixels under its caret, whatever colour its palette asks for, so a
// faded field would keep a solid caret. It draws none with this style; the field draws its own.
class NoCaretStyle final : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (metric == PM_TextCursorWidth)
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

constexpr double caretWidth = 1.5;

} // namespace

SearchField::SearchField(QWidget *parent)
    : QLineEdit(parent)
{
    auto *style = new NoCaretStyle;
    style->setParent(this);
    setStyle(style);
    connect(this, &QLineEdit::cursorPositionChanged, this, &SearchField::restartBlink);
    connect(this, &QLineEdit::textChanged, this, &SearchField::restartBlink);
    setFrame(false);
    setPlaceholderText(QStringLiteral("Search"));
    setFont(PanelLayout::panelFont(26));
    // Typing goes straight to the text: no word completion, no predictive suggestions, but the
    // input method stays for composing characters.
    setInputMethodHints(Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
    setAttribute(Qt::WA_InputMethodEnabled, true);
    QPalette transparent = palette();
    transparent.setColor(QPalette::Base, Qt::transparent);
    setPalette(transparent);
    updateCursorColor();
}

QColor SearchField::insertionPointColor(bool darkAppearance, double opacity)
{
    QColor color = darkAppearance ? QColor(Qt::white) : QColor(Qt::black);
    color.setAlphaF(float(std::clamp(opacity, 0.0, 1.0)));
    return color;
}

void SearchField::setFadeOpacity(double opacity)
{
    if (m_fadeOpacity == opacity)
        return;
    m_fadeOpacity = opacity;
    updateCursorColor();
}

void SearchField::updateCursorColor()
{
    if (m_updatingColor)
        return;
    // The line edit draws its caret, like its text, in the palette's text colour.
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    const QColor caret = insertionPointColor(dark, m_fadeOpacity);
    QColor placeholder = caret;
    placeholder.setAlphaF(float(m_fadeOpacity * 0.45));
    QPalette faded = palette();
    if (faded.color(QPalette::Text) == caret && faded.color(QPalette::PlaceholderText) == placeholder)
        return;
    faded.setColor(QPalette::Text, caret);
    faded.setColor(QPalette::PlaceholderText, placeholder);
    m_updatingColor = true;
    setPalette(faded);
    m_updatingColor = false;
    update();
}

void SearchField::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    // Light and dark switching while the panel is open.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        updateCursorColor();
}

void SearchField::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    updateCursorColor();
    restartBlink();
}

void SearchField::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    m_blink.stop();
    update();
}

void SearchField::restartBlink()
{
    m_caretOn = true;
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flashTime > 0)
        m_blink.start(flashTime / 2, this);
    else
        m_blink.stop();
    update();
}

void SearchField::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_blink.timerId()) {
        QLineEdit::timerEvent(event);
        return;
    }
    m_caretOn = !m_caretOn;
    update(cursorRect());
}

void SearchField::paintEvent(QPaintEvent *event)
{
    QLineEdit::paintEvent(event);
    if (!isCaretShown() || isReadOnly())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(
        caretRect(), insertionPointColor(palette().color(QPalette::Window).lightness() < 128, m_fadeOpacity));
}

QRectF SearchField::caretRect() const
{
    // The line edit's caret area reaches 5 pixels left of the insertion point.
    const QRect area = cursorRect();
    return QRectF(area.left() + 5, area.top(), caretWidth, area.height() - 1);
}

bool SearchField::isPanelShortcut(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::ControlModifier)
        return false;
    const int key = event->key();
    return key == Qt::Key_K || key == Qt::Key_P || key == Qt::Key_Period
        || (key >= Qt::Key_1 && key <= Qt::Key_9);
}

bool SearchField::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // Claiming these keeps the line edit's own meanings (Control+K deletes to the end of
        // the line) and any application shortcut from taking them.
        auto *key = static_cast<QKeyEvent *>(event);
        if (isPanelShortcut(key)) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        // Tab moves through the panel's columns, never the focus out of the field.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            const bool backward
                = key->key() == Qt::Key_Backtab || key->modifiers().testFlag(Qt::ShiftModifier);
            NotificationCenter::defaultCenter().post(
                backward ? Notifications::tabNavigateBackward : Notifications::tabNavigateForward);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void SearchField::keyPressEvent(QKeyEvent *event)
{
    if (m_keyHandler && m_keyHandler(event)) {
        event->accept();
        return;
    }
    if (isPanelShortcut(event))
        return; // the panel had no use for it; the line edit must not either
    QLineEdit::keyPressEvent(event);
}
