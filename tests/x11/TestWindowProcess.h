#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A small window of our own in a process of its own, standing in for the application the
// user works in: a line edit and a rich-text editor. It writes what they hold to a file
// on every change, so tests see what was typed or pasted into it.
class TestWindowProcess final
{
public:
    enum class Focus { lineEdit, richText };

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

private:
    QJsonObject read() const;

    QProcess m_process;
    QTemporaryDir m_folder;
    quint64 m_windowId = 0;
};
