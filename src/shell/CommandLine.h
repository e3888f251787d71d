#pragma once

#include <QString>
#include <QStringList>

// What the program is asked on its command line. --help says what Tindlewick is and where it
// keeps its files and --version its version, both without starting; --settings opens the
// settings window (of the running copy, or of this one when none runs). Qt's own options
// (-display, -platform...) are taken out by the application object before the rest is read;
// anything else is a mistake, answered with the usage and status 2.
namespace CommandLine {

enum class Request {
    start,
    openSettings,
    help,
    version,
    usageError,
};

struct Parsed
{
    Request request = Request::start;
    // For a usage error: the argument that is not understood.
    QString offending;
};

// The first of --help/-h and --version/-v anywhere among the arguments (the program's name
// left out), read before the application object exists: they need no display. start for
// anything else.
Request immediateRequest(const QStringList &arguments);
// The arguments left once Qt has taken its own (the program's name left out): start, opening
// the settings, help, version, or a usage error naming the first argument not understood.
Parsed parse(const QStringList &arguments);

// The answer printed on standard output for help and version.
QString answer(Request request);
// What a usage error prints on standard error.
QString usageError(const Parsed &parsed);
// The status a program ends with after a usage error.
constexpr int usageErrorStatus = 2;

} // namespace CommandLine
