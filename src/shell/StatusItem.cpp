#include "shell/StatusItem.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMenu>
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
{
    m_menu = new QMenu;
    m_icon = new QSystemTrayIcon(QIcon::fromTheme(QStringLiteral("edit-paste"), drawnClipboardIcon()), this);
    m_icon->setToolTip(QStringLiteral("Tindlewick"));
    m_icon->setContextMenu(m_menu);
    connect(m_menu, &QMenu::aboutToShow, this, &StatusItem::rebuildMenu);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // The context menu opens by itself on a right click; anything else toggles.
        if (reason != QSystemTrayIcon::Context)
            Q_EMIT clicked();
    });
    rebuildMenu();
    m_icon->show();
}

StatusItem::~StatusItem()
{
    delete m_menu;
}

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

void StatusItem::rebuildMenu()
{
    m_menu->clear();
    connect(m_menu->addAction(QStringLiteral("Open Tindlewick")), &QAction::triggered, this,
        &StatusItem::openRequested);
    m_menu->addSeparator();
    QAction *settings = m_menu->addAction(QStringLiteral("Settings..."));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(settings, &QAction::triggered, this, &StatusItem::settingsRequested);
    QAction *updates = m_menu->addAction(
        QIcon::fromTheme(QStringLiteral("view-refresh")), QStringLiteral("Check for Updates..."));
    connect(updates, &QAction::triggered, this, &StatusItem::updatesRequested);
    m_menu->addSeparator();
    QAction *quit = m_menu->addAction(QStringLiteral("Quit Tindlewick"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, &StatusItem::quitRequested);
}
