#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// A URL reference split into its parts exactly as written: nothing is decoded, lower-cased
// or re-encoded, so toString() gives back the text it was parsed from. Strict parsing refuses
// characters a URL may not contain (spaces, non-ASCII, quotes, "<", ">", "{", "}", "|",
// "\", "^", "`") and broken percent escapes; reading a link as written (as a user copies it
// from a page: "https://münchen.de/straße?q=ä") takes every character but white space and
// controls as it is. Either way a second "#" or a port that is not a number make the text no
// URL at all.
struct UrlComponents
{
    QString scheme; // empty for a reference without one
    std::optional<QString> userInfo; // before "@" in the authority
    std::optional<QString> host; // present when the text has an authority ("//...")
    std::optional<QString> port; // the digits after ":"
    QString path;
    std::optional<QString> query; // after "?", without it
    std::optional<QString> fragment; // after "#", without it

    enum class Reading { strict, asWritten };
    static std::optional<UrlComponents> parse(QStringView text, Reading reading = Reading::strict);
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
