#pragma once

#include "capture/PublicSuffixList.h"

#include <QFuture>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// The lists a capture consults, read from the resources together, once, on the shared thread
// pool: never on the main thread, and never under a function-local static's guard, where a thread
// that asks waits for the reading whatever it holds up. The capture goes on only once they are
// read, so no copy is checked against a list not read yet. A list that is missing or refused is
// empty, as the reading said in the log.
struct CaptureLists final
{
    QStringList passwordManagerApplications; // lower case; an entry ending in "*" is a prefix
    QStringList passwordVaultAddresses; // lower case
    QHash<QString, QSet<QString>> trackingParameters; // host to the parameters it adds, lower case
    QStringList colorSourceApplications; // lower case
    QSet<QString> adultDomains; // lower case
    PublicSuffixList publicSuffixes;

    // Starts the reading, the first time it is called; ends when every list is read. Any thread.
    static QFuture<void> loaded();
    // The lists, waiting for their reading when it has not ended: the main thread asks only
    // once loaded() has ended.
    static const CaptureLists &shared();
    // Every list read now, on the calling thread.
    static CaptureLists read();
};
