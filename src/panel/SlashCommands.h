#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The search field doubles as a small command line: a text starting with "/" is a command,
// completed by Tab and run by Return.
namespace SlashCommands {

enum class Command { clear, emoji };

// "/clear", "/emoji", in this order.
const QStringList &all();

// The one command the text (in any letter case) begins, when it is not typed out already.
std::optional<QString> completion(const QString &text);

// The command the whole text names, in any letter case; nothing for anything else.
std::optional<Command> command(const QString &text);

} // namespace SlashCommands
