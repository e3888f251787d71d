#include "TestWindowProcess.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QLineEdit>
#include <QSaveFile>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdlib>

namespace {

const char *modeVariable = "TINDLEWICK_TEST_WINDOW_OUTPUT";
const char *focusVariable = "TINDLEWICK_TEST_WINDOW_FOCUS";

// The window side: this same program, started with the output variable set, becomes the
// window before the tests' main runs.
int runTestWindow()
{
    static int argc = 1;
    static char name[] = "tindlewick-test-window";
    static char *argv[] = { name, nullptr };
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TindlewickTestWindow"));
    const QString output = qEnvironmentVariable(modeVariable);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Tindlewick test window"));
    auto *layout = new QVBoxLayout(&window);
    auto *line = new QLineEdit(&window);
    auto *rich = new QTextEdit(&window);
    rich->setAcceptRichText(true);
    layout->addWidget(line);
    layout->addWidget(rich);
    window.resize(480, 260);
    window.move(80, 80);

    const auto write = [&] {
        QJsonObject state { { QStringLiteral("window"), QString::number(window.winId()) },
            { QStringLiteral("plain"), line->text() }, { QStringLiteral("html"), rich->toHtml() },
            { QStringLiteral("richPlain"), rich->toPlainText() } };
        QSaveFile file(output);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(QJsonDocument(state).toJson());
            file.commit();
        }
    };
    QObject::connect(line, &QLineEdit::textChanged, write);
    QObject::connect(rich, &QTextEdit::textChanged, write);
    window.show();
    window.activateWindow();
    if (qEnvironmentVariable(focusVariable) == QLatin1String("rich"))
        rich->setFocus();
    else
        line->setFocus();
    write();
    return app.exec();
}

const bool g_isTestWindow = [] {
    if (qEnvironmentVariableIsSet(modeVariable))
        std::exit(runTestWindow());
    return false;
}();

} // namespace

TestWindowProcess::~TestWindowProcess()
{
    stop();
}

bool TestWindowProcess::start(Focus focus)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(modeVariable), m_folder.path() + QStringLiteral("/window.json"));
    environment.insert(QString::fromLatin1(focusVariable),
        focus == Focus::richText ? QStringLiteral("rich") : QStringLiteral("line"));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QCoreApplication::applicationFilePath(), {});
    if (!m_process.waitForStarted(5000))
        return false;
    const bool reported = waitUntil([&] { return read().contains(QStringLiteral("window")); });
    m_windowId = read().value(QStringLiteral("window")).toString().toULongLong();
    return reported && m_windowId != 0;
}

void TestWindowProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

QJsonObject TestWindowProcess::read() const
{
    QFile file(m_folder.path() + QStringLiteral("/window.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QString TestWindowProcess::plainText() const
{
    return read().value(QStringLiteral("plain")).toString();
}
QString TestWindowProcess::richHtml() const
{
    return read().value(QStringLiteral("html")).toString();
}
QString TestWindowProcess::richPlainText() const
{
    return read().value(QStringLiteral("richPlain")).toString();
}
