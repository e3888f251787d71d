#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class AppSettings;

// What the URL blacklist's entry row knows and decides, without a widget: the text being typed,
// the message under it, and adding and removing entries of the settings' blacklist. An entry is
// added only when the whole text is one web link (the capture's own link detector decides);
// it is stored without "https://" or "http://" in front and without slashes at the end, never
// twice, and never past 20 entries. Main thread only.
class ExclusionListEditor final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString newExclusionPattern READ newExclusionPattern WRITE setNewExclusionPattern NOTIFY
            newExclusionPatternChanged)
public:
    static constexpr int maximumEntries = 20;
    static QString fullListMessage() { return QStringLiteral("You can add up to 20 URLs."); }
    static QString invalidLinkMessage() { return QStringLiteral("Please add a valid URL."); }

    explicit ExclusionListEditor(AppSettings &settings, QObject *parent = nullptr);

    QString newExclusionPattern() const { return m_newExclusionPattern; }
    void setNewExclusionPattern(const QString &text);
    std::optional<QString> exclusionError() const { return m_exclusionError; }
    // Whether there is anything to add (the text holds more than spaces and tabs).
    bool canAdd() const;

    // Return in the field and the "Add" button.
    void addExclusionPattern();
    // A row's remove button: every entry equal to this one goes.
    void removeExclusionPattern(const QString &entry);
    // Any edit of the field's text.
    void clearExclusionError();

    // Spaces and tabs (and other blank characters, never line breaks) trimmed from both ends.
    static QString trimmedBlanks(const QString &text);
    // The entry stored for a text that is one link: without the scheme "https://" or "http://"
    // (as written, in lower case) and without slashes at the end.
    static QString storedForm(const QString &link);

Q_SIGNALS:
    void newExclusionPatternChanged();
    void exclusionErrorChanged();

private:
    void setExclusionError(const std::optional<QString> &error);

    AppSettings &m_settings;
    QString m_newExclusionPattern;
    std::optional<QString> m_exclusionError;
};
