#pragma once

#include <QByteArrayView>

// Calls visit with each line of the bytes, split at "\n" (an empty text is one empty line),
// without making a list of them: a list of a million lines stays one block of bytes.
template <typename Visit> void forEachByteLine(QByteArrayView bytes, Visit visit)
{
    for (qsizetype start = 0;;) {
        const qsizetype end = bytes.indexOf('\n', start);
        visit(bytes.sliced(start, (end < 0 ? bytes.size() : end) - start));
        if (end < 0)
            return;
        start = end + 1;
    }
}
