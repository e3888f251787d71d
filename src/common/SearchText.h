#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A text looked through for pieces over and over: an item's text, lower-cased, at every
// keystroke of the panel's search. Where every character of it has a Latin-1 byte, as in most
// texts copied in western languages, it is kept one byte a character: half the memory of the
// same text in UTF-16 and half the bytes to look through. Any other text is kept as it is.
class SearchText final
{
public:
    SearchText() = default;
    explicit SearchText(const QString &text);

    // What is looked for, ready for either kind of text.
    class Query final
    {
    public:
        explicit Query(const QString &text);

    private:
        friend class SearchText;
        QString m_text;
        // Its Latin-1 bytes, when every character has one.
        std::optional<QByteArray> m_latin1;
    };

    bool contains(const Query &query) const;
    QString toString() const;
    // Whether it is held one byte a character.
    bool isLatin1() const { return m_isLatin1; }

private:
    QByteArray m_latin1;
    QString m_text;
    bool m_isLatin1 = false;
};
