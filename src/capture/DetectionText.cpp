#include "capture/DetectionText.h"

#include <QStringList>
#include <QTextBoundaryFinder>

namespace DetectionText {

namespace {

// The two ends are cut between user-perceived characters: a cut inside a surrogate pair
// would hand the detectors half a character. Only a window around the cut is examined, so a
// long text costs no more than a short one.
qsizetype characterBoundary(const QString &text, qsizetype position, bool backwards)
{
    constexpr qsizetype window = 32;
    const qsizetype from = std::max<qsizetype>(0, position - window);
    const qsizetype to = std::min(text.size(), position + window);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from, int(to - from));
    finder.setPosition(int(position - from));
    if (!finder.isAtBoundary()) {
        if (backwards)
            finder.toPreviousBoundary();
        else
            finder.toNextBoundary();
    }
    qsizetype cut = finder.position() < 0 ? position : from + finder.position();
    // A character longer than the window: at least no surrogate pair is split.
    if (cut > 0 && cut < text.size() && text[cut - 1].isHighSurrogate() && text[cut].isLowSurrogate())
        cut += backwards ? -1 : 1;
    return cut;
}

} // namespace

QString prepareDetectionText(const QString &text)
{
    constexpr qsizetype half = maxLength / 2;
    QString prepared = text.size() > maxLength ? text.first(characterBoundary(text, half, true)) + u'\n'
            + text.sliced(characterBoundary(text, text.size() - half, false))
                                               : text;
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
