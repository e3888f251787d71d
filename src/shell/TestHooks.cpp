#include "shell/TestHooks.h"

#include "common/Diagnostics.h"
#include "detection/HighlightCacheService.h"

namespace TestHooks {

bool requested()
{
    return qEnvironmentVariableIntValue("TINDLEWICK_TEST_HOOKS") == 1;
}

void install()
{
    QObject::connect(
        &HighlightCacheService::shared(), &HighlightCacheService::highlighterStarted, [](int count) {
            printDiagnostic(
                QStringLiteral("[HighlightCacheService] Highlighting engine started (%1)").arg(count));
        });
}

} // namespace TestHooks
