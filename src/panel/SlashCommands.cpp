#include "panel/SlashCommands.h"

namespace SlashCommands {

const QStringList &all()
{
    static const QStringList commands { QStringLiteral("/clear"), QStringLiteral("/emoji") };
    return commands;
}

std::optional<QString> completion(const QString &text)
{
    const QString lowered = text.toLower();
    QStringList matches;
    for (const QString &candidate : all()) {
        if (candidate.startsWith(lowered))
            matches.append(candidate);
    }
    if (matches.size() == 1 && matches.first() != lowered)
        return matches.first();
    return std::nullopt;
}

std::optional<Command> command(const QString &text)
{
    const QString lowered = text.toLower();
    if (lowered == all()[0])
        return Command::clear;
    if (lowered == all()[1])
        return Command::emoji;
    return std::nullopt;
}

} // namespace SlashCommands
