#pragma once

#include <QFuture>
#include <QString>

#include <optional>

// What the capture asks about a copied text that is neither a link nor a colour: the code
// detector's verdict and the language network's best guess. Both are asked at once and
// answer on threads of their own; the capture continues on the main thread when both have
// answered. The application wires the code-detection service and the language network
// in; tests use a fake.
class CodeClassifier
{
public:
    struct Detection
    {
        bool isCode = false;
        std::optional<QString> language;
        int confidence = 0; // 0 to 100
        std::optional<QString>
            topLabel; // the content-type model's first label, or the language found before it

        friend bool operator==(const Detection &, const Detection &) = default;
    };

    struct LanguageGuess
    {
        QString language;
        float probability = 0; // 0 to 1

        friend bool operator==(const LanguageGuess &, const LanguageGuess &) = default;
    };

    virtual ~CodeClassifier() = default;

    // The detector's verdict on text. Must not block the caller; a cancelled future
    // counts as "not code".
    virtual QFuture<Detection> detect(const QString &text) = 0;
    // The network's most probable language for text, nothing when the network is not
    // there or the text gives it nothing to go on. Must not block the caller; a cancelled
    // future counts as nothing.
    virtual QFuture<std::optional<LanguageGuess>> rankLanguages(const QString &text) = 0;
};
