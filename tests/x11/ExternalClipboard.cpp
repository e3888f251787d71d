#include "ExternalClipboard.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>

#include <cstdio>

ExternalClipboard::ExternalClipboard() = default;

ExternalClipboard::~ExternalClipboard()
{
    endOwners();
}

void ExternalClipboard::endOwners()
{
    for (const auto &owner : m_owners) {
        owner->kill();
        owner->waitForFinished(2000);
    }
    m_owners.clear();
}

const char *ExternalClipboard::ownerVariable()
{
    return "TINDLEWICK_CLIPBOARD_OWNER";
}

bool ExternalClipboard::copyWithXclip(const QByteArray &data, const QString &type, int loops)
{
    QStringList arguments
        = { QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i") };
    if (!type.isEmpty())
        arguments += { QStringLiteral("-t"), type };
    if (loops > 0)
        arguments += { QStringLiteral("-loops"), QString::number(loops) };
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral("xclip"), arguments);
    if (!process.waitForStarted(5000))
        return false;
    process.write(data);
    process.closeWriteChannel();
    return process.waitForFinished(5000) && process.exitCode() == 0;
}

QByteArray ExternalClipboard::read(const QString &target)
{
    QProcess xclip;
    xclip.setStandardErrorFile(QProcess::nullDevice());
    xclip.start(QStringLiteral("xclip"),
        { QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
            QStringLiteral("-t"), target });
    if (!waitUntil([&] { return xclip.state() == QProcess::NotRunning; }, std::chrono::seconds(20))
        || xclip.exitCode() != 0)
        return {};
    return xclip.readAllStandardOutput();
}

std::unique_ptr<QProcess> ExternalClipboard::startXclip(const QByteArray &text)
{
    auto process = std::make_unique<QProcess>();
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // Quiet rather than silent: it stays in the foreground, in this process.
    process->start(QStringLiteral("xclip"),
        { QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
            QStringLiteral("-i") });
    if (!process->waitForStarted(5000))
        return nullptr;
    process->write(text);
    process->closeWriteChannel();
    return process;
}

bool ExternalClipboard::copyFlavours(const QMap<QString, QByteArray> &flavours, bool hang)
{
    const QString flavourFile = m_folder.filePath(QStringLiteral("owner-%1.bin").arg(m_owners.size()));
    QFile file(flavourFile);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out << flavours << hang;
    file.close();

    std::unique_ptr<QProcess> owner
        = startClipboardOwner(QStringLiteral("ClipboardOwner.Serve"), ownerVariable(), flavourFile);
    if (!owner)
        return false;
    m_owners.push_back(std::move(owner));
    return true;
}

std::unique_ptr<QProcess> startClipboardOwner(const QString &helperTest, const char *variable,
    const QString &file, QByteArray *output, const QByteArray &ready)
{
    auto owner = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(variable), file);
    owner->setProcessEnvironment(environment);
    owner->setStandardErrorFile(QProcess::nullDevice());
    owner->start(QCoreApplication::applicationFilePath(), { QStringLiteral("--gtest_filter=") + helperTest });
    if (!owner->waitForStarted(5000))
        return nullptr;
    QElapsedTimer waited;
    waited.start();
    QByteArray printed;
    while (!printed.contains(ready) && waited.elapsed() < 10'000) {
        const bool running = owner->state() == QProcess::Running;
        owner->waitForReadyRead(100);
        printed += owner->readAllStandardOutput();
        if (!running)
            break;
    }
    if (output)
        *output = printed;
    if (!printed.contains(ready)) {
        owner->kill();
        owner->waitForFinished(2000);
        return nullptr;
    }
    return owner;
}

// Not a test of its own: the clipboard owner that copyFlavours() starts.
TEST(ClipboardOwner, Serve)
{
    const QString flavourFile = qEnvironmentVariable(ExternalClipboard::ownerVariable());
    if (flavourFile.isEmpty())
        GTEST_SKIP() << "runs only as the helper process of ExternalClipboard";
    QFile file(flavourFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QDataStream in(&file);
    QMap<QString, QByteArray> flavours;
    bool hang = false;
    in >> flavours >> hang;
    auto *mime = new QMimeData;
    for (auto it = flavours.cbegin(); it != flavours.cend(); ++it)
        mime->setData(it.key(), it.value());
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(mime, QClipboard::Clipboard);
    ASSERT_TRUE(waitUntil([&] { return clipboard->ownsClipboard(); }));
    std::printf("owning\n");
    std::fflush(stdout);
    if (hang) {
        // Owns the clipboard and answers nobody for a while: the hang is what the test plays,
        // not a wait for anything, so a busy machine only makes it longer.
        QThread::sleep(4);
        return;
    }
    waitUntil([&] { return !clipboard->ownsClipboard(); }, std::chrono::seconds(60));
}
