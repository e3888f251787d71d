#include "shell/StatusMenu.h"

#include "KeyboardShortcuts/ShortcutBinding.h"
#include "KeyboardShortcuts/ShortcutCenter.h"

#include <QAction>
#include <QIcon>

StatusMenu::StatusMenu(QWidget *parent)
    : QMenu(parent)
{
    connect(this, &QMenu::aboutToShow, this, &StatusMenu::rebuild);
    rebuild();
}

void StatusMenu::setOpenShortcut(
    KeyboardShortcuts::ShortcutCenter *center, const KeyboardShortcuts::Name &name)
{
    m_shortcuts = center;
    m_openShortcut = name;
    rebuild();
}

void StatusMenu::rebuild()
{
    clear();
    m_openAction = addAction(QStringLiteral("Open Tindlewick"));
    connect(m_openAction, &QAction::triggered, this, &StatusMenu::openRequested);
    if (m_shortcuts && m_openShortcut)
        KeyboardShortcuts::followShortcut(m_openAction, m_openShortcut, *m_shortcuts);
    addSeparator();
    QAction *settings = addAction(QStringLiteral("Settings..."));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(settings, &QAction::triggered, this, &StatusMenu::settingsRequested);
    QAction *updates
        = addAction(QIcon::fromTheme(QStringLiteral("view-refresh")), QStringLiteral("Check for Updates..."));
    connect(updates, &QAction::triggered, this, &StatusMenu::updatesRequested);
    addSeparator();
    QAction *quit = addAction(QStringLiteral("Quit Tindlewick"));
    quit->setShortcut(quitShortcut());
    connect(quit, &QAction::triggered, this, &StatusMenu::quitRequested);
}

QKeySequence StatusMenu::quitShortcut()
{
    return QKeySequence(Qt::CTRL | Qt::Key_Q);
}
