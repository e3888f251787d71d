#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

// Turns a copied link into the link the user meant: an empty "#" dropped, the outbound
// redirect links of Facebook, Instagram and Google replaced by their target, and tracking
// parameters removed from the query. Pure functions over constant tables and the bundled list
// "tracking_hosts" (CaptureLists); any thread, the main thread once CaptureLists::loaded() has
// ended.
namespace TrackingCleaner {

// The cleaned link; the input exactly as given when there is nothing to clean or it is no
// URL, even read as written. Everything that stays keeps the exact text it was written with
// (letters outside ASCII too: "https://münchen.de/straße?q=ä&utm_source=x" becomes
// "https://münchen.de/straße?q=ä").
QString cleanURL(const QString &link);

// Whether the query parameter called `name` is tracking on a link whose host is `host`
// (lower case, empty when the link has none): "fbclid", "gclid" and "utm_..." everywhere
// (any case), the service's own parameters on its domain and every host under it.
bool shouldRemove(QStringView name, QStringView host);

// The lines of the tracking-hosts list ("example.com ref src": a domain, then the parameters it
// adds) as the parameter names (lower case) by domain (lower case); a line without a parameter
// is left out.
QHash<QString, QSet<QString>> parametersByHost(const QStringList &lines);

} // namespace TrackingCleaner
