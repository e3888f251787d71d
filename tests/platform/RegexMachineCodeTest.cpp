#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <dlfcn.h>

#include <memory>

namespace {

using JitCompile = int (*)(pcre2_code_16 *, uint32_t);

struct CodeFree
{
    void operator()(pcre2_code_16 *code) const { pcre2_code_free_16(code); }
};
using Code = std::unique_ptr<pcre2_code_16, CodeFree>;

Code compiled(const QString &pattern)
{
    int error = 0;
    PCRE2_SIZE offset = 0;
    return Code(pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(pattern.utf16()), PCRE2_SIZE(pattern.size()),
        PCRE2_UTF | PCRE2_UCP, &error, &offset, nullptr));
}

// The bytes of machine code pattern gets from compile asked for the given modes; -1 when the
// pattern or its machine code does not compile.
qint64 machineCodeBytes(const QString &pattern, JitCompile compile, uint32_t modes)
{
    const Code code = compiled(pattern);
    if (!code || compile(code.get(), modes) != 0)
        return -1;
    size_t bytes = 0;
    pcre2_pattern_info_16(code.get(), PCRE2_INFO_JITSIZE, &bytes);
    return qint64(bytes);
}

bool hasMachineCode()
{
    uint32_t jit = 0;
    return pcre2_config_16(PCRE2_CONFIG_JIT, &jit) >= 0 && jit == 1;
}

constexpr uint32_t everyMode = PCRE2_JIT_COMPLETE | PCRE2_JIT_PARTIAL_SOFT | PCRE2_JIT_PARTIAL_HARD;

} // namespace

// The compiler Qt finds through the dynamic linker must be the app's; were it the library's,
// every pattern would keep its partial-match code again.
TEST(RegexMachineCodeTest, QtReachesTheAppsCompiler)
{
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "pcre2_jit_compile_16"), reinterpret_cast<void *>(&pcre2_jit_compile_16));
}

TEST(RegexMachineCodeTest, OnlyTheCompleteMatchCodeIsMadeWhenEveryModeIsAskedFor)
{
    if (!hasMachineCode())
        GTEST_SKIP() << "PCRE2 was built without machine code";
    const auto library = reinterpret_cast<JitCompile>(dlsym(RTLD_NEXT, "pcre2_jit_compile_16"));
    ASSERT_NE(library, nullptr);
    ASSERT_NE(reinterpret_cast<void *>(library), reinterpret_cast<void *>(&pcre2_jit_compile_16));
    const QString patterns[] = {
        QStringLiteral(R"(^\s*(?:def|class)\s+\w+\s*\()"),
        QStringLiteral(R"(\b(?:SELECT|INSERT|UPDATE)\b.+\bFROM\b)"),
        QStringLiteral(R"(#(?:[0-9a-f]{3}){1,2}\b|rgba?\(\s*\d+%?\s*,)"),
    };
    for (const QString &pattern : patterns) {
        SCOPED_TRACE(pattern.toStdString());
        const qint64 completeOnly = machineCodeBytes(pattern, library, PCRE2_JIT_COMPLETE);
        ASSERT_GT(completeOnly, 0);
        EXPECT_EQ(machineCodeBytes(pattern, &pcre2_jit_compile_16, everyMode), completeOnly);
        EXPECT_GT(machineCodeBytes(pattern, library, everyMode), 2 * completeOnly);
        // Asked for partial matching alone, the caller gets it.
        EXPECT_EQ(machineCodeBytes(pattern, &pcre2_jit_compile_16, PCRE2_JIT_PARTIAL_SOFT),
            machineCodeBytes(pattern, library, PCRE2_JIT_PARTIAL_SOFT));
    }
}

TEST(RegexMachineCodeTest, PartialMatchesAnswerWithoutTheirMachineCode)
{
    const struct
    {
        const char *pattern;
        const char *subject;
        QRegularExpression::MatchType type;
        bool match;
        bool partial;
    } cases[] = {
        { R"(colou?r:\s*#\d{6})", "colour: #12", QRegularExpression::PartialPreferCompleteMatch, false,
            true },
        { R"(colou?r:\s*#\d{6})", "colour: #123456", QRegularExpression::PartialPreferCompleteMatch, true,
            false },
        { R"(colou?r:\s*#\d{6})", "color: #1234", QRegularExpression::PartialPreferFirstMatch, false, true },
        { R"(colou?r:\s*#\d{6})", "flavour", QRegularExpression::PartialPreferCompleteMatch, false, false },
        { R"(\bnaïve\w*)", "a naï", QRegularExpression::PartialPreferCompleteMatch, false, true },
        { R"(\bnaïve\w*)", "a naïveté", QRegularExpression::NormalMatch, true, false },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(std::string(test.pattern) + " on " + test.subject);
        const QRegularExpression regex(
            QString::fromUtf8(test.pattern), QRegularExpression::UseUnicodePropertiesOption);
        const QRegularExpressionMatch found = regex.match(QString::fromUtf8(test.subject), 0, test.type);
        EXPECT_EQ(found.hasMatch(), test.match);
        EXPECT_EQ(found.hasPartialMatch(), test.partial);
    }
}
