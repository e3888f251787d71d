#pragma once

#include <QException>
#include <QString>

// Why the highlighting script could not answer. Thrown through the futures of HLJS and
// Highlight (catch it with QFuture::onFailed). A failure inside the script itself, such as
// an unknown language name, is no error: it gives an undefined result.
class HLJSError final : public QException
{
public:
    enum class Code {
        contextIsNil, // no JavaScript engine could be set up
        fileNotFound, // the resource "highlight.min.js" is missing
        fileUnreadable, // the resource exists but could not be read
        hljsNotFound, // the script ran but left no global "hljs"
        valueNotFound, // the script has no function to call, or gave no result object
    };

    explicit HLJSError(Code code, const QString &detail = {})
        : m_code(code)
        , m_detail(detail)
    { }

    Code code() const { return m_code; }
    // More about the cause where there is something to say (a file error, a script error).
    QString detail() const { return m_detail; }
    // "HLJSError.fileNotFound", with the detail after a colon when there is one.
    QString message() const;

    const char *what() const noexcept override { return "HLJSError"; }
    void raise() const override { throw *this; }
    HLJSError *clone() const override { return new HLJSError(*this); }

    friend bool operator==(const HLJSError &a, const HLJSError &b) { return a.m_code == b.m_code; }

private:
    Code m_code;
    QString m_detail;
};
