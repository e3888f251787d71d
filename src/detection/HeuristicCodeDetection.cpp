#include "detection/HeuristicCodeDetection.h"

#include "common/LineBreaks.h"
#include "common/UserCharacters.h"
#include "detection/heuristics/LineIndex.h"

#include <algorithm>

namespace {

// Score a text must reach to count as code, by its length in characters.
qint64 requiredScore(QStringView text)
{
    const qsizetype length = UserCharacters::count(text, 301);
    if (length <= 100)
        return 5;
    if (length <= 300)
        return 8;
    return 12;
}

} // namespace

// The lines of a text as the detector reads them: at most maxLines, each cut to
// maxLineLength characters, with an index of where the patterns' literals may occur.
class HeuristicCodeDetection::Lines final
{
public:
    explicit Lines(QStringView text)
    {
        m_lines.reserve(std::min<qsizetype>(maxLines, 16));
        qsizetype start = 0;
        for (qsizetype i = 0; i < text.size() && count() < maxLines; ++i) {
            if (isLineBreak(text[i])) {
                m_lines.push_back(text.sliced(start, i - start));
                start = i + 1;
            }
        }
        if (count() < maxLines)
            m_lines.push_back(text.sliced(start));

        for (qsizetype index = 0; index < count(); ++index) {
            QStringView &line = m_lines[index];
            line = UserCharacters::prefix(line, maxLineLength);
            m_index.addLine(index, line);
        }
        m_nearTopLimit = count() >= 50 ? count() / 10 : 5;
    }

    qsizetype count() const { return qsizetype(m_lines.size()); }
    qsizetype nearTopLimit() const { return m_nearTopLimit; }
    QStringView line(qsizetype index) const { return m_lines[index]; }
    const LineIndex &index() const { return m_index; }

private:
    std::vector<QStringView> m_lines;
    LineIndex m_index;
    qsizetype m_nearTopLimit = 5;
};

static_assert(HeuristicCodeDetection::maxLines <= LineIndex::maxLines);

HeuristicCodeDetection::HeuristicCodeDetection()
    : HeuristicCodeDetection(HeuristicPatternTables::genericPatterns(), HeuristicPatternTables::languages())
{ }

HeuristicCodeDetection::HeuristicCodeDetection(
    std::span<const HeuristicPattern> genericPatterns, std::span<const HeuristicLanguagePatterns> languages)
    : m_genericPatterns(compile(genericPatterns))
{
    m_languages.reserve(languages.size());
    for (const HeuristicLanguagePatterns &language : languages)
        m_languages.push_back({ language.name, compile(language.patterns) });
}

const HeuristicCodeDetection &HeuristicCodeDetection::shared()
{
    static const HeuristicCodeDetection instance;
    return instance;
}

std::vector<HeuristicCodeDetection::CompiledPattern> HeuristicCodeDetection::compile(
    std::span<const HeuristicPattern> patterns)
{
    std::vector<CompiledPattern> compiled;
    compiled.reserve(patterns.size());
    for (const HeuristicPattern &entry : patterns) {
        const QString source = QString::fromUtf8(entry.pattern);
        // Compiled where it is first used: by the first text with a line that holds one of its
        // literals. Most texts reach few of the tables' patterns, and each compiled one keeps
        // its machine code (some kilobytes) for good.
        compiled.push_back({ QRegularExpression(source, patternOptions), entry.points, entry.nearTop,
            RequiredLiterals::fromPattern(source) });
    }
    return compiled;
}

bool HeuristicCodeDetection::counts(const CompiledPattern &pattern, const Lines &lines, Scan scan)
{
    const auto matches = [&](qsizetype index) {
        // A pattern that does not compile counts nothing (compiling takes a lock of its own,
        // so the first threads to use it may do so at once).
        return pattern.regex.isValid() && pattern.regex.match(lines.line(index)).hasMatch();
    };
    const qsizetype limit = pattern.nearTop ? std::min(lines.nearTopLimit(), lines.count()) : lines.count();
    if (scan == Scan::EveryLine) {
        for (qsizetype index = 0; index < limit; ++index) {
            if (matches(index))
                return true;
        }
        return false;
    }
    // A line without any of the pattern's literals cannot match.
    const LineIndex::LineSet candidates = lines.index().linesWithAny(pattern.literals.alternatives());
    for (qsizetype index = 0; index < limit; ++index) {
        if (candidates.test(index) && matches(index))
            return true;
    }
    return false;
}

qint64 HeuristicCodeDetection::points(
    const std::vector<CompiledPattern> &patterns, const Lines &lines, Scan scan)
{
    qint64 sum = 0;
    for (const CompiledPattern &pattern : patterns) {
        if (counts(pattern, lines, scan))
            sum += pattern.points;
    }
    return sum;
}

std::vector<qint64> HeuristicCodeDetection::languageScores(QStringView text, Scan scan) const
{
    const Lines lines(text);
    const qint64 generic = points(m_genericPatterns, lines, scan);
    std::vector<qint64> scores;
    scores.reserve(m_languages.size());
    for (const CompiledLanguage &language : m_languages)
        scores.push_back(generic + points(language.patterns, lines, scan));
    return scores;
}

HeuristicResult HeuristicCodeDetection::detect(QStringView text) const
{
    if (m_languages.empty())
        return {};
    const std::vector<qint64> scores = languageScores(text);

    // Strictly greater: the earlier language keeps a tie, and a score of 0 or below
    // never names a language.
    qint64 bestScore = 0;
    const CompiledLanguage *best = nullptr;
    for (std::size_t i = 0; i < scores.size(); ++i) {
        if (scores[i] > bestScore) {
            bestScore = scores[i];
            best = &m_languages[i];
        }
    }
    if (!best)
        return {};

    if (bestScore < requiredScore(text))
        return { false, best->name, 0, bestScore };
    return { true, best->name, int(std::min<qint64>(4 * bestScore + 55, 95)), bestScore };
}
