#include "common/Diagnostics.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {
std::mutex g_printMutex;
std::atomic<DiagnosticSink> g_sink { nullptr };
} // namespace

void printDiagnostic(const QString &line)
{
    if (DiagnosticSink sink = g_sink.load()) {
        sink(line);
        return;
    }
    const QByteArray bytes = line.toUtf8();
    std::lock_guard lock(g_printMutex);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void setDiagnosticSink(DiagnosticSink sink)
{
    g_sink.store(sink);
}

namespace {
std::atomic<FatalErrorHandler> g_fatalHandler { nullptr };
} // namespace

void fatalError(const QString &message)
{
    // Once, where a program says why it stops: standard error, not also among the diagnostic
    // lines on standard output (a terminal shows both).
    const QByteArray bytes = message.toUtf8();
    std::fprintf(stderr, "%s\n", bytes.constData());
    if (FatalErrorHandler handler = g_fatalHandler.load())
        handler(message);
    std::exit(1);
}

void setFatalErrorHandler(FatalErrorHandler handler)
{
    g_fatalHandler.store(handler);
}
