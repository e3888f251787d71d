// Short samples of every kind of text the content-type model names (one file each in
// tests/data/language-samples), as people copy them from a web page or an editor, through the whole detection
// road (a "#!" line, the pattern heuristics, the shipped content-type model): each must come out as its
// language, and the text kinds as text. A few realistic samples are known misses that the patterns decide
// before the model is asked; for them the model alone must name the language.
#include "detection/CodeDetectionService.h"
#include "detection/HeuristicCodeDetection.h"
#include "detection/MagikaDetectionCoreML.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringList>

#include <vector>

namespace {

// What a sample's file name does not say. A sample is read from
// tests/data/language-samples/LABEL.txt (or LABEL.N.txt when a label has more than one).
struct SampleNote
{
    const char *file;
    const char *writtenIn = nullptr; // the language the label's files are written in, also right
    // A known miss: the pattern stage is sure of this language before the model is asked. Its
    // tables have no TypeScript pattern that outweighs the JavaScript this TypeScript also
    // uses, and no SCSS, OCaml or diff patterns, so CSS, F# and JSON patterns decide these.
    const char *patternsDecide = nullptr;
};

const SampleNote sampleNotes[] = {
    { "diff.3.txt", nullptr, "json" },
    { "gemspec.txt", "ruby" },
    { "ocaml.2.txt", nullptr, "fsharp" },
    { "scss.txt", nullptr, "css" },
    { "typescript.2.txt", nullptr, "javascript" },
};

struct LabelledSample
{
    QString file;
    QString label; // the language the road must name, or a text label for text
    QString text;
    SampleNote note;
};

// The service's text labels: samples of these must not be code, and the model's first
// label for them must be one of these (which kind of text it is, the road does not say).
const QSet<QString> textLabels = { "txt", "randombytes", "randomtxt", "csv", "tsv", "markdown", "rst", "eml",
    "srt", "vtt", "sum", "po", "bib" };

std::vector<LabelledSample> labelledSamples()
{
    const QDir folder(testDataPath(QStringLiteral("language-samples")));
    std::vector<LabelledSample> samples;
    for (const QString &name : folder.entryList({ QStringLiteral("*.txt") }, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "cannot read " << qPrintable(file.fileName());
            continue;
        }
        LabelledSample sample { name, name.section(u'.', 0, 0), QString::fromUtf8(file.readAll()),
            { nullptr } };
        for (const SampleNote &note : sampleNotes)
            if (name == QLatin1String(note.file))
                sample.note = note;
        samples.push_back(sample);
    }
    return samples;
}

// Everyday texts that are not code: placeholder paragraphs, chat lines with numbers, and
// prose in German, French, Spanish, Italian and Portuguese.
const char *const everydayProse[] = {
    // lorem ipsum
    "Lorem ipsum dolor sit amet, consectetur adipiscing elit. Sed do eiusmod tempor incididunt ut labore et "
    "dolore magna aliqua. Ut enim ad minim veniam, quis nostrud exercitation ullamco laboris nisi ut aliquip "
    "ex ea commodo consequat.",
    "Duis aute irure dolor in reprehenderit in voluptate velit esse cillum dolore eu fugiat nulla pariatur. "
    "Excepteur sint occaecat cupidatat non proident, sunt in culpa qui officia deserunt mollit anim id est "
    "laborum.",
    "Curabitur pretium tincidunt lacus. Nulla gravida orci a odio. Nullam varius, turpis et commodo "
    "pharetra, "
    "est eros bibendum elit, nec luctus magna felis sollicitudin mauris.\n\nInteger in mauris eu nibh "
    "euismod "
    "gravida. Duis ac tellus et risus vulputate vehicula.",
    "Pellentesque habitant morbi tristique senectus et netus et malesuada fames ac turpis egestas. "
    "Vestibulum "
    "tortor quam, feugiat vitae, ultricies eget, tempor sit amet, ante.",
    "Sed ut perspiciatis unde omnis iste natus error sit voluptatem accusantium doloremque laudantium, totam "
    "rem aperiam, eaque ipsa quae ab illo inventore veritatis.",
    "Mauris blandit aliquet elit, eget tincidunt nibh pulvinar a. Vivamus suscipit tortor eget felis "
    "porttitor "
    "volutpat. Donec rutrum congue leo eget malesuada.",
    // chat lines with numbers
    "hello side by side 1",
    "hello world plain text",
    "limit item number 50",
    "limit item number 7",
    "limit item number 123",
    "see you at gate 12",
    "meet you in room 204 after lunch",
    "we need 3 more chairs for tonight",
    "running 10 min late sorry",
    "table for 4 at 7 please",
    "ok I'll take the 8:15 train",
    "got 2 tickets for saturday!!",
    "call me back on 0171 5550123",
    "the bus number is 42 not 24",
    // German
    "Vielen Dank für Ihre Nachricht. Wir melden uns so bald wie möglich bei Ihnen und wünschen Ihnen bis "
    "dahin "
    "ein schönes Wochenende.",
    "Morgen fällt der Unterricht aus, weil die Lehrerin krank ist. Bitte bringt die Hausaufgaben am "
    "Donnerstag "
    "mit.",
    // French
    "Bonjour à tous, la réunion de demain est reportée à jeudi matin. Merci de confirmer votre présence "
    "avant "
    "mercredi soir.",
    "Nous avons passé une semaine merveilleuse au bord de la mer, malgré la pluie des deux premiers jours.",
    // Spanish
    "Hola María, ¿podrías enviarme el informe antes del viernes? Necesito revisarlo con el equipo el lunes "
    "por "
    "la mañana.",
    "El restaurante abre todos los días a las ocho y media, excepto los domingos, cuando permanece cerrado.",
    // Italian
    "Buongiorno, volevo sapere se la camera doppia è ancora disponibile per il fine settimana del 12 "
    "ottobre.",
    "La biblioteca resterà chiusa per lavori fino alla fine del mese; i prestiti sono prorogati "
    "automaticamente.",
    // Portuguese
    "Olá, tudo bem? Amanhã vamos ao mercado logo cedo e depois almoçamos na casa da avó.",
    "O voo foi cancelado por causa do mau tempo e só conseguimos partir na manhã seguinte.",
};

class LanguageSamplesTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(MagikaDetectionCoreML::shared().loadModel()); }

    CodeDetectionService m_service { std::shared_ptr<ContentTypeClassifier>(
        &MagikaDetectionCoreML::shared(), [](ContentTypeClassifier *) {}) };
};

} // namespace

TEST_F(LanguageSamplesTest, EverySampleIsNamedRight)
{
    const std::vector<LabelledSample> samples = labelledSamples();
    ASSERT_FALSE(samples.empty());
    for (const LabelledSample &sample : samples) {
        const QString &label = sample.label;
        const std::string name = sample.file.toStdString();
        const qsizetype lines = sample.text.trimmed().count(u'\n') + 1;
        EXPECT_TRUE(lines >= 5 && lines <= 40) << name << " has " << lines << " lines";
        const CodeDetectionService::DetectionResult result = m_service.detectNow(sample.text);
        if (textLabels.contains(label)) {
            EXPECT_FALSE(result.isCode)
                << name
                << " taken for code: " << qPrintable(result.language.value_or(QStringLiteral("none")));
            EXPECT_TRUE(textLabels.contains(result.topLabel.value_or(QString())))
                << name << " taken for " << qPrintable(result.topLabel.value_or(QStringLiteral("none")));
        } else if (const char *patternsDecide = sample.note.patternsDecide) {
            // The road gives what the patterns say; the model, which is not asked, knows better.
            const HeuristicResult heuristic = HeuristicCodeDetection::shared().detect(sample.text);
            EXPECT_TRUE(heuristic.isCode && heuristic.language == QLatin1String(patternsDecide))
                << name << " no longer decided by the patterns as " << patternsDecide;
            EXPECT_TRUE(result.isCode && result.language == QLatin1String(patternsDecide))
                << name << " named " << qPrintable(result.language.value_or(QStringLiteral("none")));
            const auto model = MagikaDetectionCoreML::shared().predictTopK(sample.text, 1);
            EXPECT_TRUE(!model.isEmpty() && model.first().label == label)
                << name << " taken by the model for "
                << qPrintable(model.isEmpty() ? QStringLiteral("nothing") : model.first().label);
        } else {
            EXPECT_TRUE(result.isCode) << name << " not taken for code, top label "
                                       << qPrintable(result.topLabel.value_or(QStringLiteral("none")));
            const HeuristicResult heuristic = HeuristicCodeDetection::shared().detect(sample.text);
            const QString writtenIn
                = sample.note.writtenIn ? QString::fromLatin1(sample.note.writtenIn) : label;
            EXPECT_TRUE(result.language == label || result.language == writtenIn)
                << name << " named " << qPrintable(result.language.value_or(QStringLiteral("none")))
                << (heuristic.isCode ? ", decided by the patterns" : ", decided by the model");
        }
    }
}

// Every label of the shipped model has a sample, so a label added to the model without one
// is noticed; and every note names a sample that is there.
TEST_F(LanguageSamplesTest, EveryLabelOfTheModelHasASample)
{
    QSet<QString> sampled, files;
    for (const LabelledSample &sample : labelledSamples()) {
        sampled.insert(sample.label);
        files.insert(sample.file);
    }
    for (const QString &label : MagikaDetectionCoreML::shared().labels())
        EXPECT_TRUE(sampled.contains(label)) << qPrintable(label);
    for (const SampleNote &note : sampleNotes)
        EXPECT_TRUE(files.contains(QLatin1String(note.file))) << note.file;
    for (const char *language : { "cs", "kotlin", "swift", "dart", "scala", "r", "haskell", "clojure",
             "elixir", "groovy", "objectivec", "julia", "fortran", "coffeescript", "vba", "verilog" })
        EXPECT_TRUE(MagikaDetectionCoreML::shared().labels().contains(QLatin1String(language))) << language;
}

TEST_F(LanguageSamplesTest, EverydayProseIsNotCode)
{
    for (const char *text : everydayProse) {
        const CodeDetectionService::DetectionResult result = m_service.detectNow(QString::fromUtf8(text));
        EXPECT_FALSE(result.isCode) << text << " -> "
                                    << qPrintable(result.topLabel.value_or(QStringLiteral("none")));
    }
}
