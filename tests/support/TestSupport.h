#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <chrono>
#include <functional>
#include <ostream>
#include <utility>

// Readable failure messages for Qt values.
void PrintTo(const QString &value, std::ostream *out);
void PrintTo(const QByteArray &value, std::ostream *out);
void PrintTo(const QVariant &value, std::ostream *out);

// Collects the diagnostic lines printed while it lives, instead of writing them out.
class CapturedDiagnostics final
{
public:
    CapturedDiagnostics();
    ~CapturedDiagnostics();
    CapturedDiagnostics(const CapturedDiagnostics &) = delete;
    CapturedDiagnostics &operator=(const CapturedDiagnostics &) = delete;

    QStringList lines() const;
    bool contains(const QString &line) const { return lines().contains(line); }
};

// Runs the event loop until condition holds or the timeout passes; returns the condition.
bool waitUntil(const std::function<bool()> &condition,
    std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// Delivers what is queued, several rounds deep (events that post further events, widgets
// deleted later), without waiting for anything that has not been posted yet.
void settleEvents();

// Runs background over and over on another thread while foreground runs once on this one.
void runWhileRepeating(const std::function<void()> &background, const std::function<void()> &foreground);

// The most memory a process (0: this one) has held (its peak resident size, VmHWM), in bytes;
// 0 when it cannot be read.
qint64 peakResidentBytes(qint64 pid = 0);
// The memory a process (0: this one) holds now (its resident size, VmRSS), in bytes.
qint64 residentBytes(qint64 pid = 0);
// Starts the peak afresh from the memory held now (where the system allows it).
void resetPeakResidentBytes(qint64 pid = 0);

// The permission bits of a file or folder (0 when there is none).
unsigned fileMode(const QString &path);

// What a file holds (empty when it cannot be read).
QByteArray fileContents(const QString &path);

// Files in a folder under names given as bytes, which need not be UTF-8. Qt's file classes can
// neither name nor remove such a file (a temporary folder holding one could not go): when this
// goes, every file of the folder whose name is no UTF-8 goes too, also one renamed meanwhile.
class FilesNamedByBytes final
{
public:
    explicit FilesNamedByBytes(QString folder)
        : m_folder(std::move(folder))
    { }
    ~FilesNamedByBytes();
    FilesNamedByBytes(const FilesNamedByBytes &) = delete;
    FilesNamedByBytes &operator=(const FilesNamedByBytes &) = delete;

    // Makes a file holding the bytes given; returns its file URL as a file manager writes it,
    // every byte of the name that is not a letter, digit or "-._~" percent-encoded
    // ("file:///tmp/x/%FF%FE%20notes.txt"); empty when the file could not be made.
    QByteArray create(const QByteArray &name, const QByteArray &contents = "file") const;
    // The file's path as the system takes it.
    QByteArray path(const QByteArray &name) const;

private:
    QString m_folder;
};

// Path of a file under tests/data.
QString testDataPath(const QString &relativePath);

// What whoever can write a folder may leave where the app reads one of its files: a FIFO that
// nobody writes to, a link to a device that never ends (/dev/zero) or to one that holds nothing
// (/dev/null), a sparse file (which takes no room on disk, whatever its size), a link to itself.
enum class FileStandIn { fifo, zeroDeviceLink, nullDeviceLink, sparseFile, linkLoop };
// Puts one at the path in place of whatever is there (a sparse file of sparseBytes); false when
// it cannot.
bool replaceWithStandIn(const QString &path, FileStandIn standIn, qint64 sparseBytes = 0);
// What a folder holds, by name: each file with its size, each link with where it leads, a folder
// or anything else (a FIFO, a socket) as what it is. To tell that nothing in it changed.
QStringList folderContents(const QString &path);

// A private resource folder that the Bundle reads from while this object lives.
class TemporaryResourceFolder final
{
public:
    TemporaryResourceFolder();
    ~TemporaryResourceFolder();
    TemporaryResourceFolder(const TemporaryResourceFolder &) = delete;
    TemporaryResourceFolder &operator=(const TemporaryResourceFolder &) = delete;

    QString path() const { return m_dir.path(); }
    // Writes (or replaces) a file, creating the folders on its way; false on failure. A stand-in
    // there (FileStandIn) is replaced, not written into.
    bool write(const QString &relativePath, const QByteArray &bytes) const;
    // Removes everything in the folder.
    void clear() const;

private:
    QTemporaryDir m_dir;
};
