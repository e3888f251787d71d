#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QUrl>

// File names on Linux are bytes, and need not be UTF-8: "\xFF\xFE notes.txt" names a file like
// any other. The app holds paths as QString; here a byte that is no part of valid UTF-8 is held
// as a lone surrogate, U+DC80 to U+DCFF (what Python calls "surrogateescape"), so that every name
// comes back to its exact bytes, and a path of valid UTF-8 is the same text as anywhere else.
// Qt's own conversions (QFile::encodeName, QUrl::toLocalFile, QUrl::fromLocalFile) turn such
// bytes into U+FFFD and so lose the file: paths of files the user copied go through these.
// Any thread.
namespace FilePaths {

QString fromNative(QByteArrayView bytes);
QByteArray toNative(QStringView path);

// The local path of a file URL ("file:///tmp/%FF%FE.txt"), its bytes exact; the path of a URL
// of another scheme as QUrl::path() gives it.
QString ofUrl(const QUrl &url);
// The file URL of a path; its bytes are percent-encoded as they are.
QUrl toUrl(const QString &path);
// The path as it is shown: a byte that is not UTF-8 as U+FFFD.
QString forDisplay(QStringView path);

// Whether anything is at the path (a link counts by what it points to); the disk is asked.
bool exists(const QString &path);

} // namespace FilePaths
