#include "AppUnderBench.h"

#include "BenchSupport.h"

#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "platform/X11Connection.h"
#include "platform/X11SyntheticKeyboard.h"
#include "support/SeparateProcess.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QJsonDocument>
#include <QMimeData>
#include <QProcessEnvironment>

#include <sqlite3.h>

#include <csignal>
#include <deque>
#include <functional>

#include <unistd.h>

namespace {

constexpr quint32 controlL = 0xffe3;
constexpr quint32 space = 0x20;
constexpr quint32 escape = 0xff1b;
constexpr quint32 tab = 0xff09;
constexpr quint32 letterK = 0x6b;

// Presses and releases each key in turn.
QList<std::pair<quint32, bool>> strokes(std::initializer_list<quint32> keys)
{
    QList<std::pair<quint32, bool>> events;
    for (quint32 key : keys)
        events << std::pair { key, true } << std::pair { key, false };
    return events;
}

// Keeps this process's event loop turning (the app reads the clipboard from it) until done()
// or the limit.
bool spinUntil(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limit.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        usleep(5000);
    }
    return true;
}

QString toolOutput(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

AppUnderBench::AppUnderBench()
{
    QDir().mkpath(m_home.path() + QStringLiteral("/data/Tindlewick"));
}

AppUnderBench::~AppUnderBench()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(10000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

bool AppUnderBench::hasDisplay()
{
    return X11Connection::shared() != nullptr && QGuiApplication::platformName() == QLatin1String("xcb");
}

QString AppUnderBench::storePath() const
{
    return m_home.path() + QStringLiteral("/data/Tindlewick/default.store");
}

bool AppUnderBench::writeSettings(const QJsonObject &settings)
{
    const QString folder = m_home.path() + QStringLiteral("/config/Tindlewick");
    QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("/defaults.json"));
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(settings).toJson()) > 0;
}

std::unique_ptr<ModelContainer> AppUnderBench::openStore() const
{
    return ModelContainer::open(storePath(), nullptr);
}

bool AppUnderBench::seedStore(const QList<ClipboardItemPtr> &items)
{
    std::unique_ptr<ModelContainer> container = openStore();
    if (!container)
        return false;
    std::unique_ptr<ModelContext> context = container->makeContext();
    for (qsizetype i = 0; i < items.size(); ++i) {
        context->insert(items[i]);
        // In pieces, as the app saves its copies, so that the seeding's own memory stays small.
        if (i % 100 == 99 && !context->save().ok)
            return false;
    }
    return context->save().ok;
}

bool AppUnderBench::start()
{
    QProcessEnvironment environment = privateHomeEnvironment(m_home.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_process.setProcessEnvironment(environment);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    const QString program = qEnvironmentVariable(
        "TINDLEWICK_APP_UNDER_TEST", QCoreApplication::applicationDirPath() + QStringLiteral("/tindlewick"));
    // A program just built has pages of its file not yet written to disk; while they are, the
    // kernel counts them among the app's own written memory (some 2.4 MB of its code).
    ::sync();
    m_process.start(program, {});
    return m_process.waitForStarted(10000);
}

bool AppUnderBench::settles(std::chrono::milliseconds quiet)
{
    // Idle, the app only looks at the clipboard's change count ten times a second.
    const double allowedSeconds = 0.005 * double(quiet.count()) / 1000.0;
    std::deque<std::pair<qint64, double>> samples;
    QElapsedTimer clock;
    clock.start();
    return spinUntil(
        [&] {
            if (m_process.state() == QProcess::NotRunning)
                return false;
            samples.emplace_back(clock.elapsed(), processorSeconds(pid()));
            while (samples.size() > 1 && samples.back().first - samples[1].first >= quiet.count())
                samples.pop_front();
            return samples.back().first - samples.front().first >= quiet.count()
                && samples.back().second - samples.front().second < allowedSeconds;
        },
        std::chrono::minutes(3));
}

void AppUnderBench::letPass(std::chrono::milliseconds time)
{
    spinUntil([] { return false; }, time);
}

qint64 AppUnderBench::storedCount(const QString &condition) const
{
    return storedValue(QStringLiteral("SELECT count(*) FROM ClipboardItem")
        + (condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condition));
}

qint64 AppUnderBench::storedValue(const QString &query) const
{
    const QByteArray sql = query.toUtf8();
    sqlite3 *db = nullptr;
    qint64 value = -1;
    if (sqlite3_open_v2(storePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 1000);
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            value = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return value;
}

qint64 AppUnderBench::newestRow() const
{
    return storedValue(QStringLiteral("SELECT max(pk) FROM ClipboardItem"));
}

bool AppUnderBench::storedAfter(qint64 row, std::chrono::milliseconds limit)
{
    return spinUntil([&] { return newestRow() > row; }, limit);
}

bool AppUnderBench::copy(const QString &text, std::chrono::milliseconds limit)
{
    const qint64 before = newestRow();
    QGuiApplication::clipboard()->setText(text);
    return storedAfter(before, limit);
}

bool AppUnderBench::copy(QMimeData *data, std::chrono::milliseconds limit)
{
    const qint64 before = newestRow();
    QGuiApplication::clipboard()->setMimeData(data);
    return storedAfter(before, limit);
}

bool AppUnderBench::copyFromProgramThatQuits(const QString &text, std::chrono::milliseconds limit)
{
    const qint64 before = newestRow();
    QProcess program;
    // In the foreground, it serves the clipboard until it is ended.
    program.start(QStringLiteral("xclip"),
        { QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-quiet") });
    if (!program.waitForStarted(5000))
        return false;
    program.write(text.toUtf8());
    program.closeWriteChannel();
    const bool stored = storedAfter(before, limit);
    program.terminate();
    program.waitForFinished(5000);
    // The owner gone, the app takes the clipboard and serves the copy itself.
    return stored && spinUntil([&] { return QGuiApplication::clipboard()->text() == text; }, limit);
}

namespace {

// The app's shown windows of that name.
QList<quint64> shownWindows(qint64 pid, const QString &name)
{
    const QString found = toolOutput(QStringLiteral("xdotool"),
        { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), name });
    QList<quint64> windows;
    for (const QString &line : found.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qint64 owner
            = toolOutput(QStringLiteral("xdotool"), { QStringLiteral("getwindowpid"), line }).toLongLong();
        if (owner == pid)
            windows.append(line.toULongLong());
    }
    return windows;
}

// The app's panel window while it is shown, else 0.
quint64 shownPanel(qint64 pid)
{
    return shownWindows(pid, QStringLiteral("^Tindlewick$")).value(0);
}

} // namespace

bool AppUnderBench::pressUntilPanel(const QList<std::pair<quint32, bool>> &press, bool shown)
{
    X11Connection *connection = X11Connection::shared();
    if (!connection)
        return false;
    X11SyntheticKeyboard keys(*connection);
    for (int attempt = 0; attempt < 5; ++attempt) {
        keys.sendKeys(press);
        if (spinUntil([&] { return (shownPanel(pid()) != 0) == shown; }, std::chrono::seconds(5)))
            return true;
    }
    return false;
}

quint64 AppUnderBench::panelWindow() const
{
    return shownPanel(pid());
}

bool AppUnderBench::showPanel()
{
    return pressUntilPanel(
        { { controlL, true }, { space, true }, { space, false }, { controlL, false } }, true);
}

bool AppUnderBench::hidePanel()
{
    return pressUntilPanel(strokes({ escape }), false);
}

bool AppUnderBench::clearHistory()
{
    X11Connection *connection = X11Connection::shared();
    if (!connection)
        return false;
    X11SyntheticKeyboard keys(*connection);
    const QString unpinned = QStringLiteral("isPinned = 0");
    // The question's default is "Cancel": Tab moves to "Clear", Space presses it. Should the
    // focus go round otherwise, the question is asked again with one Tab more.
    for (int tabs = 1; tabs <= 3 && storedCount(unpinned) != 0; ++tabs) {
        const qsizetype windows = shownWindows(pid(), QStringLiteral(".")).size();
        keys.sendKeys({ { controlL, true }, { letterK, true }, { letterK, false }, { controlL, false } });
        // The question is a window of its own beside the panel.
        spinUntil([&] { return shownWindows(pid(), QStringLiteral(".")).size() > windows; },
            std::chrono::seconds(5));
        for (int i = 0; i < tabs; ++i)
            keys.sendKeys(strokes({ tab }));
        keys.sendKeys(strokes({ space }));
        spinUntil([&] { return storedCount(unpinned) == 0; }, std::chrono::seconds(5));
    }
    return storedCount(unpinned) == 0;
}

bool AppUnderBench::scrollPanelThrough()
{
    const quint64 panel = shownPanel(pid());
    if (panel == 0)
        return false;
    const QString geometry = toolOutput(QStringLiteral("xdotool"),
        { QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(panel) });
    QHash<QString, int> values;
    for (const QString &line : geometry.split(QLatin1Char('\n'))) {
        const QStringList pair = line.split(QLatin1Char('='));
        if (pair.size() == 2)
            values.insert(pair[0], pair[1].toInt());
    }
    const int width = values.value(QStringLiteral("WIDTH"));
    const int height = values.value(QStringLiteral("HEIGHT"));
    if (width <= 0 || height <= 0)
        return false;
    for (int x = 40; x < width; x += 80) {
        const QStringList arguments { QStringLiteral("mousemove"),
            QString::number(values.value(QStringLiteral("X")) + x),
            QString::number(values.value(QStringLiteral("Y")) + height / 2), QStringLiteral("click"),
            QStringLiteral("--repeat"), QStringLiteral("40"), QStringLiteral("--delay"), QStringLiteral("15"),
            QStringLiteral("5") };
        QProcess tool;
        tool.start(QStringLiteral("xdotool"), arguments);
        if (!spinUntil([&] { return tool.state() == QProcess::NotRunning; }, std::chrono::seconds(20)))
            return false;
    }
    return true;
}

AppUnderBench::Memory AppUnderBench::memory() const
{
    const QString rollup = QStringLiteral("/proc/%1/smaps_rollup").arg(pid());
    Memory memory;
    memory.privateMiB = procKilobytes(rollup, { "Private_Clean:", "Private_Dirty:" }) / 1024.0;
    memory.privateDirtyMiB = procKilobytes(rollup, { "Private_Dirty:" }) / 1024.0;
    memory.residentMiB = procKilobytes(rollup, { "Rss:" }) / 1024.0;
    return memory;
}

double AppUnderBench::peakResidentMiB() const
{
    return procKilobytes(QStringLiteral("/proc/%1/status").arg(pid()), { "VmHWM:" }) / 1024.0;
}
