#pragma once

#include <QObject>
#include <QString>

// The forms in which another program asks this app for the clipboard contents it holds: how the
// app learns whether the window a paste keystroke went to took them. Only the requests of one
// program are reported, the one that owns the window followed (a window of its own may ask on
// its behalf). The X11 implementation (X11ClipboardRequests) sees the requests that reach the
// app's CLIPBOARD and PRIMARY selections; FakeClipboardRequests stands in for them in tests.
// Main thread only.
class ClipboardRequests : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // From now on, reports the requests of the program that owns this window; 0: of none.
    virtual void follow(quint64 window) = 0;

Q_SIGNALS:
    // The program followed asked for the contents in this form: a MIME type ("image/png") or a
    // form of X's own ("UTF8_STRING", "TARGETS").
    void requested(const QString &form);
};

class FakeClipboardRequests final : public ClipboardRequests
{
    Q_OBJECT
public:
    using ClipboardRequests::ClipboardRequests;

    void follow(quint64 window) override { followed = window; }
    // The program followed asks for a form; nothing is reported while none is followed.
    void request(const QString &form)
    {
        if (followed != 0)
            Q_EMIT requested(form);
    }

    quint64 followed = 0;
};
