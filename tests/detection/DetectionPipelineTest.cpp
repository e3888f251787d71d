// The whole detection road with the real content-type model behind the heuristics: how
// often copied texts are classified right.
#include "detection/CodeDetectionService.h"
#include "detection/MagikaDetectionCoreML.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <iostream>

namespace {

struct Text
{
    const char *text;
    bool isCode;
};

// Texts people copy that the heuristics leave to the model: prose of every shape, and
// short snippets without the tell-tale keywords of the pattern tables.
constexpr Text modelDecides[] = {
    { "Thanks for the update! I'll review the draft tonight and send comments before our call tomorrow.",
        false },
    { "Remember to buy milk, eggs, flour and two lemons on the way home.", false },
    { "The meeting has been moved to Thursday at 3 pm in room 4.12; please bring the quarterly figures.",
        false },
    { "Dear Ms. Alvarez,\n\nThank you for your letter of 2 March. We are pleased to confirm your reservation "
      "for three nights.\n\nKind regards,\nThe Front Desk",
        false },
    { "1. Preheat the oven to 180 degrees.\n2. Mix the butter and sugar.\n3. Add the eggs one at a time.\n"
      "4. Fold in the flour and bake for 25 minutes.",
        false },
    { "It was the best of times, it was the worst of times, it was the age of wisdom, it was the age of "
      "foolishness.",
        false },
    { "Flight LH 1234 departs Frankfurt at 07:45 and arrives in Lisbon at 09:50 local time.", false },
    { "Can you send me the invoice again? The one I got last week has the wrong address on it.", false },
    { "Quarterly revenue grew 12% year over year, driven mainly by subscriptions in Europe and Asia.",
        false },
    { "Note to self: call the plumber about the leaking kitchen tap before Friday.", false },
    { "Order #48213 has shipped and should arrive within three to five business days.", false },
    { "The quick brown fox jumps over the lazy dog while the cat watches from the window sill.", false },
    { "x = [n * n for n in numbers if n % 2 == 0]\ntotal = sum(x)\nprint(total)", true },
    { "SELECT name, COUNT(*) AS orders\nFROM customers\nJOIN orders USING (customer_id)\nGROUP BY name\n"
      "ORDER BY orders DESC;",
        true },
    { "const total = items.reduce((sum, item) => sum + item.price * item.quantity, 0);\nconsole.log(total);",
        true },
    { "for (int i = 0; i < count; ++i) {\n    values[i] = values[i] * 2;\n}", true },
    { "<div class=\"card\">\n  <h2>Title</h2>\n  <p>Some text in a card.</p>\n</div>", true },
    { "{\n  \"name\": \"tindlewick\",\n  \"version\": \"1.0.0\",\n  \"private\": true\n}", true },
};

QString read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(DetectionPipelineTest, SamplesAndProseAreClassifiedRightNineTimesInTen)
{
    ASSERT_TRUE(MagikaDetectionCoreML::shared().loadModel());
    CodeDetectionService service(std::shared_ptr<ContentTypeClassifier>(
        &MagikaDetectionCoreML::shared(), [](ContentTypeClassifier *) {}));

    int total = 0;
    int right = 0;
    QStringList wrong;
    auto judge = [&](const QString &name, const QString &text, bool expectedCode,
                     const QString &expectedLanguage) {
        const CodeDetectionService::DetectionResult result = service.detectNow(text);
        const bool ok = result.isCode == expectedCode
            && (expectedLanguage.isEmpty() || result.language == expectedLanguage);
        ++total;
        right += ok ? 1 : 0;
        if (!ok)
            wrong.append(name + QStringLiteral(" -> ") + result.language.value_or(QStringLiteral("none")));
    };

    const QDir samples(testDataPath(QStringLiteral("code-samples")));
    for (const QString &file : samples.entryList(QDir::Files)) {
        // The file's base name is the language it is written in.
        judge(file, read(samples.filePath(file)), true, QFileInfo(file).completeBaseName());
    }
    const QDir prose(testDataPath(QStringLiteral("code-samples/not-code")));
    for (const QString &file : prose.entryList(QDir::Files))
        judge(file, read(prose.filePath(file)), false, {});
    for (const Text &text : modelDecides)
        judge(QString::fromUtf8(text.text).left(30), QString::fromUtf8(text.text), text.isCode, {});

    const double accuracy = double(right) / double(total);
    std::cout << "[ pipeline ] " << right << " of " << total << " right (" << qRound(accuracy * 100) << " %)"
              << (wrong.isEmpty() ? "" : "; wrong: ") << wrong.join(QStringLiteral(", ")).toStdString()
              << std::endl;
    EXPECT_GE(accuracy, 0.9);
}
