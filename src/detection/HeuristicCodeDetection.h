#pragma once

#include "detection/heuristics/HeuristicPatternTables.h"
#include "detection/heuristics/RequiredLiterals.h"

#include <QRegularExpression>
#include <QString>

#include <optional>
#include <span>
#include <vector>

// What the heuristics make of a text. language and score describe the best language even
// when the score falls short of calling the text code.
struct HeuristicResult
{
    bool isCode = false;
    std::optional<QString> language;
    int confidence = 0;
    qint64 score = 0;

    friend bool operator==(const HeuristicResult &, const HeuristicResult &) = default;
};

// Recognises code without a model: every pattern of the tables that matches some line of
// the text adds its points once, the generic patterns to every language; the language
// with the highest score wins when the score is high enough for the text's length.
// Each pattern is compiled once, at its first use; detection only reads the tables otherwise,
// so one instance serves any number of threads at once.
class HeuristicCodeDetection final
{
public:
    struct CompiledPattern
    {
        QRegularExpression regex;
        qint64 points = 0;
        bool nearTop = false;
        RequiredLiterals literals; // lets a scan skip lines that cannot match
    };

    struct CompiledLanguage
    {
        QString name;
        std::vector<CompiledPattern> patterns;
    };

    // How a pattern is looked for. Both give the same answers; EveryLine runs the
    // expression on each line in turn and exists to check the indexed scan against.
    enum class Scan { Indexed, EveryLine };

    // Over the built-in tables.
    HeuristicCodeDetection();
    // Takes the given tables. Entries that do not compile count nothing, silently.
    HeuristicCodeDetection(std::span<const HeuristicPattern> genericPatterns,
        std::span<const HeuristicLanguagePatterns> languages);

    HeuristicCodeDetection(const HeuristicCodeDetection &) = delete;
    HeuristicCodeDetection &operator=(const HeuristicCodeDetection &) = delete;

    // The instance over the built-in tables, made on first use (from any thread).
    static const HeuristicCodeDetection &shared();

    HeuristicResult detect(QStringView text) const;

    // The score of every language for text, generic points included, in table order.
    std::vector<qint64> languageScores(QStringView text, Scan scan = Scan::Indexed) const;

    const std::vector<CompiledPattern> &genericPatterns() const { return m_genericPatterns; }
    const std::vector<CompiledLanguage> &languages() const { return m_languages; }

    // Only this many lines of a text are read, each only up to this many characters.
    static constexpr qsizetype maxLines = 100;
    static constexpr qsizetype maxLineLength = 500;

    // Options every pattern is compiled with: Unicode-aware \w, \d, \s and \b, as the
    // tables were written for.
    static constexpr QRegularExpression::PatternOptions patternOptions
        = QRegularExpression::UseUnicodePropertiesOption;

private:
    class Lines;

    static std::vector<CompiledPattern> compile(std::span<const HeuristicPattern> patterns);
    static bool counts(const CompiledPattern &pattern, const Lines &lines, Scan scan);
    static qint64 points(const std::vector<CompiledPattern> &patterns, const Lines &lines, Scan scan);

    std::vector<CompiledPattern> m_genericPatterns;
    std::vector<CompiledLanguage> m_languages;
};
