#include "capture/DetectionText.h"

#include <QStringList>

namespace DetectionText {

QString prepareDetectionText(const QString &text)
{
    constexpr qsizetype half = maxLength / 2;
    QString prepared = text.size() > maxLength ? text.first(half) + u'\n' + text.last(half) : text;
    qsizetype end = prepared.size();
    while (end > 0
        && (prepared[end - 1] == u' ' || prepared[end - 1] == u'\t' || prepared[end - 1] == u'\n'
            || prepared[end - 1] == u'\r'))
        --end;
    prepared.truncate(end);

    QStringList lines = prepared.split(u'\n');
    for (QString &line : lines) {
        qsizetype spaces = 0;
        while (spaces < line.size() && line[spaces] == u' ')
            ++spaces;
        if (spaces % 2 == 1)
            line.remove(0, 1);
    }
    return lines.join(u'\n');
}

double networkThreshold(qsizetype characters)
{
    if (characters <= 100)
        return 0.10;
    return characters <= 300 ? 0.15 : 0.30;
}

double detectorFloor(qsizetype characters)
{
    if (characters <= 100)
        return 0.03;
    return characters <= 300 ? 0.05 : 0.10;
}

} // namespace DetectionText
