#include "common/Diagnostics.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {
std::mutex g_printMutex;
std::atomic<DiagnosticSink> g_sink{nullptr};
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

void setDiagnosticSink(DiagnosticSink sink) { g_sink.store(sink); }
