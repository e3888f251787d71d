#pragma once

#include <QByteArray>
#include <QColor>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <chrono>
#include <functional>
#include <ostream>

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

// Runs background over and over on another thread while foreground runs once on this one.
void runWhileRepeating(const std::function<void()> &background, const std::function<void()> &foreground);

// A valid PNG of an all-black greyscale picture of the given size and bit depth (1, 2, 4, 8). Its zlib stream
// is written by hand as runs of zeros, so a picture that takes gigabytes once decoded is a few megabytes here
// and is made without ever holding the pixels.
QByteArray greyscalePngBomb(quint32 width, quint32 height, int bitDepth = 8);
// The same as a two-colour indexed picture of one bit per pixel: decoded, it is only an
// eighth of the size of the greyscale one, under the usual allocation limits.
QByteArray indexedPngBomb(quint32 width, quint32 height);

// An image of one colour encoded as PNG; with noise, every pixel random (large when encoded).
QByteArray pngBytes(QSize size, QColor color, bool noise = false);

// The permission bits of a file or folder (0 when there is none).
unsigned fileMode(const QString &path);

// Path of a file under tests/data.
QString testDataPath(const QString &relativePath);

// A private resource folder that the Bundle reads from while this object lives.
class TemporaryResourceFolder final
{
public:
    TemporaryResourceFolder();
    ~TemporaryResourceFolder();
    TemporaryResourceFolder(const TemporaryResourceFolder &) = delete;
    TemporaryResourceFolder &operator=(const TemporaryResourceFolder &) = delete;

    QString path() const { return m_dir.path(); }
    // Writes (or replaces) a file, creating the folders on its way; false on failure.
    bool write(const QString &relativePath, const QByteArray &bytes) const;
    // Removes everything in the folder.
    void clear() const;

private:
    QTemporaryDir m_dir;
};
