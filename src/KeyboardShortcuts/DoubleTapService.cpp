#include "KeyboardShortcuts/DoubleTapService.h"

#include "KeyboardShortcuts/Shortcut.h"
#include "platform/GlobalInputMonitor.h"

#include <QKeySequence>
#include <QPointer>
#include <QTimer>

#include <cmath>

namespace {

struct ModifierBits
{
    quint64 target;
    quint64 others;
};

ModifierBits bitsFor(AppSettings::DoubleTapModifier modifier)
{
    using namespace KeyboardShortcuts::ModifierFlag;
    switch (modifier) {
    case AppSettings::DoubleTapModifier::option:
        return { option, shift | control | command };
    case AppSettings::DoubleTapModifier::command:
        return { command, shift | control | option };
    case AppSettings::DoubleTapModifier::control:
        return { control, shift | option | command };
    case AppSettings::DoubleTapModifier::shift:
        return { shift, control | option | command };
    }
    return { option, shift | control | command };
}

} // namespace

DoubleTapService::DoubleTapService(
    GlobalInputMonitor &monitor, std::function<void()> onDoubleTap, double threshold, QObject *parent)
    : QObject(parent)
    , m_monitor(monitor)
    , m_onDoubleTap(std::move(onDoubleTap))
    , m_doubleTapThreshold(threshold)
{ }

DoubleTapService::~DoubleTapService()
{
    stop();
}

bool DoubleTapService::start(QString *error)
{
    if (m_running)
        return true;
    if (!m_monitor.setWatchesModifiers(true, error))
        return false;
    m_running = true;
    m_flagsConnection = connect(
        &m_monitor, &GlobalInputMonitor::modifierFlagsChanged, this, &DoubleTapService::handleFlagsChanged);
    m_keyConnection = connect(
        &m_monitor, &GlobalInputMonitor::otherKeyPressed, this, &DoubleTapService::handleOtherKeyDown);
    return true;
}

void DoubleTapService::stop()
{
    if (m_running) {
        disconnect(m_flagsConnection);
        disconnect(m_keyConnection);
        m_monitor.setWatchesModifiers(false, nullptr);
        m_running = false;
    }
    resetTapState();
}

void DoubleTapService::handleOtherKeyDown()
{
    // The modifier may still be held (Alt kept down through Alt+Tab+Tab): only its release
    // and a new press start a series again.
    m_tapCount = 0;
    m_lastModifierDownTime = 0;
}

void DoubleTapService::resetTapState()
{
    m_lastModifierDownTime = 0;
    m_tapCount = 0;
    m_isModifierDown = false;
}

void DoubleTapService::updateTargetModifier(const AppSettings &settings)
{
    m_targetModifier = settings.doubleTapModifier();
    resetTapState();
}

void DoubleTapService::handleFlagsChanged(quint64 flags, double timestamp)
{
    const double now = timestamp;
    const ModifierBits bits = bitsFor(m_targetModifier);
    if (flags & bits.others) {
        m_tapCount = 0;
        m_isModifierDown = false;
        return;
    }
    if (!(flags & bits.target)) {
        m_isModifierDown = false;
        return;
    }
    if (m_isModifierDown)
        return;
    m_isModifierDown = true;
    // A time of 0 means no earlier press. Whole microseconds, so a press exactly at the
    // threshold never counts by rounding noise.
    if (m_lastModifierDownTime > 0
        && std::llround((now - m_lastModifierDownTime) * 1e6) < std::llround(m_doubleTapThreshold * 1e6)) {
        ++m_tapCount;
        m_lastModifierDownTime = now;
        if (m_tapCount >= 2) {
            m_lastModifierDownTime = 0;
            m_tapCount = 0;
            QPointer<DoubleTapService> self = this;
            QTimer::singleShot(0, this, [self] {
                if (self && self->m_onDoubleTap)
                    self->m_onDoubleTap();
            });
        }
        return;
    }
    m_tapCount = 1;
    m_lastModifierDownTime = now;
}

QString DoubleTapService::modifierName(AppSettings::DoubleTapModifier modifier)
{
    // Named as in the desktop's shortcuts ("Ctrl+A", not "Control").
    Qt::KeyboardModifier flag = Qt::AltModifier;
    switch (modifier) {
    case AppSettings::DoubleTapModifier::option:
        flag = Qt::AltModifier;
        break;
    case AppSettings::DoubleTapModifier::command:
        flag = Qt::MetaModifier;
        break;
    case AppSettings::DoubleTapModifier::control:
        flag = Qt::ControlModifier;
        break;
    case AppSettings::DoubleTapModifier::shift:
        flag = Qt::ShiftModifier;
        break;
    }
    const QString combination
        = QKeySequence(QKeyCombination(flag, Qt::Key_A)).toString(QKeySequence::NativeText);
    return combination.left(combination.lastIndexOf(QLatin1Char('+')));
}
