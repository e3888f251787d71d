#pragma once

#include "detection/highlight/AttributedText.h"
#include "detection/highlight/HLJS.h"
#include "detection/highlight/HighlightColors.h"
#include "detection/highlight/HighlightEngine.h"
#include "detection/highlight/HighlightLanguage.h"
#include "detection/highlight/HighlightMode.h"
#include "detection/highlight/HighlightResult.h"

#include <QColor>
#include <QFuture>
#include <QString>

#include <memory>

// The highlighting engine: runs highlight.js on a text (through its own HLJS), wraps the
// HTML it returns in a document with the theme's style sheet, and turns that into styled
// text. One engine serves its requests one at a time; separate engines run independently
// and each loads the script once (some 16 MB each), so callers that highlight a lot share
// one engine.
//
// Safe to call from any thread. Results arrive on a thread of the global pool; continue
// with .then(context, ...) to get back to a thread of your own. Failures (HLJSError) arrive
// through the future: catch them with .onFailed.
class Highlight final : public HighlightEngine
{
public:
    // scriptPath: the script to load; empty for the bundle resource "highlight.min.js".
    explicit Highlight(const QString &scriptPath = {});
    ~Highlight() override;

    Highlight(const Highlight &) = delete;
    Highlight &operator=(const Highlight &) = delete;

    QFuture<HighlightResult> request(
        const QString &text, const HighlightMode &mode, const HighlightColors &colors) override;

    // request() reduced to the styled text: automatic detection, a language of ours, or a
    // name as highlight.js knows it.
    QFuture<AttributedText> attributedText(const QString &text, const HighlightColors &colors);
    QFuture<AttributedText> attributedText(
        const QString &text, HighlightLanguage language, const HighlightColors &colors);
    QFuture<AttributedText> attributedText(
        const QString &text, const QString &languageName, const HighlightColors &colors);

    HLJS &bridge() { return *m_hljs; }

    // The steps after the script call, each usable on its own.

    // The result for text from what the script reported, in the given colours.
    static HighlightResult result(
        const QString &text, const HLJSResult &reported, const HighlightColors &colors);
    // The style sheet and the highlighted fragment (trimmed) as one HTML document.
    static QString htmlDocument(const QString &value, const QString &css);
    // The document as styled text, without any font: read by QTextDocument, keeping colours
    // and styles. Of the line break the reader may leave at the end, and only of that, the
    // text is rid.
    static AttributedText attributedTextFromHtml(const QString &html);
    // "Python", "C++", "HTML" (for "xml"), ... with "?" appended below relevance 6;
    // "Unknown" for "undefined".
    static QString languageName(const QString &language, int relevance);
    // "#fff", "fff", "#ffffff" and "#ffffffff" (alpha first) notations; any other length
    // gives an almost transparent colour.
    static QColor backgroundColor(const QString &hex);

private:
    std::unique_ptr<HLJS> m_hljs;
};
