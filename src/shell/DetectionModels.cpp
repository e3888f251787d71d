#include "shell/DetectionModels.h"

#include "common/QuitDeadline.h"
#include "detection/GuesslangDetection.h"
#include "detection/MagikaDetectionCoreML.h"

namespace DetectionModels {

AppDelegate::DetectionHooks hooks()
{
    AppDelegate::DetectionHooks hooks;
    hooks.warmUp = [] {
        const QString text = QStringLiteral("warmup");
        return MagikaDetectionCoreML::shared()
            .predictAsync(text)
            .then([text](const std::optional<MagikaDetectionCoreML::DetectionResult> &) {
                return GuesslangDetection::shared().rankLanguagesAsync(text);
            })
            .unwrap()
            .then([](const QList<GuesslangDetection::DetectionResult> &) {});
    };
    hooks.loadModels = [] {
        // Both load at once, each on its own thread; done when both are.
        const QFuture<bool> network = GuesslangDetection::shared().loadModelIfNeededAsync();
        return MagikaDetectionCoreML::shared()
            .loadModelIfNeededAsync()
            .then([network](bool) { return network; })
            .unwrap()
            .then([](bool) {});
    };
    hooks.unloadModels = [] {
        return MagikaDetectionCoreML::shared()
            .unloadModelAsync()
            .then([] { return GuesslangDetection::shared().unloadModelAsync(); })
            .unwrap();
    };
    return hooks;
}

void end(QuitDeadline &quit)
{
    // The content-type model first: a prediction that ends meanwhile may queue a ranking,
    // which the network's end then waits for.
    MagikaDetectionCoreML &contentTypeModel = MagikaDetectionCoreML::shared();
    contentTypeModel.stop();
    quit.waitUntilEnded(contentTypeModel, QStringLiteral("The content-type model's work"));
    GuesslangDetection &languageNetwork = GuesslangDetection::shared();
    languageNetwork.stop();
    quit.waitUntilEnded(languageNetwork, QStringLiteral("The language network's work"));
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
