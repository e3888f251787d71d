#pragma once

#include <QString>
#include <QStringView>

#include <optional>

class PublicSuffixList;

// Recognises a copied text that is, as a whole, one web link. Any thread.
namespace LinkDetector {

// The absolute "http"/"https" URL that the whole text is, or nothing. A valid URL with
// either scheme counts as written (with a host). Otherwise a web address without a scheme
// ("example.com/path", "www.example.co.uk") counts when its host has a top-level domain of
// the public-suffix list and a name under its public suffix; it comes back with "http://"
// in front. E-mail addresses, other schemes, sentences, addresses followed by punctuation
// and bare IP numbers are no links. The caller trims the text first.
std::optional<QString> linkForText(QStringView text, const PublicSuffixList &suffixes);
std::optional<QString> linkForText(QStringView text);

} // namespace LinkDetector
