#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// A URL reference split into its parts exactly as written: nothing is decoded, lower-cased
// or re-encoded, so toString() gives back the text it was parsed from. Parsing is strict:
// characters a URL may not contain (spaces, non-ASCII, quotes, "<", ">", "{", "}", "|",
// "\", "^", "`"), broken percent escapes, a second "#" or a port that is not a number
// make the text no URL at all.
struct UrlComponents
{
    QString scheme; // empty for a reference without one
    std::optional<QString> userInfo; // before "@" in the authority
    std::optional<QString> host; // present when the text has an authority ("//...")
    std::optional<QString> port; // the digits after ":"
    QString path;
    std::optional<QString> query; // after "?", without it
    std::optional<QString> fragment; // after "#", without it

    static std::optional<UrlComponents> parse(QStringView text);
    QString toString() const;

    // One "name=value" piece of the query, decoded, with the text it was written as.
    struct QueryItem
    {
        QString name;
        std::optional<QString> value; // nothing without "=" or when it does not decode
        QString encoded;
    };
    // The query's items in order (a "&&" gives an item with an empty name); empty when
    // there is no query or it is empty.
    QList<QueryItem> queryItems() const;
};
