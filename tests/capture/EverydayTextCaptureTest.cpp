// The everyday texts people copy most (lists, logs, paths, ids, messages, prose, placeholder
// text) become text items: each text of tests/data/everyday-text goes through the capture
// as the running app wires it, with the shipped content-type model and language network
// behind the code-detection service. None of these texts is in the model's training corpus;
// see the README of that folder for where they come from.
#include "CaptureTestSupport.h"

#include "capture/ServiceCodeClassifier.h"
#include "detection/CodeDetectionService.h"
#include "detection/GuesslangDetection.h"
#include "detection/MagikaDetectionCoreML.h"
#include "shell/DetectionModels.h"
#include "support/EverydayTexts.h"

#include <cstdio>
#include <map>

namespace {

struct KindFigure
{
    int total = 0;
    int text = 0;
    QStringList misses;
};

class EverydayTextCaptureTest : public CaptureTest
{
protected:
    void SetUp() override
    {
        CaptureTest::SetUp();
        ASSERT_TRUE(MagikaDetectionCoreML::shared().loadModel());
        ASSERT_TRUE(GuesslangDetection::shared().loadModel());
        m_monitor->setCodeClassifier(&m_appClassifier);
    }

    // The kind of item the capture makes of a copied text, and why when it is code.
    std::pair<ClipboardItemType, QString> capture(const QString &text)
    {
        PasteboardSnapshot snapshot;
        snapshot.types = { PasteboardType::plainText };
        snapshot.plainText = text;
        const std::optional<ClipboardMonitor::CapturedContent> captured = classify(snapshot);
        if (!captured || !captured->item)
            return { ClipboardItemType::text, QStringLiteral("no item") };
        const ClipboardItem &item = *captured->item;
        return { item.type(), item.codeLanguage().value_or(QString()) };
    }

    ServiceCodeClassifier m_appClassifier { CodeDetectionService::shared(),
        DetectionModels::languageRanker() };
};

} // namespace

TEST_F(EverydayTextCaptureTest, NinetyNineInAHundredStayTextAndEveryKindNinetySeven)
{
    std::map<QString, KindFigure> kinds;
    for (const auto &[kind, texts] : EverydayTexts::byKind(testDataPath(QStringLiteral("everyday-text")))) {
        KindFigure &figure = kinds[kind];
        for (const QString &text : texts) {
            const auto [type, language] = capture(text);
            ++figure.total;
            if (type == ClipboardItemType::text)
                ++figure.text;
            else
                figure.misses.append(QStringLiteral("[%1 %2] %3")
                                         .arg(rawValue(type), language, text.left(80).replace(u'\n', u'/')));
        }
    }

    int total = 0;
    int text = 0;
    std::printf("[ everyday text ] %-28s %6s %6s\n", "kind", "texts", "text");
    for (const auto &[kind, figure] : kinds) {
        total += figure.total;
        text += figure.text;
        std::printf("[ everyday text ] %-28s %6d %5.1f %%\n", qPrintable(kind), figure.total,
            100.0 * figure.text / std::max(1, figure.total));
        EXPECT_GE(figure.text * 100, figure.total * 97)
            << qPrintable(kind) << ": " << qPrintable(figure.misses.join(u'\n'));
    }
    std::printf("[ everyday text ] %-28s %6d %5.1f %%\n", "all", total, 100.0 * text / std::max(1, total));
    for (const auto &[kind, figure] : kinds)
        for (const QString &miss : figure.misses)
            std::printf("[ everyday text ] code: %s %s\n", qPrintable(kind), qPrintable(miss));
    std::fflush(stdout);

    EXPECT_GE(int(kinds.size()), 20);
    EXPECT_GE(total, 1000);
    EXPECT_GE(text * 100, total * 99) << text << " of " << total << " stayed text";
}
