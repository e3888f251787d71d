#pragma once

#include "KeyboardShortcuts/Name.h"
#include "model/AppSettings.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class DoubleTapService;
class GlobalInputMonitor;
class UserDefaults;
class UserNotices;

namespace KeyboardShortcuts {
class Shortcut;
class ShortcutCenter;
} // namespace KeyboardShortcuts

// Opens the panel the way the settings say: by the global shortcut, or by a double tap of a
// modifier. The panel never loses its last way to be opened: the shortcut stays while the
// double tap cannot work on this desktop, and a shortcut another program holds is tried once
// more a second later (a copy that is quitting may still hold it) before the user hears of it.
// Main thread only.
class ActivationController final : public QObject
{
    Q_OBJECT
public:
    struct Dependencies
    {
        AppSettings &settings;
        UserDefaults &defaults;
        KeyboardShortcuts::ShortcutCenter &shortcuts;
        // The shortcut that opens the panel.
        const KeyboardShortcuts::Name &togglePanel;
        GlobalInputMonitor &inputMonitor;
        UserNotices &notices;
        // What the shortcut and the double tap do.
        std::function<void()> toggle;
    };

    explicit ActivationController(Dependencies dependencies, QObject *parent = nullptr);
    ~ActivationController() override;

    // Declares the shortcut and has its release toggle the panel.
    void bindShortcut();
    // Applies the activation mode and double-tap modifier of the settings.
    void configureActivation();

    DoubleTapService *doubleTapService() const { return m_doubleTapService.get(); }
    std::optional<AppSettings::ActivationMode> currentActivationMode() const
    {
        return m_currentActivationMode;
    }

    // "open it with Ctrl+Space", from the shortcut the app takes at its start (the default
    // for nothing stored or for a stored value it cannot use); or that none is set.
    static QString openingHint(
        const KeyboardShortcuts::ShortcutCenter &shortcuts, const KeyboardShortcuts::Name &togglePanel);

private:
    void switchToDoubleTap();
    void switchToShortcut();
    void handleRegistrationFailure(const KeyboardShortcuts::Shortcut &shortcut, const QString &reason);
    void explainDoubleTapUnavailable(const QString &reason);
    // Once per start at most: the declaration is the only place that replaces a stored value.
    void explainShortcutReplaced(const KeyboardShortcuts::Name &name, const QString &problem);

    Dependencies m_dependencies;
    std::unique_ptr<DoubleTapService> m_doubleTapService;
    std::optional<AppSettings::ActivationMode> m_currentActivationMode;
    bool m_toldDoubleTapUnavailable = false;
    enum class RegistrationRetry { none, pending, done };
    RegistrationRetry m_registrationRetry = RegistrationRetry::none;
};
