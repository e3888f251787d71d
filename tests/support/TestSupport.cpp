#include "support/TestSupport.h"

#include "common/Diagnostics.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QThread>

namespace {
QMutex g_linesMutex;
QStringList g_lines;

void collect(const QString &line)
{
    QMutexLocker lock(&g_linesMutex);
    g_lines.append(line);
}
} // namespace

CapturedDiagnostics::CapturedDiagnostics()
{
    QMutexLocker lock(&g_linesMutex);
    g_lines.clear();
    setDiagnosticSink(&collect);
}

CapturedDiagnostics::~CapturedDiagnostics() { setDiagnosticSink(nullptr); }

QStringList CapturedDiagnostics::lines() const
{
    QMutexLocker lock(&g_linesMutex);
    return g_lines;
}

bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

QString testDataPath(const QString &relativePath)
{
    return QStringLiteral(TINDLEWICK_TEST_DATA_DIR "/") + relativePath;
}

void PrintTo(const QString &value, std::ostream *out) { *out << '"' << value.toStdString() << '"'; }

void PrintTo(const QByteArray &value, std::ostream *out)
{
    *out << "bytes(" << value.size() << ")\"" << value.left(64).toHex().toStdString() << (value.size() > 64 ? "..." : "") << '"';
}

void PrintTo(const QVariant &value, std::ostream *out)
{
    *out << value.typeName() << '(' << value.toString().toStdString() << ')';
}
