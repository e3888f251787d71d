#pragma once

// Copies made by other processes, as the user's other applications make them: xclip for
// one flavour, a helper process (this test program run as ClipboardOwner.Serve) for
// several flavours at once or for an owner that stops answering.

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// Starts this test program as the helper process `helperTest` (a test that serves the
// clipboard when `variable` names its instructions file) and returns it once it printed `ready`
// ("owning": it owns the clipboard); nullptr when it did not within ten seconds or ended first.
// What it printed up to then goes to `output`.
std::unique_ptr<QProcess> startClipboardOwner(const QString &helperTest, const char *variable,
    const QString &file, QByteArray *output = nullptr, const QByteArray &ready = "owning\n");

class ExternalClipboard final
{
public:
    ExternalClipboard();
    ~ExternalClipboard();
    ExternalClipboard(const ExternalClipboard &) = delete;
    ExternalClipboard &operator=(const ExternalClipboard &) = delete;

    // Returns once xclip owns the clipboard (it serves it from the background until
    // another owner takes over, or until it has served `loops` requests for the contents and
    // quits). False when xclip failed.
    bool copyWithXclip(const QByteArray &data, const QString &type = QString(), int loops = 0);
    // Starts xclip with the text in the foreground, as a program of its own that the test ends:
    // it takes the clipboard a moment after it starts and serves it until another owner takes
    // over (it quits then) or the process is killed. nullptr when it did not start.
    static std::unique_ptr<QProcess> startXclip(const QByteArray &text);
    // Returns once the helper owns the clipboard with every flavour. With `hang` it stops
    // answering once it owns the clipboard.
    bool copyFlavours(const QMap<QString, QByteArray> &flavours, bool hang = false);
    // The helpers quit, as a program that made a copy does: the clipboard loses its owner.
    void endOwners();
    // What another program reads of the clipboard in one form (xclip), this process's event loop
    // turning meanwhile so that it may be the owner; empty when nobody gave it.
    static QByteArray read(const QString &target);

    // The environment variable through which the helper finds its flavours.
    static const char *ownerVariable();

private:
    QTemporaryDir m_folder;
    std::vector<std::unique_ptr<QProcess>> m_owners;
};
