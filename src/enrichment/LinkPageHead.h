#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// What the head of a web page says about the page: the Open Graph and Twitter card tags and
// the description tag, and what a browser would show for the page without them (its <title>
// and its icon). Values are read between a pair of the same quote, so "Don't panic" in double
// quotes stays whole.
struct LinkPageHead
{
    // og:title, entities decoded.
    std::optional<QString> title;
    // og:description, else the description tag, entities decoded.
    std::optional<QString> description;
    // og:image, else twitter:image, resolved against the page (any scheme; the caller decides
    // what it fetches).
    std::optional<QUrl> imageURL;
    // The <title> element's text, entities decoded and white space folded.
    std::optional<QString> documentTitle;
    // An apple-touch-icon, else an icon link, resolved against the page.
    std::optional<QUrl> iconURL;

    static LinkPageHead parse(const QString &html, const QUrl &pageURL);
};

// The picture the page's og:image or twitter:image tag names: the first tag that is found
// decides, its value with "&amp;" read as "&". A value with a scheme is taken as it stands,
// anything else is resolved against the page.
std::optional<QUrl> resolveImageURL(const QString &html, const QUrl &pageURL);

// Replaces numeric character references (decimal and hex) that name a Unicode scalar value,
// then sixteen common named entities; anything else stays as written.
QString decodeHTMLEntities(const QString &text);
