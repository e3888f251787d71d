#include "capture/ServiceCodeClassifier.h"

#include "detection/CodeDetectionService.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(ServiceCodeClassifierTest, AsksTheDetectionServiceAndTheNetwork)
{
    CodeDetectionService service; // no content-type model: the shebang and the heuristics decide
    QStringList ranked;
    ServiceCodeClassifier classifier(service, [&](const QString &text) {
        ranked.append(text);
        return QtFuture::makeReadyFuture(
            std::optional<CodeClassifier::LanguageGuess>({ QStringLiteral("py"), 0.7f }));
    });

    const CodeClassifier::Detection detection
        = classifier.detect(QStringLiteral("#!/usr/bin/env python3\nprint(1)\n")).result();
    EXPECT_TRUE(detection.isCode);
    EXPECT_EQ(detection.language, QStringLiteral("python"));
    EXPECT_EQ(detection.topLabel, QStringLiteral("python"));
    EXPECT_EQ(detection.confidence, 100);

    const CodeClassifier::Detection prose = classifier.detect(QStringLiteral("A short note.")).result();
    EXPECT_FALSE(prose.isCode);

    EXPECT_EQ(classifier.rankLanguages(QStringLiteral("x = 1")).result(),
        (std::optional<CodeClassifier::LanguageGuess>({ QStringLiteral("py"), 0.7f })));
    EXPECT_EQ(ranked, QStringList { QStringLiteral("x = 1") });

    ServiceCodeClassifier withoutNetwork(service);
    EXPECT_EQ(withoutNetwork.rankLanguages(QStringLiteral("x = 1")).result(), std::nullopt);
}
