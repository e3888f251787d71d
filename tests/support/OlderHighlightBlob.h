#pragma once

#include <QByteArray>

// A blob of the binary form highlighted lines were kept in before they were kept as JSON:
// its header ("TWHL", version 1, one entry, the payload's size and checksum) and the line
// "preview_0" with the plain text "old". Stores written then still hold blobs like it.
inline QByteArray olderHighlightBlob()
{
    return QByteArray::fromHex(
        "5457484c01000000010000001d0000000b2652b87ccd6c23190000000900707265766965775f300300"
        "00006f006c00640000000000");
}
