#include "platform/EmojiPicker.h"

#include <QProcess>
#include <QStandardPaths>

EmojiPicker::EmojiPicker(QStringList searchPaths)
    : m_searchPaths(std::move(searchPaths))
{ }

std::optional<EmojiPicker::Command> EmojiPicker::find() const
{
    const struct
    {
        const char *name;
        QStringList arguments;
    } pickers[] = {
        { "ibus", { QStringLiteral("emoji") } },
        { "gnome-characters", {} },
    };
    for (const auto &picker : pickers) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(picker.name), m_searchPaths);
        if (!path.isEmpty())
            return Command { path, picker.arguments };
    }
    return std::nullopt;
}

bool EmojiPicker::open() const
{
    const std::optional<Command> command = find();
    return command && QProcess::startDetached(command->program, command->arguments);
}
