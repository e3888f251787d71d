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

    std::map<QString, KindFigure> evaluate(const QString &folder);

    ServiceCodeClassifier m_appClassifier { CodeDetectionService::shared(),
        DetectionModels::languageRanker() };
};

// What share of each kind of a folder of everyday texts stays text; prints the figures and
// every text taken for code.
std::map<QString, KindFigure> EverydayTextCaptureTest::evaluate(const QString &folder)
{
    std::map<QString, KindFigure> kinds;
    for (const auto &[kind, texts] : EverydayTexts::byKind(testDataPath(folder))) {
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
    const QByteArray tag = folder.toUtf8();
    KindFigure all;
    std::printf("[ %s ] %-28s %6s %6s\n", tag.constData(), "kind", "texts", "text");
    for (const auto &[kind, figure] : kinds) {
        all.total += figure.total;
        all.text += figure.text;
        std::printf("[ %s ] %-28s %6d %5.1f %%\n", tag.constData(), qPrintable(kind), figure.total,
            100.0 * figure.text / std::max(1, figure.total));
    }
    std::printf("[ %s ] %-28s %6d %5.1f %%\n", tag.constData(), "all", all.total,
        100.0 * all.text / std::max(1, all.total));
    for (const auto &[kind, figure] : kinds)
        for (const QString &miss : figure.misses)
            std::printf("[ %s ] code: %s %s\n", tag.constData(), qPrintable(kind), qPrintable(miss));
    std::fflush(stdout);
    return kinds;
}

// Every kind keeps 97 % as text and the whole folder 99 % (or `share` per thousand).
void expectMostlyText(const std::map<QString, KindFigure> &kinds, int shareInThousand)
{
    int total = 0;
    int text = 0;
    for (const auto &[kind, figure] : kinds) {
        total += figure.total;
        text += figure.text;
        EXPECT_GE(figure.text * 100, figure.total * 97)
            << qPrintable(kind) << ": " << qPrintable(figure.misses.join(u'\n'));
    }
    EXPECT_GE(text * 1000, total * shareInThousand) << text << " of " << total << " stayed text";
}

} // namespace

TEST_F(EverydayTextCaptureTest, NinetyNineInAHundredStayTextAndEveryKindNinetySeven)
{
    const std::map<QString, KindFigure> kinds = evaluate(QStringLiteral("everyday-text"));
    EXPECT_GE(int(kinds.size()), 20);
    int total = 0;
    for (const auto &[kind, figure] : kinds)
        total += figure.total;
    EXPECT_GE(total, 1000);
    // What this evaluation kept when the model learnt its shapes: 99.7 %.
    expectMostlyText(kinds, 997);
}

// Lines of at most 80 characters and short notes of other sources than the texts above (see
// the README of the folder): item lines, notes with numbers and codes, placeholder text
// with digits, lists of rooms and items.
TEST_F(EverydayTextCaptureTest, ShortLinesAndNotesWithNumbersStayText)
{
    const QString folder = QStringLiteral("everyday-lines");
    int lines = 0;
    int notes = 0;
    for (const auto &[kind, texts] : EverydayTexts::byKind(testDataPath(folder))) {
        for (const QString &text : texts) {
            if (!text.contains(u'\n'))
                lines += text.size() <= 80 ? 1 : 0;
            else
                notes += text.size() <= 400 ? 1 : 0;
        }
    }
    EXPECT_GE(lines, 500);
    EXPECT_GE(notes, 200);
    expectMostlyText(evaluate(folder), 990);
}
