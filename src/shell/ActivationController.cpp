#include "shell/ActivationController.h"

#include "KeyboardShortcuts/DoubleTapService.h"
#include "KeyboardShortcuts/ShortcutCenter.h"
#include "platform/UserDefaults.h"
#include "shell/UserNotices.h"

#include <QPointer>
#include <QTimer>

ActivationController::ActivationController(Dependencies dependencies, QObject *parent)
    : QObject(parent)
    , m_dependencies(std::move(dependencies))
{
    // A grab refused at start-up or later (another program, often an input method, holds
    // the combination) must not go unnoticed: the panel could not be opened by it.
    connect(&m_dependencies.shortcuts, &KeyboardShortcuts::ShortcutCenter::registrationFailed, this,
        &ActivationController::handleRegistrationFailure);
    connect(&m_dependencies.shortcuts, &KeyboardShortcuts::ShortcutCenter::storedShortcutReplaced, this,
        &ActivationController::explainShortcutReplaced);
}

ActivationController::~ActivationController() = default;

void ActivationController::bindShortcut()
{
    QPointer<ActivationController> self = this;
    m_dependencies.shortcuts.declare(m_dependencies.togglePanel);
    m_dependencies.shortcuts.onKeyUp(m_dependencies.togglePanel, [self] {
        if (self)
            self->m_dependencies.toggle();
    });
}

void ActivationController::configureActivation()
{
    if (m_dependencies.settings.activationMode() == AppSettings::ActivationMode::doubleTap) {
        if (m_currentActivationMode != AppSettings::ActivationMode::doubleTap)
            switchToDoubleTap();
        else if (m_doubleTapService)
            m_doubleTapService->updateTargetModifier(m_dependencies.settings);
        return;
    }
    if (m_currentActivationMode != AppSettings::ActivationMode::shortcut)
        switchToShortcut();
}

void ActivationController::switchToDoubleTap()
{
    m_currentActivationMode = AppSettings::ActivationMode::doubleTap;
    QPointer<ActivationController> self = this;
    auto service = std::make_unique<DoubleTapService>(m_dependencies.inputMonitor, [self] {
        if (self)
            self->m_dependencies.toggle();
    });
    service->updateTargetModifier(m_dependencies.settings);
    QString reason;
    // The shortcut goes only once the double tap really works: the panel must always
    // have a way to be opened (the tray's click stays in any case).
    if (service->start(&reason)) {
        m_doubleTapService = std::move(service);
        m_dependencies.shortcuts.disable({ m_dependencies.togglePanel });
    } else {
        m_dependencies.shortcuts.enable({ m_dependencies.togglePanel });
        explainDoubleTapUnavailable(reason);
    }
}

void ActivationController::switchToShortcut()
{
    m_currentActivationMode = AppSettings::ActivationMode::shortcut;
    if (m_doubleTapService) {
        m_doubleTapService->stop();
        m_doubleTapService.reset();
    }
    m_dependencies.shortcuts.enable({ m_dependencies.togglePanel });
}

QString ActivationController::openingHint(
    const KeyboardShortcuts::ShortcutCenter &shortcuts, const KeyboardShortcuts::Name &togglePanel)
{
    // Before the shortcut is declared, what the declaration will make of it.
    if (const std::optional<KeyboardShortcuts::Shortcut> shortcut = shortcuts.declaredShortcut(togglePanel))
        return QStringLiteral("open it with %1").arg(shortcut->nativeText());
    return QStringLiteral("no shortcut is set to open it");
}

void ActivationController::explainShortcutReplaced(
    const KeyboardShortcuts::Name &name, const QString &problem)
{
    if (name != m_dependencies.togglePanel || !name.defaultShortcut)
        return;
    m_dependencies.notices.tell(QStringLiteral("Shortcut reset"),
        QStringLiteral("The shortcut to open Tindlewick in %1 %2. %3 opens it instead; another can be "
                       "chosen in the settings.")
            .arg(m_dependencies.defaults.filePath(), problem, name.defaultShortcut->nativeText()));
}

void ActivationController::explainDoubleTapUnavailable(const QString &reason)
{
    if (m_toldDoubleTapUnavailable)
        return;
    m_toldDoubleTapUnavailable = true;
    m_dependencies.notices.tell(QStringLiteral("Double tap unavailable"),
        QStringLiteral("A double tap of %1 cannot open Tindlewick here: %2. Until it can, %3.")
            .arg(DoubleTapService::modifierName(m_dependencies.settings.doubleTapModifier()), reason,
                openingHint(m_dependencies.shortcuts, m_dependencies.togglePanel)));
}

void ActivationController::handleRegistrationFailure(
    const KeyboardShortcuts::Shortcut &shortcut, const QString &reason)
{
    // A copy that is just quitting may still hold the shortcut for a moment: try once more
    // a second later before telling the user.
    if (m_registrationRetry == RegistrationRetry::pending)
        return;
    if (m_registrationRetry == RegistrationRetry::none) {
        m_registrationRetry = RegistrationRetry::pending;
        QTimer::singleShot(1000, this, [this] {
            m_registrationRetry = RegistrationRetry::done;
            if (m_currentActivationMode == AppSettings::ActivationMode::shortcut)
                m_dependencies.shortcuts.enable({ m_dependencies.togglePanel });
        });
        return;
    }
    m_dependencies.notices.tell(QStringLiteral("Shortcut not available"),
        QStringLiteral("%1 may not reach Tindlewick: %2. Choose another shortcut in the settings.")
            .arg(shortcut.nativeText(), reason));
}
