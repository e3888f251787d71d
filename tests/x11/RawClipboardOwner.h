#pragma once

// A clipboard owner written against the X protocol itself, in a process of its own (this test
// program run as RawClipboardOwner.Serve), for owners no toolkit would make: one that answers
// a target late or not at all, offers text only as Latin-1 STRING, lists a hundred thousand
// targets or names tens of kilobytes long, or takes the clipboard naming a time of the test's
// choosing. It answers TIMESTAMP with the time it took the clipboard.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

class RawClipboardOwner final
{
public:
    struct Target
    {
        QString name;
        QByteArray data;
        // The type the data is given as; empty: the target itself.
        QString type;
        // How long the owner takes before it answers.
        int delayMs = 0;
        // Answers that it cannot convert to this target.
        bool refuse = false;
    };

    RawClipboardOwner() = default;
    ~RawClipboardOwner();
    RawClipboardOwner(const RawClipboardOwner &) = delete;
    RawClipboardOwner &operator=(const RawClipboardOwner &) = delete;

    // Returns once the helper owns the clipboard with these targets and, listed after them,
    // floodTargets more with made-up names, never listed before by any owner; with
    // floodNameBytes each of those names is that long.
    bool copy(const QList<Target> &targets, int floodTargets = 0, int floodNameBytes = 0);
    // As copy(), the helper naming `time` as the time it takes the clipboard (copy() names the
    // server's time of the moment): false when the server refused it, as it does a time before
    // the clipboard's last change.
    bool copyAt(quint32 time, const QList<Target> &targets);
    // Returns once the helper has cleared the clipboard (made None its owner), as `xsel --clear`
    // does; it runs on, owning nothing, until stopped.
    bool clear();
    // Returns once the helper is the clipboard manager (owns CLIPBOARD_MANAGER): asked to save
    // the clipboard, it fetches every target the owner lists, one by one, and answers; when the
    // owner is gone, it serves what it saved. It prints "fetched <target> <bytes>" for each and
    // "saved in <ms> ms" at the end of a save, then "serving". It takes msPerForm over each
    // form it saved, as a manager that writes its history does.
    bool manageClipboard(int msPerForm = 0);
    // The targets asked for so far, in order.
    QStringList requests();
    // Every line the helper printed so far.
    QStringList lines();
    // Waits until the owner has answered a request for the target: the reader has it then.
    bool waitUntilAsked(const QString &target, std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Waits until the owner was asked something and then nothing for `quiet`.
    bool waitUntilQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds limit);
    // Stops the helper.
    void stop();

    static const char *variable();

private:
    static QJsonArray targetsJson(const QList<Target> &targets);
    bool start(const QJsonObject &instructions, const QByteArray &ready = "owning\n");

    QTemporaryDir m_folder;
    std::unique_ptr<QProcess> m_process;
    QStringList m_requests;
    QStringList m_lines;
    QByteArray m_pending;
};
