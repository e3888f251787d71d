#include "settings/ColorsTab.h"

#include "model/AppSettings.h"
#include "panel/WidgetOpacity.h"
#include "settings/ColorFormatDragState.h"

#include <QApplication>
#include <QCheckBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPainter>
#include <QVBoxLayout>

namespace {

const QString redHex = QStringLiteral("#FF0000");

// Three short lines, the sign of a row that can be dragged.
class DragHandle final : public QWidget
{
public:
    explicit DragHandle(QWidget *parent)
        : QWidget(parent)
    {
        setFixedSize(12, 12);
        setCursor(Qt::OpenHandCursor);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::PlaceholderText), 1.2, Qt::SolidLine, Qt::RoundCap));
        for (const qreal y : { 3.0, 6.0, 9.0 })
            painter.drawLine(QPointF(1, y), QPointF(11, y));
    }
};

// One format: handle, name, sample and switch. The row starts a drag when the pointer moves
// far enough with the button held, and takes drags of other rows while they pass over it.
class FormatRow final : public QWidget
{
public:
    FormatRow(ColorFormatter::Format format, ColorFormatDragState &state, QWidget *parent)
        : QWidget(parent)
        , m_format(format)
        , m_state(state)
    {
        setAcceptDrops(true);
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 2, 0, 2);
        layout->setSpacing(8);
        layout->addWidget(new DragHandle(this));
        auto *name = new QLabel(ColorFormatter::displayName(format), this);
        name->setFixedWidth(std::max(52, name->sizeHint().width()));
        layout->addWidget(name);
        if (const std::optional<QString> sample = ColorFormatter::format(redHex, format)) {
            QLabel *text = SettingsForm::secondaryLabel(*sample, 0.9, this);
            text->setWordWrap(false);
            QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            mono.setPointSizeF(text->font().pointSizeF());
            text->setFont(mono);
            text->setTextFormat(Qt::PlainText);
            text->setMinimumWidth(0);
            text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            layout->addWidget(text, 1);
        } else {
            layout->addStretch(1);
        }
        m_switch = new QCheckBox(this);
        m_switch->setAccessibleName(ColorFormatter::displayName(format));
        layout->addWidget(m_switch);
    }

    QCheckBox *formatSwitch() const { return m_switch; }
    void setDragged(bool dragged) { setWidgetOpacity(this, dragged ? 0.5 : 1.0); }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            m_pressPosition = event->position().toPoint();
        QWidget::mousePressEvent(event);
    }

    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (!(event->buttons() & Qt::LeftButton) || !m_pressPosition)
            return;
        if ((event->position().toPoint() - *m_pressPosition).manhattanLength()
            < QApplication::startDragDistance())
            return;
        m_pressPosition.reset();
        m_state.beginDrag(m_format);
        auto *drag = new QDrag(this);
        auto *payload = new QMimeData;
        payload->setText(ColorFormatter::rawValue(m_format));
        drag->setMimeData(payload);
        drag->setPixmap(grab());
        drag->setHotSpot(event->position().toPoint());
        drag->exec(Qt::MoveAction);
        // However the drag ended, dropped on a row or anywhere else, it is over.
        m_state.dragEnded();
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        m_pressPosition.reset();
        QWidget::mouseReleaseEvent(event);
    }

    void dragEnterEvent(QDragEnterEvent *event) override
    {
        if (!m_state.validateDrop() || !event->mimeData()->hasText()) {
            event->ignore();
            return;
        }
        event->setDropAction(Qt::MoveAction);
        event->accept();
        m_state.dropEntered(m_format);
    }

    void dragMoveEvent(QDragMoveEvent *event) override
    {
        if (!m_state.validateDrop()) {
            event->ignore();
            return;
        }
        event->setDropAction(Qt::MoveAction);
        event->accept();
    }

    void dropEvent(QDropEvent *event) override
    {
        event->setDropAction(Qt::MoveAction);
        if (m_state.performDrop())
            event->accept();
    }

private:
    ColorFormatter::Format m_format;
    ColorFormatDragState &m_state;
    QCheckBox *m_switch = nullptr;
    std::optional<QPoint> m_pressPosition;
};

} // namespace

ColorsTab::ColorsTab(AppSettings &settings, QWidget *parent)
    : SettingsForm(parent)
    , m_settings(settings)
    , m_dragState(std::make_unique<ColorFormatDragState>(settings))
{
    const QString shortcuts = QKeySequence(Qt::CTRL | Qt::Key_1).toString(QKeySequence::NativeText)
        + QStringLiteral(", ") + QKeySequence(Qt::CTRL | Qt::Key_2).toString(QKeySequence::NativeText);
    SettingsSection *formats = addSection(QStringLiteral("Paste Formats"),
        QStringLiteral("Drag to reorder. Keyboard shortcuts (%1, ...) follow the order of enabled formats.")
            .arg(shortcuts));
    auto *list = new QWidget(formats->box());
    m_rowLayout = new QVBoxLayout(list);
    m_rowLayout->setContentsMargins(0, 0, 0, 0);
    m_rowLayout->setSpacing(2);
    for (ColorFormatter::Format format : ColorFormatter::allFormats) {
        auto *row = new FormatRow(format, *m_dragState, list);
        m_rows.insert(format, row);
        connect(row->formatSwitch(), &QCheckBox::clicked, this,
            [this, format] { m_settings.toggleColorFormat(format); });
    }
    formats->addRow(list);

    connect(&m_settings, &AppSettings::colorFormatOrderChanged, this, &ColorsTab::showOrder);
    connect(&m_settings, &AppSettings::disabledColorFormatsChanged, this, &ColorsTab::showSwitches);
    connect(m_dragState.get(), &ColorFormatDragState::draggedFormatChanged, this, &ColorsTab::showDraggedRow);
    showOrder();
    showSwitches();
}

ColorsTab::~ColorsTab() = default;

QList<ColorFormatter::Format> ColorsTab::shownOrder() const
{
    QList<ColorFormatter::Format> order;
    for (int i = 0; i < m_rowLayout->count(); ++i) {
        QWidget *widget = m_rowLayout->itemAt(i)->widget();
        for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it) {
            if (it.value() == widget)
                order.append(it.key());
        }
    }
    return order;
}

QCheckBox *ColorsTab::formatSwitch(ColorFormatter::Format format) const
{
    auto *row = static_cast<FormatRow *>(m_rows.value(format));
    return row ? row->formatSwitch() : nullptr;
}

void ColorsTab::showOrder()
{
    // The rows are moved, never made anew: the row being dragged must outlive the drag.
    const QList<ColorFormatter::Format> order = m_settings.orderedColorFormats();
    for (int i = 0; i < order.size(); ++i) {
        QWidget *row = m_rows.value(order[i]);
        m_rowLayout->removeWidget(row);
        m_rowLayout->insertWidget(i, row);
    }
}

void ColorsTab::showSwitches()
{
    const QSet<QString> disabled = m_settings.disabledColorFormats();
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it)
        formatSwitch(it.key())->setChecked(!disabled.contains(ColorFormatter::rawValue(it.key())));
}

void ColorsTab::showDraggedRow()
{
    const std::optional<ColorFormatter::Format> dragged = m_dragState->draggedFormat();
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it)
        static_cast<FormatRow *>(it.value())->setDragged(dragged == it.key());
}
