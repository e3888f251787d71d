#pragma once

#include <QList>
#include <QString>

// One label of the content-type model with its score.
struct ContentTypePrediction
{
    QString label;
    float confidence = 0.0f;
    bool isCode = false; // the label is one of the model's code labels

    friend bool operator==(const ContentTypePrediction &, const ContentTypePrediction &) = default;
};

// What the code-detection service needs of the content-type model. The model runner
// implements it; tests substitute a fake.
class ContentTypeClassifier
{
public:
    virtual ~ContentTypeClassifier() = default;

    // The k best labels of text, best first (equal scores keep label order). Empty when
    // the model is unavailable or fails. Thread-safe; may block while the model runs.
    virtual QList<ContentTypePrediction> predictTopK(const QString &text, int k) = 0;
};
