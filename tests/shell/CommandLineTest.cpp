#include "shell/CommandLine.h"

#include "model/ModelContainer.h"
#include "platform/Bundle.h"
#include "platform/LaunchAtLogin.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLineTest, HelpAndVersionAnswerWithoutStartingAndOtherArgumentsStart)
{
    using enum CommandLine::Request;
    const struct
    {
        QStringList arguments;
        CommandLine::Request expected;
    } cases[] = {
        { {}, start },
        { { "--help" }, help },
        { { "-h" }, help },
        { { "--version" }, version },
        { { "-v" }, version },
        { { "--version", "--help" }, version },
        { { "-platform", "xcb", "--help" }, help },
        { { "-display", ":1" }, start },
        { { "help" }, start },
        { { "--helpful" }, start },
    };
    for (const auto &c : cases)
        EXPECT_EQ(CommandLine::request(c.arguments), c.expected) << c.arguments.join(u' ').toStdString();
}

TEST(CommandLineTest, TheHelpSaysWhatTheAppIsAndWhereItsFilesAre)
{
    const QString help = CommandLine::answer(CommandLine::Request::help);
    EXPECT_TRUE(help.startsWith(QStringLiteral("Usage: tindlewick [--help | --version]\n")));
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
