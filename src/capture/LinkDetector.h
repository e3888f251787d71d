#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

class PublicSuffixList;

// Recognises a copied text that is, as a whole, one web link, and the links among the words
// of any text. Any thread.
namespace LinkDetector {

// The absolute "http"/"https" URL that the whole text is, or nothing. A valid URL with
// either scheme counts as written (with a host). Otherwise a web address without a scheme
// ("example.com/path", "www.example.co.uk") counts when its host has a top-level domain of
// the public-suffix list and a name under its public suffix; it comes back with "http://"
// in front. E-mail addresses, other schemes, sentences, addresses followed by punctuation
// and bare IP numbers are no links. The caller trims the text first.
std::optional<QString> linkForText(QStringView text, const PublicSuffixList &suffixes);
std::optional<QString> linkForText(QStringView text);

// The links written among the words of a text, as they are written there: each word that,
// without the brackets, quotes and punctuation running text puts around an address, is a
// link as linkForText() reads it, or that holds one from its "http://" or "https://" on
// ("see:https://example.org").
QList<QStringView> linksInText(QStringView text, const PublicSuffixList &suffixes);
QList<QStringView> linksInText(QStringView text);

} // namespace LinkDetector
