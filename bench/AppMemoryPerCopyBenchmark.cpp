// Memory that follows the history, not the number of copies. The app's own program (as in
// AppMemoryBenchmark.cpp), its history limit at 200, takes copies of one kind (or of all kinds
// in turn) through the X clipboard, its panel shown and hidden after every hundredth as a paste
// would. Its written pages (Private_Dirty) are read once it has settled after the first
// thousand copies and after each 250 of the second: with the history full from the 200th copy
// on, the second thousand leaves nothing that stays, and "dirty_MiB_per_1000" is the growth the
// readings show (their least-squares slope). Nothing is trimmed from outside: the app gives back
// what it gives back by itself. A kind takes 10 to 15 minutes.
#include "AppUnderBench.h"

#include "BenchPictures.h"
#include "support/LocalHttpServer.h"
#include "support/NumberedTestTexts.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

namespace {

constexpr int historyLimit = 200;
constexpr int copiesBetweenShows = 100;

// The kinds of copies; mixed takes them in turn, as a day's copies come.
enum class CopyKind { note, code, link, colour, longText, picture, fileList, fromProgramThatQuits, mixed };
constexpr int singleKinds = int(CopyKind::mixed);

// Makes the nth copy of a kind, each unlike the others, and copies it.
class Copier final
{
public:
    Copier(AppUnderBench &app, CopyKind kind)
        : m_app(app)
        , m_kind(kind)
    { }

    // What the copies need before the first (pages to link to, code to copy, a folder for
    // files); false when it could not be had.
    bool prepare()
    {
        const bool all = m_kind == CopyKind::mixed;
        if ((all || m_kind == CopyKind::link) && !startServer())
            return false;
        if ((all || m_kind == CopyKind::code) && !readCodeSamples())
            return false;
        return m_files.isValid();
    }

    bool copy(int number)
    {
        switch (m_kind == CopyKind::mixed ? CopyKind(number % singleKinds) : m_kind) {
        case CopyKind::note:
            return m_app.copy(
                QStringLiteral("Note %1: call the plumber about the kitchen tap before Friday.").arg(number));
        case CopyKind::code:
            return m_app.copy(codeSnippet(number));
        case CopyKind::link:
            return m_app.copy(m_server.url(QStringLiteral("/article/%1").arg(number)).toString());
        case CopyKind::colour:
            return m_app.copy(QStringLiteral("#%1").arg(
                quint32(number) * 2654435761u & 0xFFFFFFu, 6, 16, QLatin1Char('0')));
        case CopyKind::longText:
            return m_app.copy(longText(number));
        case CopyKind::picture:
            return m_app.copy(picture(number));
        case CopyKind::fileList:
            return m_app.copy(fileList(number));
        case CopyKind::fromProgramThatQuits:
            return m_app.copyFromProgramThatQuits(
                QStringLiteral("Copied in a program that quit, number %1").arg(number));
        case CopyKind::mixed:
            break;
        }
        return false;
    }

private:
    // Articles with a picture each, as news sites have them.
    bool startServer()
    {
        if (!m_server.listen())
            return false;
        m_server.setResponse(QStringLiteral("/photo.jpg"),
            LocalHttpServer::image(encodedImage({ 800, 533 }, 7, "JPEG", 85), "image/jpeg"));
        m_server.setDefaultResponse(LocalHttpServer::page(
            "<!doctype html><html><head><title>Article</title>"
            "<meta property=\"og:title\" content=\"Harbour lights at dusk\">"
            "<meta property=\"og:description\" content=\"Photographs from the quay, taken in the blue hour\">"
            "<meta property=\"og:image\" content=\"/photo.jpg\"></head><body>...</body></html>"));
        return true;
    }

    // Eight languages in turn.
    bool readCodeSamples()
    {
        const QStringList files { "python.py", "go.go", "rust.rs", "java.java", "javascript.js", "cpp.cc",
            "ruby.rb", "php.php" };
        for (const QString &name : files) {
            QFile file(QStringLiteral(TINDLEWICK_TEST_DATA_DIR "/code-samples/") + name);
            if (!file.open(QIODevice::ReadOnly))
                return false;
            m_codeSamples.append(QString::fromUtf8(file.readAll()).trimmed());
        }
        return true;
    }

    QString codeSnippet(int number) const
    {
        const qsizetype language = number % m_codeSamples.size();
        // Python and Ruby comment with "#", the others with "//".
        const QString comment = language == 0 || language == 6 ? QStringLiteral("\n# revision %1")
                                                               : QStringLiteral("\n// revision %1");
        return m_codeSamples[language] + comment.arg(number);
    }

    // Some 8 KB of prose.
    static QString longText(int number)
    {
        QString text = QStringLiteral("Chapter %1\n\n").arg(number);
        for (int part = 0; part < 8; ++part)
            text += NumberedTestTexts::kilobyteText(number + part) + QStringLiteral("\n\n");
        return text;
    }

    static QMimeData *picture(int number)
    {
        auto *data = new QMimeData;
        data->setData(QStringLiteral("image/png"), encodedImage({ 320, 240 }, number, "PNG"));
        return data;
    }

    // Three files on disk, ten copies to a folder.
    QMimeData *fileList(int number)
    {
        const QString folder = m_files.filePath(QStringLiteral("folder-%1").arg(number / 10));
        QDir().mkpath(folder);
        QList<QUrl> urls;
        for (const QString &name : { QStringLiteral("report-%1.pdf"), QStringLiteral("photo-%1.jpg"),
                 QStringLiteral("notes-%1.md") }) {
            const QString path = folder + QLatin1Char('/') + name.arg(number);
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write("content");
            urls.append(QUrl::fromLocalFile(path));
        }
        auto *data = new QMimeData;
        data->setUrls(urls);
        return data;
    }

    AppUnderBench &m_app;
    CopyKind m_kind;
    LocalHttpServer m_server;
    QStringList m_codeSamples;
    QTemporaryDir m_files;
};

// Memory read after a number of copies.
struct Sample
{
    int copies = 0;
    AppUnderBench::Memory memory;
};

// The least-squares slope of one figure over the samples, per 1,000 copies: steadier than two
// readings, between which a picture's buffers or a page's may come or go.
double perThousand(const QList<Sample> &samples, double AppUnderBench::Memory::*figure)
{
    double meanCopies = 0;
    double meanFigure = 0;
    for (const Sample &sample : samples) {
        meanCopies += sample.copies / double(samples.size());
        meanFigure += sample.memory.*figure / double(samples.size());
    }
    double covariance = 0;
    double variance = 0;
    for (const Sample &sample : samples) {
        covariance += (sample.copies - meanCopies) * (sample.memory.*figure - meanFigure);
        variance += (sample.copies - meanCopies) * (sample.copies - meanCopies);
    }
    return variance > 0 ? 1000.0 * covariance / variance : 0;
}

void reportGrowth(benchmark::State &state, const QList<Sample> &samples)
{
    state.counters["dirty_MiB_at_first"] = samples.first().memory.privateDirtyMiB;
    state.counters["dirty_MiB_at_last"] = samples.last().memory.privateDirtyMiB;
    state.counters["dirty_MiB_per_1000"] = perThousand(samples, &AppUnderBench::Memory::privateDirtyMiB);
    state.counters["private_MiB_per_1000"] = perThousand(samples, &AppUnderBench::Memory::privateMiB);
    state.counters["rss_MiB_per_1000"] = perThousand(samples, &AppUnderBench::Memory::residentMiB);
}

// Copies numbered from `first` up to `last`, the panel shown and hidden after every hundredth;
// how many the app stored.
int copyRange(AppUnderBench &app, Copier &copier, int first, int last)
{
    int stored = 0;
    for (int number = first; number <= last; ++number) {
        stored += copier.copy(number) ? 1 : 0;
        if (number % copiesBetweenShows == 0 && !(app.showPanel() && app.hidePanel()))
            return -1;
    }
    return stored;
}

// Twice range(0) copies of the kind: the first half warms the app up (the history is full from
// the 200th on); its memory is read once it has settled after the first half and after each
// quarter of the second.
void BM_AppMemoryCopies(benchmark::State &state, CopyKind kind)
{
    if (!AppUnderBench::hasDisplay()) {
        state.SkipWithError("needs an X server (scripts/with-xserver.sh)");
        return;
    }
    const int half = int(state.range(0));
    for (auto _ : state) {
        AppUnderBench app;
        Copier copier(app, kind);
        if (!copier.prepare()) {
            state.SkipWithError("what the copies need could not be made");
            break;
        }
        if (!app.writeSettings({ { QStringLiteral("historyLimit"), historyLimit } }) || !app.start()
            || !app.settles()) {
            state.SkipWithError("the app did not start");
            break;
        }
        QList<Sample> samples;
        int stored = 0;
        for (int copied = 0, next = half; next <= 2 * half; copied = next, next += half / 4) {
            const int storedNow = copyRange(app, copier, copied + 1, next);
            if (storedNow < 0 || !app.settles())
                break;
            stored += storedNow;
            samples.append({ next, app.memory() });
        }
        if (samples.size() < 5) {
            state.SkipWithError("the panel was not shown, or the app never settled");
            break;
        }
        reportGrowth(state, samples);
        state.counters["copies_stored"] = stored;
        state.counters["stored"] = double(app.storedCount());
        state.counters["peak_rss_MiB"] = app.peakResidentMiB();
    }
}

#define COPIES_OF_KIND(name, kind)                                                                           \
    BENCHMARK_CAPTURE(BM_AppMemoryCopies, name, kind)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond)

COPIES_OF_KIND(notes, CopyKind::note);
COPIES_OF_KIND(code, CopyKind::code);
COPIES_OF_KIND(links, CopyKind::link);
COPIES_OF_KIND(colours, CopyKind::colour);
COPIES_OF_KIND(longTexts, CopyKind::longText);
COPIES_OF_KIND(pictures, CopyKind::picture);
COPIES_OF_KIND(fileLists, CopyKind::fileList);
COPIES_OF_KIND(fromProgramsThatQuit, CopyKind::fromProgramThatQuits);
COPIES_OF_KIND(mixed, CopyKind::mixed);

} // namespace
