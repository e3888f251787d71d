#include "settings/ExclusionListEditor.h"

#include "capture/LinkDetector.h"
#include "model/AppSettings.h"

namespace {

bool isBlank(QChar character)
{
    return character == u'\t' || character.category() == QChar::Separator_Space;
}

} // namespace

ExclusionListEditor::ExclusionListEditor(AppSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{ }

void ExclusionListEditor::setNewExclusionPattern(const QString &text)
{
    if (text == m_newExclusionPattern)
        return;
    m_newExclusionPattern = text;
    Q_EMIT newExclusionPatternChanged();
}

void ExclusionListEditor::setExclusionError(const std::optional<QString> &error)
{
    if (error == m_exclusionError)
        return;
    m_exclusionError = error;
    Q_EMIT exclusionErrorChanged();
}

bool ExclusionListEditor::canAdd() const
{
    return !trimmedBlanks(m_newExclusionPattern).isEmpty();
}

QString ExclusionListEditor::trimmedBlanks(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

QString ExclusionListEditor::storedForm(const QString &link)
{
    QString entry = link;
    if (entry.startsWith(QLatin1String("https://")))
        entry.remove(0, 8);
    else if (entry.startsWith(QLatin1String("http://")))
        entry.remove(0, 7);
    while (entry.endsWith(QLatin1Char('/')))
        entry.chop(1);
    return entry;
}

void ExclusionListEditor::addExclusionPattern()
{
    const QString text = trimmedBlanks(m_newExclusionPattern);
    if (text.isEmpty())
        return;
    if (m_settings.excludedPatternList().size() >= maximumEntries) {
        setExclusionError(fullListMessage());
        return;
    }
    if (!LinkDetector::linkForText(text)) {
        setExclusionError(invalidLinkMessage());
        return;
    }
    const QString entry = storedForm(text);
    QStringList entries = m_settings.excludedPatternList();
    if (!entries.contains(entry)) {
        entries.append(entry);
        m_settings.setExcludedURLPatterns(entries.join(QLatin1Char('\n')));
    }
    setExclusionError(std::nullopt);
    setNewExclusionPattern(QString());
}

void ExclusionListEditor::removeExclusionPattern(const QString &entry)
{
    QStringList entries = m_settings.excludedPatternList();
    entries.removeAll(entry);
    m_settings.setExcludedURLPatterns(entries.join(QLatin1Char('\n')));
}

void ExclusionListEditor::clearExclusionError()
{
    setExclusionError(std::nullopt);
}
