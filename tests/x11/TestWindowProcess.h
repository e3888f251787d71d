#pragma once

#include <QByteArray>
#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

// A small window of our own in a process of its own, standing in for the application the
// user works in: a line edit, a rich-text editor and a picture box that shows what Control+V
// pastes. It writes what they hold to a file on every change, so tests see what was typed or
// pasted into it.
class TestWindowProcess final
{
public:
    enum class Focus { lineEdit, richText, picture };

    // What the picture box got from the clipboard at each Control+V, the last one kept.
    struct PastedPicture
    {
        int pastes = 0;
        QSize size;
        // pixelDigest() of the picture; empty when the clipboard held no picture.
        QByteArray digest;
    };
    // The pixels of a picture, independent of how it was encoded.
    static QByteArray pixelDigest(const QImage &image);

    TestWindowProcess() = default;
    ~TestWindowProcess();

    // Starts the window and waits until it has shown and reported its window id.
    bool start(Focus focus = Focus::lineEdit);
    void stop();

    qint64 processId() const { return m_process.processId(); }
    quint64 windowId() const { return m_windowId; }
    // The line edit's text, and the rich editor's HTML and plain text.
    QString plainText() const;
    QString richHtml() const;
    QString richPlainText() const;
    PastedPicture pastedPicture() const;

private:
    QJsonObject read() const;

    QProcess m_process;
    QTemporaryDir m_folder;
    quint64 m_windowId = 0;
};
