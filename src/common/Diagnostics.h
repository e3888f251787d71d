#pragma once

#include <QString>

// Diagnostics are plain lines on standard output, prefixed by the reporting type's name
// (for example "[ClipboardDatabaseActor] VACUUM failed (5): database is locked").
// Safe to call from any thread; each line is written whole and flushed.
void printDiagnostic(const QString &line);

// Tests capture what would have been printed. Passing nullptr restores standard output.
using DiagnosticSink = void (*)(const QString &line);
void setDiagnosticSink(DiagnosticSink sink);

// Stops the program on a set-up fault it cannot run without (a store that cannot be
// opened): prints the message on standard error, lets the installed handler show it to the
// user, exits 1.
[[noreturn]] void fatalError(const QString &message);
using FatalErrorHandler = void (*)(const QString &message);
void setFatalErrorHandler(FatalErrorHandler handler);
