#pragma once

#include "capture/CodeClassifier.h"

#include <functional>

class CodeDetectionService;

// The capture's code classifier in the running app: the code-detection service answers
// `detect`, and the language network, once given, `rankLanguages` (until then there is no
// guess, so only the detector can make a text code).
class ServiceCodeClassifier final : public CodeClassifier
{
public:
    // The network's best language for a text, off the caller's thread.
    using Ranker = std::function<QFuture<std::optional<LanguageGuess>>(const QString &text)>;

    explicit ServiceCodeClassifier(CodeDetectionService &service, Ranker ranker = {});

    QFuture<Detection> detect(const QString &text) override;
    QFuture<std::optional<LanguageGuess>> rankLanguages(const QString &text) override;

private:
    CodeDetectionService &m_service;
    Ranker m_ranker;
};
