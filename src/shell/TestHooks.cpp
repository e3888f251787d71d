#include "shell/TestHooks.h"

#include "common/Diagnostics.h"
#include "detection/HighlightCacheService.h"
#include "model/AppSettings.h"
#include "platform/UnixSignalWatcher.h"
#include "platform/UserDefaults.h"

namespace TestHooks {

bool requested()
{
    return qEnvironmentVariableIntValue("TINDLEWICK_TEST_HOOKS") == 1;
}

void install(UnixSignalWatcher &signals, UserDefaults &defaults, AppSettings &settings)
{
    QObject::connect(
        &HighlightCacheService::shared(), &HighlightCacheService::highlighterStarted, [](int count) {
            printDiagnostic(
                QStringLiteral("[HighlightCacheService] Highlighting engine started (%1)").arg(count));
        });
    signals.watchUserSignal();
    QObject::connect(&signals, &UnixSignalWatcher::userSignalReceived, &settings, [&defaults, &settings] {
        defaults.reload();
        const std::optional<QString> name = defaults.string(QStringLiteral("codeTheme"));
        if (const std::optional<HighlightTheme> theme
            = name ? HighlightThemes::fromRawValue(*name) : std::nullopt)
            settings.setCodeTheme(*theme);
    });
}

} // namespace TestHooks
