#pragma once

// The app's own program in a process of its own, on the X server the benchmark runs on, with a
// private home (settings and store): what a user runs, measured from outside as a system
// monitor would. Nothing is done to it that the user's desktop would not do: the benchmark
// copies through the X clipboard, presses the shortcut through the server and reads
// /proc/PID/smaps_rollup.

#include "model/ClipboardItem.h"

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

class ModelContainer;
class QMimeData;

class AppUnderBench final
{
public:
    AppUnderBench();
    ~AppUnderBench();
    AppUnderBench(const AppUnderBench &) = delete;
    AppUnderBench &operator=(const AppUnderBench &) = delete;

    // Whether the benchmark runs where the app can: on an X server.
    static bool hasDisplay();

    // Before start(): the settings an earlier run left, and the items it stored.
    bool writeSettings(const QJsonObject &settings);
    bool seedStore(const QList<ClipboardItemPtr> &items);
    std::unique_ptr<ModelContainer> openStore() const;

    bool start();
    qint64 pid() const { return m_process.processId(); }
    // Waits until the app has used (nearly) no processor time for `quiet`: what it had started,
    // on any of its threads, is over, and so is what it does once it is idle.
    bool settles(std::chrono::milliseconds quiet = std::chrono::seconds(3));
    // Lets the time pass while this process goes on serving its clipboard.
    void letPass(std::chrono::milliseconds time);
    // Copies a text on this process's clipboard and waits until the app has stored it (true) or
    // not within the limit (a copy it left out).
    bool copy(const QString &text, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // The same with flavours of any kind (pictures, file lists); the clipboard takes the data.
    bool copy(QMimeData *data, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Copies a text from a program of its own (xclip) that quits once the app has stored it, and
    // waits until the app serves the copy in its place (true).
    bool copyFromProgramThatQuits(
        const QString &text, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Presses Control+Space through the server until the panel ("Tindlewick") is shown.
    bool showPanel();
    // The panel's window while it is shown, else 0.
    quint64 panelWindow() const;
    // Presses Escape until the panel is hidden.
    bool hidePanel();
    // With the panel shown: Control+K, and "Clear" in the question it asks, until the store
    // holds no unpinned item.
    bool clearHistory();
    // Turns the mouse wheel over the shown panel from its left edge to its right, so that every
    // column scrolls through what it holds.
    bool scrollPanelThrough();
    // How many items the store holds (of those the SQL condition picks); -1 when unreadable.
    qint64 storedCount(const QString &condition = {}) const;

    // In mebibytes (2^20 bytes), as /proc counts them in kibibytes.
    struct Memory
    {
        double privateMiB = 0; // its own pages, clean and dirty
        double privateDirtyMiB = 0; // of those, the ones it wrote (heaps, stacks, mapped code)
        double residentMiB = 0;
    };
    Memory memory() const;
    // The most the process has held at once.
    double peakResidentMiB() const;

private:
    QString storePath() const;
    // The first column of the query's first row over the store; -1 when unreadable.
    qint64 storedValue(const QString &query) const;
    // The row of the item stored last; with a history at its limit the count stays the same.
    qint64 newestRow() const;
    // Waits until the app has stored an item after the row, within the limit.
    bool storedAfter(qint64 row, std::chrono::milliseconds limit);
    // Presses the keys until the panel is shown (or hidden), five times at most.
    bool pressUntilPanel(const QList<std::pair<quint32, bool>> &press, bool shown);

    QTemporaryDir m_home;
    QProcess m_process;
};
