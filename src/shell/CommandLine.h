#pragma once

#include <QString>
#include <QStringList>

// What the program answers without starting: --help says what Tindlewick is and where it
// keeps its files, --version its version. Other arguments are Qt's (-display, -platform...).
namespace CommandLine {

enum class Request {
    start,
    help,
    version,
};

// The first of --help/-h and --version/-v among the arguments (the program's name left out).
Request request(const QStringList &arguments);
// The answer printed for a request other than start.
QString answer(Request request);

} // namespace CommandLine
