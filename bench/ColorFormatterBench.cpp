// The colour reader runs on every copied text, the writer on every colour menu shown.
#include "enrichment/ColorFormatter.h"

#include <benchmark/benchmark.h>

#include <QStringList>

using namespace ColorFormatter;

namespace {

const QStringList colours = {
    QStringLiteral("#3366cc"),
    QStringLiteral("#f0a8"),
    QStringLiteral("0xFF336699"),
    QStringLiteral("Color(0xff336699)"),
    QStringLiteral("rgb(51, 102, 204)"),
    QStringLiteral("rgb(51 102 204 / 50%)"),
    QStringLiteral("hsl(220, 60%, 50%)"),
    QStringLiteral("hsl(220deg 60% 50% / .5)"),
    QStringLiteral("hsb(220, 75%, 80%)"),
    QStringLiteral("hwb(220 20% 20%)"),
    QStringLiteral("cmyk(75, 50, 0, 20)"),
    QStringLiteral("device-cmyk(0.75 0.5 0 0.2)"),
    QStringLiteral("lab(45 18.7 -57.8)"),
    QStringLiteral("lch(45 60.8 287.9)"),
    QStringLiteral("oklab(0.53 -0.0225 -0.1664)"),
    QStringLiteral("oklch(0.53 0.1679 262.3)"),
    QStringLiteral("color(display-p3 0.2 0.4 0.8)"),
    QStringLiteral("Color(red: 0.2, green: 0.4, blue: 0.8)"),
    QStringLiteral("Color(hue: 0.6, saturation: 0.75, brightness: 0.8)"),
    QStringLiteral("Color(white: 0.5)"),
    QStringLiteral("UIColor(red: 0.2, green: 0.4, blue: 0.8, alpha: 1)"),
    QStringLiteral("NSColor(white: 0.5, alpha: 1)"),
    QStringLiteral("NSColor(hue: 0.6, saturation: 0.75, brightness: 0.8, alpha: 1)"),
    QStringLiteral("Color.fromARGB(255, 51, 102, 204)"),
    QStringLiteral("Color.fromRGBO(51, 102, 204, 1.0)"),
    QStringLiteral("new THREE.Color(0x3366cc)"),
    QStringLiteral("THREE.Color(0.2, 0.4, 0.8)"),
};

QString repeatedTo1KB(const QString &head, const QString &body, const QString &tail)
{
    QString text = head;
    while (text.size() + tail.size() < 1024)
        text += body;
    text.truncate(1024 - tail.size());
    return text + tail;
}

// Ordinary clipboard texts of 1 KB, from the cheapest to reject to the most expensive: the
// worst ones start and end like a notation, so every pattern of that initial runs.
const QStringList nonColours1KB = {
    repeatedTo1KB(QStringLiteral("The quick brown fox "), QStringLiteral("jumps over the lazy dog. "),
        QStringLiteral("End.")),
    repeatedTo1KB(QStringLiteral("func main() {\n"), QStringLiteral("    let x = compute(a, b)\n"),
        QStringLiteral("}")),
    repeatedTo1KB(
        QStringLiteral("https://example.com/"), QStringLiteral("path/segment/"), QStringLiteral("abc")),
    repeatedTo1KB(QStringLiteral("rgb("), QStringLiteral("12, "), QStringLiteral(")")),
    repeatedTo1KB(QStringLiteral("Color("), QStringLiteral("red: 1, green: 0, "), QStringLiteral(")")),
    repeatedTo1KB(QStringLiteral("call("), QStringLiteral("argument, "), QStringLiteral(");")),
    repeatedTo1KB(QStringLiteral("#"), QStringLiteral("abcdef0123"), QStringLiteral("ff")),
};

const QStringList clipboardMix = [] {
    QStringList mix = nonColours1KB;
    mix += colours;
    mix += { QStringLiteral("hello"), QStringLiteral("https://example.com"), QStringLiteral("42"),
        QStringLiteral("/home/user/file.txt"), QStringLiteral("Thanks, see you tomorrow!") };
    return mix;
}();

void runParse(benchmark::State &state, const QStringList &texts)
{
    qsizetype index = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(parse(texts[index]));
        index = (index + 1) % texts.size();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ParseColour(benchmark::State &state)
{
    runParse(state, { colours[state.range(0)] });
    state.SetLabel(colours[state.range(0)].toStdString());
}
BENCHMARK(BM_ParseColour)->DenseRange(0, 26);

void BM_ParseAllColours(benchmark::State &state)
{
    runParse(state, colours);
}
BENCHMARK(BM_ParseAllColours);

void BM_RejectNonColour1KB(benchmark::State &state)
{
    runParse(state, { nonColours1KB[state.range(0)] });
    state.SetLabel(nonColours1KB[state.range(0)].left(12).toStdString() + "...");
}
BENCHMARK(BM_RejectNonColour1KB)->DenseRange(0, 6);

void BM_ParseClipboardMix(benchmark::State &state)
{
    runParse(state, clipboardMix);
}
BENCHMARK(BM_ParseClipboardMix);

void BM_Format(benchmark::State &state)
{
    const Format format = allFormats[state.range(0)];
    const QString hex = QStringLiteral("#3366CC80");
    for (auto _ : state)
        benchmark::DoNotOptimize(ColorFormatter::format(hex, format));
    state.SetLabel(rawValue(format).toStdString());
}
BENCHMARK(BM_Format)->DenseRange(0, 10);

} // namespace
