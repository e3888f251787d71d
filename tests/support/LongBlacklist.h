#pragma once

#include <QString>
#include <QStringList>

// A URL blacklist as long as asked, as a user might have written into the settings file: mostly
// sites, every third with a path under it, every tenth a bare word. No entry matches a link to
// example.com's "www" or "docs", so every entry has its chance to with those.
inline QStringList longBlacklist(int count)
{
    QStringList entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        if (i % 10 == 0)
            entries.append(QStringLiteral("blockedword%1").arg(i));
        else if (i % 3 == 0)
            entries.append(QStringLiteral("site%1.example.org/private/%1").arg(i));
        else
            entries.append(QStringLiteral("site%1.example.com").arg(i));
    }
    return entries;
}
