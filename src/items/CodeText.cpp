#include "items/CodeText.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QTextCursor>

CodeText::CodeText(const QString &text, QWidget *parent)
    : QWidget(parent)
    , m_text(text)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_document.setDocumentMargin(0);
    m_dark = isDark();
    rebuildDocument();
}

CodeText::~CodeText()
{
    cancelHighlight();
}

void CodeText::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    // A result belongs to the text it was made for.
    m_result.reset();
    rebuildDocument();
    inputsChanged();
}

void CodeText::setMode(const HighlightMode &mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    inputsChanged();
}

void CodeText::setStyle(const CodeTextStyle &style)
{
    if (style == m_style)
        return;
    m_style = style;
    updateGeometry();
    update();
}

void CodeText::setColors(const CodeTextColors &colors)
{
    if (colors == m_colors)
        return;
    m_colors = colors;
    inputsChanged();
}

void CodeText::setHighlight(std::shared_ptr<HighlightEngine> highlight)
{
    if (highlight == m_highlight)
        return;
    m_highlight = std::move(highlight);
    inputsChanged();
}

AttributedText CodeText::displayedText() const
{
    return m_result ? m_result->attributedText : AttributedText::plain(m_text);
}

bool CodeText::isDark() const
{
    return palette().color(QPalette::Window).lightness() < 128;
}

// Something the highlight depends on changed: a shown view highlights again at once, a
// hidden one when it is next shown.
void CodeText::inputsChanged()
{
    m_needsHighlight = true;
    if (isVisible())
        startHighlight();
    else
        cancelHighlight();
}

void CodeText::startHighlight()
{
    cancelHighlight();
    m_needsHighlight = false;
    if (!m_highlight)
        m_highlight = std::make_shared<Highlight>();

    const HighlightColors &colors = m_dark ? m_colors.dark : m_colors.light;
    m_watcher = new QFutureWatcher<HighlightResult>(this);
    QFutureWatcher<HighlightResult> *watcher = m_watcher;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] { requestFinished(watcher); });
    watcher->setFuture(m_highlight->request(m_text, m_mode, colors));
}

// Cuts the request under way off: its outcome will be dropped.
void CodeText::cancelHighlight()
{
    if (!m_watcher)
        return;
    disconnect(m_watcher, nullptr, this, nullptr);
    m_watcher->future().cancel();
    m_watcher->deleteLater();
    m_watcher = nullptr;
    m_needsHighlight = true;
}

void CodeText::requestFinished(QFutureWatcher<HighlightResult> *watcher)
{
    if (watcher != m_watcher)
        return;
    m_watcher = nullptr;
    watcher->deleteLater();
    QFuture<HighlightResult> future = watcher->future();
    try {
        future.waitForFinished(); // finished already; rethrows a failure
    } catch (const HLJSError &error) {
        Q_EMIT highlightFinished(HighlightOutcome(error));
        Q_EMIT highlightFailed(error);
        return;
    } catch (...) {
        return;
    }
    if (future.resultCount() == 0)
        return; // cancelled
    const HighlightResult result = future.result();
    m_result = result;
    rebuildDocument();
    Q_EMIT highlightFinished(HighlightOutcome(result));
    Q_EMIT highlightSucceeded(result);
}

void CodeText::rebuildDocument()
{
    m_document.clear();
    m_document.setDefaultFont(font());
    QTextOption option = m_document.defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(QFontMetricsF(font()).horizontalAdvance(u' ') * 4);
    m_document.setDefaultTextOption(option);

    const AttributedText shown = displayedText();
    QTextCursor cursor(&m_document);
    qsizetype position = 0;
    for (const QTextLayout::FormatRange &range : shown.formats) {
        if (range.start > position)
            cursor.insertText(shown.text.mid(position, range.start - position), QTextCharFormat());
        cursor.insertText(shown.text.mid(range.start, range.length), range.format);
        position = range.start + range.length;
    }
    if (position < shown.text.size())
        cursor.insertText(shown.text.mid(position), QTextCharFormat());

    updateGeometry();
    update();
}

qreal CodeText::verticalPadding() const
{
    return std::visit([](const auto &style) { return style.verticalPadding; }, m_style);
}

qreal CodeText::horizontalPadding() const
{
    return std::visit([](const auto &style) { return style.horizontalPadding; }, m_style);
}

QSize CodeText::sizeHint() const
{
    const QSizeF content = m_document.size();
    return QSizeF(content.width() + 2 * horizontalPadding(), content.height() + 2 * verticalPadding())
        .toSize()
        .expandedTo(QSize(1, 1));
}

QSize CodeText::minimumSizeHint() const
{
    return sizeHint();
}

void CodeText::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    if (const auto *card = std::get_if<CardCodeTextStyle>(&m_style)) {
        // The outline is centred on the edge of the card; keep it inside the widget.
        const qreal inset = card->lineWidth / 2;
        QPainterPath shape;
        shape.addRoundedRect(
            QRectF(rect()).adjusted(inset, inset, -inset, -inset), card->cornerRadius, card->cornerRadius);
        if (m_result)
            painter.fillPath(shape, m_result->backgroundColor);
        QColor separator = palette().color(QPalette::WindowText);
        separator.setAlphaF(0.2f);
        QPen pen(
            card->stroke.value_or(separator), card->lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setMiterLimit(10);
        painter.strokePath(shape, pen);
    }

    painter.translate(horizontalPadding(), verticalPadding());
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.palette.setColor(QPalette::Text, palette().color(foregroundRole()));
    m_document.documentLayout()->draw(&painter, context);
}

void CodeText::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (isDark() != m_dark) {
        m_dark = isDark();
        m_needsHighlight = true;
    }
    if (!m_result || m_needsHighlight)
        startHighlight();
}

void CodeText::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    cancelHighlight();
}

void CodeText::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::PaletteChange:
        if (isDark() != m_dark) {
            m_dark = isDark();
            inputsChanged();
        }
        break;
    case QEvent::FontChange:
        rebuildDocument();
        break;
    default:
        break;
    }
}
