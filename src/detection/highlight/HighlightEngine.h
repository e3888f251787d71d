#pragma once

#include "detection/highlight/HighlightColors.h"
#include "detection/highlight/HighlightMode.h"
#include "detection/highlight/HighlightResult.h"

#include <QFuture>
#include <QString>

// What highlights a text for a view: the app's engine (Highlight), which runs highlight.js,
// or a stand-in whose answers a test times.
class HighlightEngine
{
public:
    virtual ~HighlightEngine() = default;

    // The text highlighted in the mode, in the colours; failures (HLJSError) arrive through
    // the future. Safe to call from any thread.
    virtual QFuture<HighlightResult> request(
        const QString &text, const HighlightMode &mode, const HighlightColors &colors)
        = 0;
};
