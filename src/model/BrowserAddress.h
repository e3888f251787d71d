#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Where a browser goes for a web address: the host and the path it asks for, read the way
// browsers read an address (the WHATWG URL standard). "https://example。org/x" (an ideographic
// full stop), "HTTPS://EXAMPLE.org/public/../x", "https:\\example.org\x" and
// "https://ex%61mple.org/./x" all lead to example.org's "/x", so whatever compares addresses by
// the place they open reads them through this. Any thread.
struct BrowserAddress
{
    QString scheme; // lower case; "http" for an address written without one
    // ASCII and lower case: a domain name mapped as browsers map names ("ｐａｙｐａｌ．ｃｏｍ" is
    // "paypal.com"; an internationalised one in its "xn--" form; a final dot kept as written), an
    // IPv4 address in dotted decimal (also for an IPv6 address that maps one, "[::ffff:127.0.0.1]",
    // which connects there), or an IPv6 address in brackets, in its shortest form.
    QString host;
    int port = -1; // as written; -1 when none is
    // From its first "/": dot segments resolved, a backslash read as a slash (in the web's
    // schemes), and what a path may not hold (spaces, quotes, letters outside ASCII) percent-
    // encoded as UTF-8. Escapes already written stay as they are.
    QString path;
    std::optional<QString> query; // after "?", encoded the same way
    std::optional<QString> fragment; // after "#"

    // The port a connection goes to: the one written, else the scheme's own; -1 when the scheme
    // has none.
    int effectivePort() const;

    // The address an absolute URL names. A text that starts neither with a scheme of the web
    // ("https:") nor with another followed by a slash is read as an http address
    // ("example.org/x", "localhost:8080"). Tabs and line breaks anywhere, and
    // spaces and control characters at either end, are left out, as a browser does. Nothing when
    // a browser would refuse the address: no host, a host holding a space or another character
    // no name may hold, a number that is no IPv4 address, or a port over 65535.
    static std::optional<BrowserAddress> parse(QStringView text);

    // The text as a browser reads an address from it: spaces and control characters at either end
    // and every tab and line break left out.
    static QString withoutIgnoredCharacters(QStringView text);
};
