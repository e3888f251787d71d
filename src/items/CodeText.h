#pragma once

#include "detection/highlight/HLJSError.h"
#include "detection/highlight/Highlight.h"
#include "detection/highlight/HighlightMode.h"
#include "detection/highlight/HighlightResult.h"
#include "items/CodeTextColors.h"
#include "items/CodeTextStyle.h"

#include <QFutureWatcher>
#include <QTextDocument>
#include <QWidget>

#include <memory>
#include <optional>
#include <variant>

// What one highlight of a code view came to.
using HighlightOutcome = std::variant<HighlightResult, HLJSError>;

// A piece of code shown highlighted: first as plain text, then, once the engine has
// answered, styled in the colours for the view's appearance (dark when the palette's window
// colour is dark). It highlights when it is first shown and again when its text, mode,
// colours, engine or appearance change; a result that arrives after a newer request has been
// made is dropped, so the screen always shows the latest choice. Failures never reach the
// screen: the view keeps what it showed and emits highlightFailed.
//
// The styled text carries no font: the view draws it in its own font, a monospaced one unless
// set otherwise.
class CodeText final : public QWidget
{
    Q_OBJECT
public:
    explicit CodeText(const QString &text = {}, QWidget *parent = nullptr);
    ~CodeText() override;

    QString text() const { return m_text; }
    void setText(const QString &text);

    HighlightMode mode() const { return m_mode; }
    void setMode(const HighlightMode &mode);
    void setLanguage(HighlightLanguage language) { setMode(HighlightMode::language(language)); }

    CodeTextStyle style() const { return m_style; }
    void setStyle(const CodeTextStyle &style);

    CodeTextColors colors() const { return m_colors; }
    void setColors(const CodeTextColors &colors);
    void setTheme(HighlightTheme theme) { setColors(CodeTextColors::forTheme(theme)); }

    // The engine to highlight with. Views that share one engine share its loaded script and
    // are served one at a time; without one set, the view makes its own on first use.
    std::shared_ptr<HighlightEngine> highlight() const { return m_highlight; }
    void setHighlight(std::shared_ptr<HighlightEngine> highlight);

    // The last successful highlight of the current text, if any.
    const std::optional<HighlightResult> &highlightResult() const { return m_result; }
    // What the view shows: the highlighted text, or the plain text before there is one.
    AttributedText displayedText() const;
    bool isDark() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // In this order: highlightFinished, then highlightSucceeded or highlightFailed.
    void highlightFinished(const HighlightOutcome &outcome);
    void highlightSucceeded(const HighlightResult &result);
    void highlightFailed(const HLJSError &error);

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void inputsChanged();
    void startHighlight();
    void cancelHighlight();
    void requestFinished(QFutureWatcher<HighlightResult> *watcher);
    void rebuildDocument();
    qreal verticalPadding() const;
    qreal horizontalPadding() const;

    QString m_text;
    HighlightMode m_mode;
    CodeTextStyle m_style;
    CodeTextColors m_colors;
    std::shared_ptr<HighlightEngine> m_highlight;
    std::optional<HighlightResult> m_result;

    bool m_dark = false;
    bool m_needsHighlight = true;
    // Follows the latest request only: the watcher of an older one is cut off when a newer
    // one starts, so its outcome, however late, is never applied.
    QFutureWatcher<HighlightResult> *m_watcher = nullptr;
    QTextDocument m_document;
};
