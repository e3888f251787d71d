#include "capture/ServiceCodeClassifier.h"

#include "detection/CodeDetectionService.h"

ServiceCodeClassifier::ServiceCodeClassifier(CodeDetectionService &service, Ranker ranker)
    : m_service(service)
    , m_ranker(std::move(ranker))
{ }

QFuture<CodeClassifier::Detection> ServiceCodeClassifier::detect(const QString &text)
{
    return m_service.detect(text).then([](const CodeDetectionService::DetectionResult &result) {
        return Detection { result.isCode, result.language, result.confidence, result.topLabel };
    });
}

QFuture<std::optional<CodeClassifier::LanguageGuess>> ServiceCodeClassifier::rankLanguages(
    const QString &text)
{
    if (!m_ranker)
        return QtFuture::makeReadyFuture(std::optional<LanguageGuess>());
    return m_ranker(text);
}
