#include "shell/CommandLine.h"

#include "model/ModelContainer.h"
#include "platform/Bundle.h"
#include "platform/LaunchAtLogin.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

namespace {

// Qt's own options are gone by the time parse() reads the arguments; what is left must be ours.
TEST(CommandLineTest, EachArgumentIsUnderstoodOrIsAUsageError)
{
    using enum CommandLine::Request;
    const struct
    {
        QStringList arguments;
        CommandLine::Request immediate;
        CommandLine::Request parsed;
        QString offending = {};
    } cases[] = {
        { {}, start, start },
        { { "--help" }, help, help },
        { { "-h" }, help, help },
        { { "--version" }, version, version },
        { { "-v" }, version, version },
        { { "--version", "--help" }, version, version },
        { { "--bogus", "--help" }, help, help },
        { { "-platform", "xcb", "--help" }, help, help },
        { { "--settings" }, start, openSettings },
        { { "--settings", "--settings" }, start, openSettings },
        { { "--settings", "--help" }, help, help },
        { { "--bogus" }, start, usageError, "--bogus" },
        { { "--settings", "--bogus" }, start, usageError, "--bogus" },
        { { "-settings" }, start, usageError, "-settings" },
        { { "--Settings" }, start, usageError, "--Settings" },
        { { "--settings=yes" }, start, usageError, "--settings=yes" },
        { { "--helpful" }, start, usageError, "--helpful" },
        { { "help" }, start, usageError, "help" },
        { { "-" }, start, usageError, "-" },
        { { "" }, start, usageError, "" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        EXPECT_EQ(CommandLine::immediateRequest(c.arguments), c.immediate);
        const CommandLine::Parsed parsed = CommandLine::parse(c.arguments);
        EXPECT_EQ(parsed.request, c.parsed);
        EXPECT_EQ(parsed.offending, c.offending);
    }
}

TEST(CommandLineTest, AUsageErrorNamesTheArgumentAndGivesTheUsage)
{
    const struct
    {
        QString argument;
        QString firstLine;
    } cases[] = {
        { "--bogus", "tindlewick: unknown option '--bogus'" },
        { "-x", "tindlewick: unknown option '-x'" },
        { "-settings", "tindlewick: unknown option '-settings'" },
        { "stray", "tindlewick: unexpected argument 'stray'" },
        { "x-y", "tindlewick: unexpected argument 'x-y'" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        const QStringList lines = CommandLine::usageError(CommandLine::parse({ c.argument })).split(u'\n');
        EXPECT_EQ(lines,
            (QStringList { c.firstLine, "Usage: tindlewick [--settings | --help | --version]",
                "Try 'tindlewick --help' for more information.", "" }));
    }
}

TEST(CommandLineTest, TheHelpSaysWhatTheAppIsAndWhereItsFilesAre)
{
    const QString help = CommandLine::answer(CommandLine::Request::help);
    EXPECT_TRUE(help.startsWith(QStringLiteral("Usage: tindlewick [--settings | --help | --version]\n")));
    EXPECT_TRUE(help.contains(QStringLiteral("\n  --settings ")));
    EXPECT_TRUE(help.contains(QStringLiteral("clipboard"))) << "says what the app is";
    for (const QString &path : { defaultStorePath(), UserDefaults::standardFilePath(),
             LaunchAtLogin::autostartEntryPath(), Bundle::resourceDirectory() })
        EXPECT_TRUE(help.contains(QStringLiteral("\n  ") + path + QStringLiteral("\n")))
            << path.toStdString();
    EXPECT_TRUE(help.contains(Bundle::resourceDirectories().join(QStringLiteral(", then "))));
    EXPECT_EQ(CommandLine::answer(CommandLine::Request::version),
        QStringLiteral("Tindlewick " TINDLEWICK_VERSION "\n"));
    EXPECT_EQ(CommandLine::answer(CommandLine::Request::start), QString());
}

} // namespace
