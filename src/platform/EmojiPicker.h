#pragma once

#include <QStringList>

#include <optional>

// The desktop's emoji picker: IBus's when IBus is installed, else GNOME Characters. Both put the
// chosen emoji on the clipboard. Looked up on the PATH (or in given folders, for tests).
class EmojiPicker final
{
public:
    struct Command
    {
        QString program; // the full path found
        QStringList arguments;
    };

    // searchPaths: folders to look in instead of the PATH.
    explicit EmojiPicker(QStringList searchPaths = {});

    std::optional<Command> find() const;
    // Starts the picker on its own; false when none is installed or it could not start.
    bool open() const;

private:
    QStringList m_searchPaths;
};
