#pragma once

// The everyday texts of tests/data/everyday-text: one file a kind, whose texts stand between
// lines of "----8<----" (the lines before the first describe the kind). Header-only, for the
// tests and the benchmarks alike.

#include <QDir>
#include <QFile>
#include <QStringList>

#include <map>

namespace EverydayTexts {

inline QStringList textsOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString separator = QStringLiteral("----8<----");
    QStringList texts;
    QStringList current;
    bool inside = false;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line == separator) {
            if (inside)
                texts.append(current.join(u'\n').trimmed());
            current.clear();
            inside = true;
        } else if (inside) {
            current.append(line);
        }
    }
    if (inside)
        texts.append(current.join(u'\n').trimmed());
    texts.removeAll(QString());
    return texts;
}

// Every kind of the folder (a file's name without ".txt") with its texts, by name.
inline std::map<QString, QStringList> byKind(const QString &folder)
{
    std::map<QString, QStringList> kinds;
    const QDir dir(folder);
    for (const QString &file : dir.entryList({ QStringLiteral("*.txt") }, QDir::Files, QDir::Name))
        kinds[file.chopped(4)] = textsOf(dir.filePath(file));
    return kinds;
}

} // namespace EverydayTexts
