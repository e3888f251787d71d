#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

class PublicSuffixList;

// Recognises a copied text that is, as a whole, one web link, and the links among the words
// of any text. Any thread; the forms without a list ask CaptureLists for the public-suffix list,
// which the main thread does only once CaptureLists::loaded() has ended.
namespace LinkDetector {

// The absolute "http"/"https" link that the whole text is, or nothing. A valid URL with
// either scheme counts as written (with a host). Otherwise a web address without a scheme
// ("example.com/path", "www.example.co.uk") counts when its host has a top-level domain of
// the public-suffix list and a name under its public suffix, and so does an address written
// as a browser takes it: with letters outside ASCII ("https://münchen.de/straße"), a name it
// maps to one (full-width letters, digits and full stops, "ｐａｙｐａｌ．ｃｏｍ"; a soft hyphen
// in it), a backslash for a slash. Sentences that end in an ideographic full stop before a
// word that is a top-level domain ("おはよう。みんな") need a scheme. The link comes
// back as the text has it, only with "http://" in front when it had no scheme and the scheme in
// lower case: what the user copied is what is kept and pasted. E-mail addresses, other schemes,
// sentences, addresses followed by punctuation and bare IP numbers are no links. The caller
// trims the text first.
std::optional<QString> linkForText(QStringView text, const PublicSuffixList &suffixes);
std::optional<QString> linkForText(QStringView text);

// A link as it goes over the wire and into comparisons with lists of hosts: a valid URL, its
// host in ASCII ("xn--mnchen-3ya.de"), a backslash in its path a slash, and what a URL may not
// hold percent-encoded as UTF-8 (escapes already written kept). Nothing for a text that is no
// link. A valid http or https URL comes back as it is.
std::optional<QString> encodedLink(QStringView link);

// The links written among the words of a text, as they are written there: each word that,
// without the brackets, quotes and punctuation running text puts around an address, is a
// link as linkForText() reads it, or that holds one from its "http://" or "https://" on
// ("see:https://example.org").
QList<QStringView> linksInText(QStringView text, const PublicSuffixList &suffixes);
QList<QStringView> linksInText(QStringView text);

// Whether a host of one word (lower case, without a final dot: "intranet") is one the caller
// looks for.
using OneWordHostFilter = std::function<bool(QStringView host)>;

// The addresses of the schemes that name a host (http, https, ws, wss, ftp, in any letter case)
// written among the words of a text, read as a browser reads a URL: its scheme's colon may be
// followed by any number of slashes and backslashes, or none ("https:example.org",
// "wss:\\example.org"). Each is the word from its scheme on (not one of a longer name: "news:" is
// no "ws:"), without the quotes, angle brackets and punctuation around it, and only when a host
// follows. Without the two slashes a host of one word is more often running text ("INFO:http:
// Session expired"): such an address counts only when `lookedFor` takes its host and more than
// the word follows the colon ("https:intranet/x", "http:/localhost", "http:localhost:8080").
QList<QStringView> webAddressesInText(QStringView text, const OneWordHostFilter &lookedFor = {});

// The address of such a scheme the whole text is when a browser reads it, which leaves out the
// spaces and control characters at the ends and every tab and line break
// ("https://pay<TAB>pal.com/" opens paypal.com); nothing for a text that holds none of them or
// that holds other white space.
std::optional<QString> webAddressAcrossLineBreaks(QStringView text, const OneWordHostFilter &lookedFor = {});

} // namespace LinkDetector
