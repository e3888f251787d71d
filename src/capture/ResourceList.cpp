#include "capture/ResourceList.h"

#include "common/Diagnostics.h"
#include "platform/Bundle.h"
#include "platform/ResourceFile.h"

namespace ResourceList {

QStringList parse(QStringView text)
{
    QStringList entries;
    for (QStringView line : text.tokenize(u'\n', Qt::SkipEmptyParts)) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        qsizetype start = 0;
        qsizetype end = line.size();
        while (start < end && (line[start] == u' ' || line[start] == u'\t'))
            ++start;
        while (end > start && (line[end - 1] == u' ' || line[end - 1] == u'\t'))
            --end;
        const QStringView entry = line.sliced(start, end - start);
        if (!entry.isEmpty() && !entry.startsWith(u'#'))
            entries.append(entry.toString());
    }
    return entries;
}

QStringList load(const QString &name)
{
    const QString path = Bundle::pathForResource(name, QStringLiteral("txt"));
    QString error;
    const std::optional<QByteArray> bytes
        = path.isEmpty() ? std::nullopt : ResourceFile::read(path, maxListBytes, &error);
    if (!bytes) {
        const QString where
            = path.isEmpty() ? Bundle::searchedFolders() : path + QStringLiteral(": ") + error;
        printDiagnostic(
            QStringLiteral("[ResourceList] Could not read the list \"%1.txt\" (%2)").arg(name, where));
        return {};
    }
    return parse(QString::fromUtf8(*bytes));
}

QStringList loadLowerCased(const QString &name)
{
    QStringList entries = load(name);
    for (QString &entry : entries)
        entry = entry.toLower();
    return entries;
}

} // namespace ResourceList
