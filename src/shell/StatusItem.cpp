#include "shell/StatusItem.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QSystemTrayIcon>

namespace {

// A clipboard drawn in the palette's text colour, for desktops whose icon theme has none.
QIcon drawnClipboardIcon()
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = QApplication::palette().color(QPalette::WindowText);
    painter.setPen(QPen(ink, 5));
    painter.drawRoundedRect(QRectF(12, 10, 40, 48), 6, 6);
    painter.setBrush(ink);
    painter.drawRoundedRect(QRectF(22, 4, 20, 12), 3, 3);
    painter.drawLine(QPointF(21, 30), QPointF(43, 30));
    painter.drawLine(QPointF(21, 42), QPointF(37, 42));
    return QIcon(pixmap);
}

} // namespace

StatusItem::StatusItem(QObject *parent)
    : QObject(parent)
    , m_menu(std::make_unique<StatusMenu>())
{
    m_icon = new QSystemTrayIcon(QIcon::fromTheme(QStringLiteral("edit-paste"), drawnClipboardIcon()), this);
    m_icon->setToolTip(QStringLiteral("Tindlewick"));
    m_icon->setContextMenu(m_menu.get());
    connect(m_menu.get(), &StatusMenu::openRequested, this, &StatusItem::openRequested);
    connect(m_menu.get(), &StatusMenu::settingsRequested, this, &StatusItem::settingsRequested);
    connect(m_menu.get(), &StatusMenu::updatesRequested, this, &StatusItem::updatesRequested);
    connect(m_menu.get(), &StatusMenu::quitRequested, this, &StatusItem::quitRequested);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // The context menu opens by itself on a right click; anything else toggles.
        if (reason != QSystemTrayIcon::Context)
            Q_EMIT clicked();
    });
    m_icon->show();
}

StatusItem::~StatusItem() = default;

bool StatusItem::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

QRect StatusItem::geometry() const
{
    return m_icon->isVisible() ? m_icon->geometry() : QRect();
}

void StatusItem::showMessage(const QString &title, const QString &message)
{
    m_icon->showMessage(title, message, QSystemTrayIcon::Warning, 10000);
}
