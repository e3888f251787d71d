#include "panel/SlashCommands.h"

#include <gtest/gtest.h>

TEST(SlashCommandsTest, CompletionAndCommand)
{
    using SlashCommands::Command;
    const struct
    {
        const char *text;
        std::optional<QString> completion;
        std::optional<Command> command;
    } cases[] = {
        { "/", std::nullopt, std::nullopt }, // matches both: nothing to complete
        { "/e", QStringLiteral("/emoji"), std::nullopt },
        { "/E", QStringLiteral("/emoji"), std::nullopt },
        { "/cl", QStringLiteral("/clear"), std::nullopt },
        { "/clear", std::nullopt, Command::clear },
        { "/CLEAR", std::nullopt, Command::clear },
        { "/Emoji", std::nullopt, Command::emoji },
        { "/emojis", std::nullopt, std::nullopt },
        { "/word", std::nullopt, std::nullopt },
        { "clear", std::nullopt, std::nullopt },
    };
    for (const auto &c : cases) {
        EXPECT_EQ(SlashCommands::completion(QString::fromUtf8(c.text)), c.completion) << c.text;
        EXPECT_EQ(SlashCommands::command(QString::fromUtf8(c.text)), c.command) << c.text;
    }
}
