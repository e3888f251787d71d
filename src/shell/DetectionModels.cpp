#include "shell/DetectionModels.h"

#include "detection/GuesslangDetection.h"
#include "detection/MagikaDetectionCoreML.h"

namespace DetectionModels {

AppDelegate::DetectionHooks hooks()
{
    AppDelegate::DetectionHooks hooks;
    hooks.warmUp = [] {
        const QString text = QStringLiteral("warmup");
        MagikaDetectionCoreML::shared().predictAsync(text).then(
            [text](const std::optional<MagikaDetectionCoreML::DetectionResult> &) {
                GuesslangDetection::shared().rankLanguagesAsync(text);
            });
    };
    hooks.loadModels = [] {
        MagikaDetectionCoreML::shared().loadModelIfNeededAsync();
        GuesslangDetection::shared().loadModelIfNeededAsync();
    };
    hooks.unloadModels = [] {
        MagikaDetectionCoreML::shared().unloadModelAsync().then(
            [] { GuesslangDetection::shared().unloadModelAsync(); });
    };
    return hooks;
}

void shutDown()
{
    // The content-type model first: a prediction that ends meanwhile may queue a ranking,
    // which the network's shut-down then waits for.
    MagikaDetectionCoreML::shared().shutDown();
    GuesslangDetection::shared().shutDown();
}

ServiceCodeClassifier::Ranker languageRanker()
{
    return [](const QString &text) {
        return GuesslangDetection::shared().rankLanguagesAsync(text).then(
            [](const QList<GuesslangDetection::DetectionResult> &ranking)
                -> std::optional<CodeClassifier::LanguageGuess> {
                if (ranking.isEmpty())
                    return std::nullopt;
                return CodeClassifier::LanguageGuess { ranking.first().language, ranking.first().confidence };
            });
    };
}

} // namespace DetectionModels
