#pragma once

#include <QSet>
#include <QString>
#include <QStringView>

#include <optional>

// Does a URL lead to an adult website? Answered from the host: its registrable domain
// against the bundled "adult_domains" list, then thirty keywords anywhere in the host.
// Reads no setting; any thread (the main thread once CaptureLists::loaded() has ended).
namespace AdultFilter {

bool isAdultURL(QStringView url);

// The host of a URL, or of a bare "user@host:port/path" text; nothing when there is none.
// A parsed URL's host comes back in its case as written.
std::optional<QString> extractHost(QStringView url);

// The host's last two labels, or three under one of ten two-label public suffixes
// ("co.uk", "com.br", ...); a host of one label unchanged. Empty labels do not count.
QString registrableDomain(QStringView host);

// The domains of a list text: ResourceList's format, entries lower-cased.
QSet<QString> parseDomainList(QStringView text);

// The bundled list (CaptureLists'); empty without the resource.
const QSet<QString> &adultDomains();

} // namespace AdultFilter
