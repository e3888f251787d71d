#include "KeyboardShortcuts/Recorder.h"

#include "KeyboardShortcuts/LocalEventMonitor.h"
#include "platform/GlobalInputMonitor.h"
#include "platform/KeyboardMap.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>

namespace KeyboardShortcuts {

namespace {

QPointer<QMenu> g_mainMenu;

// Qt keys of modifier keys that have no key code of their own in the shortcut model.
bool isModifierOnlyKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

constexpr int recorderMinimumWidth = 130;

} // namespace

Recorder::Recorder(const Name &name, ShortcutCenter &center, QWidget *parent)
    : QLineEdit(parent)
    , m_state(std::make_unique<RecorderState>(name, center))
    , m_keyboardMap(KeyboardMap::system())
{
    setObjectName(QStringLiteral("KeyboardShortcutsRecorder"));
    setReadOnly(true);
    setAlignment(Qt::AlignCenter);
    setFocusPolicy(Qt::StrongFocus);
    setContextMenuPolicy(Qt::NoContextMenu);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_clearAction
        = addAction(style()->standardIcon(QStyle::SP_LineEditClearButton), QLineEdit::TrailingPosition);
    m_clearAction->setToolTip(tr("Remove the shortcut"));
    connect(m_clearAction, &QAction::triggered, this, [this] {
        setFocus(Qt::OtherFocusReason);
        m_state->clear();
    });

    m_state->setAlertPresenter([this](const RecorderState::Alert &alert) { return presentAlert(alert); });
    m_state->setBeep([] { QApplication::beep(); });
    m_state->setMenuLookup([](const Shortcut &shortcut) -> std::optional<QString> {
        if (!g_mainMenu)
            return std::nullopt;
        if (const QAction *item = menuItemTakingShortcut(*g_mainMenu, shortcut))
            return item->text().remove(QLatin1Char('&'));
        return std::nullopt;
    });
    connect(m_state.get(), &RecorderState::textChanged, this, &Recorder::updateFromState);
    connect(m_state.get(), &RecorderState::placeholderChanged, this, &Recorder::updateFromState);
    connect(m_state.get(), &RecorderState::isRecordingChanged, this, &Recorder::updateMonitor);
    updateFromState();
}

Recorder::~Recorder() = default;

void Recorder::setMainMenu(QMenu *menu)
{
    g_mainMenu = menu;
}

QMenu *Recorder::mainMenu()
{
    return g_mainMenu.data();
}

QSize Recorder::sizeHint() const
{
    const QSize hint = QLineEdit::sizeHint();
    return { std::max(hint.width(), recorderMinimumWidth), hint.height() };
}

QSize Recorder::minimumSizeHint() const
{
    const QSize hint = QLineEdit::minimumSizeHint();
    return { std::max(hint.width(), recorderMinimumWidth), hint.height() };
}

void Recorder::updateFromState()
{
    setText(m_state->text());
    setPlaceholderText(m_state->placeholder());
    m_clearAction->setVisible(m_state->showsClearButton());
}

void Recorder::setDesktopKeys(std::unique_ptr<GlobalInputMonitor> monitor)
{
    if (m_desktopKeys)
        m_desktopKeys->setWatchesModifiers(false, nullptr);
    m_desktopKeys = std::move(monitor);
    m_desktopKeysChosen = true;
    if (m_desktopKeys)
        connect(m_desktopKeys.get(), &GlobalInputMonitor::otherKeyPressed, this, &Recorder::handleDesktopKey);
    updateMonitor();
}

void Recorder::handleDesktopKey(quint32 keycode, quint64 modifierFlags)
{
    // Keys the recorder gets itself come as key events; only a key another program's grab
    // took is handled here, so the user hears why it cannot simply be used.
    if (!m_state->isRecording())
        return;
    const std::optional<Shortcut> shortcut = Shortcut::fromKeyCode(keycode, modifierFlags, m_keyboardMap);
    if (!shortcut || !m_state->isHeldElsewhere(*shortcut))
        return;
    apply(m_state->handleKey(shortcut));
}

void Recorder::updateMonitor()
{
    if (!m_desktopKeysChosen && m_state->isRecording())
        setDesktopKeys(GlobalInputMonitor::openSeparate());
    if (m_desktopKeys)
        m_desktopKeys->setWatchesModifiers(m_state->isRecording(), nullptr);
    if (!m_state->isRecording()) {
        // Recording may end inside the monitor's own callback: it goes once that returned.
        if (m_mouseMonitor) {
            m_mouseMonitor->stop();
            m_mouseMonitor.release()->deleteLater();
        }
        return;
    }
    if (!m_mouseMonitor) {
        m_mouseMonitor
            = std::make_unique<LocalEventMonitor>(QList<QEvent::Type> { QEvent::MouseButtonRelease },
                [this](QObject *receiver, QEvent *event) { return handleAppMouseUp(receiver, event); });
        m_mouseMonitor->start();
    }
}

bool Recorder::handleAppMouseUp(QObject *receiver, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(receiver);
    if (!widget)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton)
        return false;
    const QPointF position = mapFromGlobal(mouse->globalPosition());
    const RecorderState::Outcome outcome = m_state->handleMouseUp(position, QSizeF(size()));
    // The recorder's own clear button needs its click.
    const bool own = widget == this || isAncestorOf(widget);
    apply(outcome);
    return outcome.consumed && !own;
}

void Recorder::apply(RecorderState::Outcome outcome)
{
    switch (outcome.focus) {
    case RecorderState::FocusChange::none:
        break;
    case RecorderState::FocusChange::clear:
        clearFocus();
        m_state->focusOut();
        break;
    case RecorderState::FocusChange::next:
        focusNextChild();
        m_state->focusOut();
        break;
    }
}

bool Recorder::event(QEvent *event)
{
    if (m_state->isRecording()) {
        if (event->type() == QEvent::ShortcutOverride) {
            // Every key goes to the recorder while it records, none to the app's shortcuts.
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (isModifierOnlyKey(key->key()))
                return true;
            const RecorderState::Outcome outcome
                = m_state->handleKey(Shortcut::fromKeyEvent(*key, m_keyboardMap));
            apply(outcome);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void Recorder::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    const bool byActivation
        = event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason;
    m_state->focusIn(byActivation);
}

void Recorder::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // An alert of the recorder's own takes the focus for a moment; it ends recording itself.
    m_state->focusOut();
}

void Recorder::mousePressEvent(QMouseEvent *event)
{
    QLineEdit::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && hasFocus())
        m_state->click();
}

int Recorder::presentAlert(const RecorderState::Alert &alert)
{
    QMessageBox box(
        QMessageBox::Warning, tr("Keyboard Shortcut"), alert.message, QMessageBox::NoButton, window());
    box.setObjectName(QStringLiteral("KeyboardShortcutsRecorderAlert"));
    // It holds the recorder's window alone: the app's other windows (the panel) keep their keys.
    box.setWindowModality(Qt::WindowModal);
    box.setInformativeText(alert.informativeText);
    QList<QAbstractButton *> buttons;
    const QStringList titles
        = alert.buttons.isEmpty() ? QStringList { RecorderState::localized("ok") } : alert.buttons;
    for (qsizetype i = 0; i < titles.size(); ++i)
        buttons.append(box.addButton(titles[i], i == 0 ? QMessageBox::AcceptRole : QMessageBox::ActionRole));
    box.setDefaultButton(qobject_cast<QPushButton *>(buttons.first()));
    box.setEscapeButton(buttons.first());
    box.exec();
    const auto index = buttons.indexOf(box.clickedButton());
    return index < 0 ? 0 : int(index);
}

} // namespace KeyboardShortcuts
