#include "TestWindowProcess.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSaveFile>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

#include <functional>

#include <cstdlib>

namespace {

const char *modeVariable = "TINDLEWICK_TEST_WINDOW_OUTPUT";
const char *focusVariable = "TINDLEWICK_TEST_WINDOW_FOCUS";

// Pastes as picture programs do: Control+V reads the clipboard's PNG, else any picture on it.
class PictureBox final : public QLabel
{
public:
    explicit PictureBox(QWidget *parent)
        : QLabel(QStringLiteral("Control+V pastes a picture here"), parent)
    {
        setFocusPolicy(Qt::StrongFocus);
        setAlignment(Qt::AlignCenter);
        setMinimumSize(320, 180);
    }

    std::function<void()> pasted;
    int pastes = 0;
    QSize pictureSize;
    QByteArray digest;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (!event->matches(QKeySequence::Paste)) {
            QLabel::keyPressEvent(event);
            return;
        }
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        QImage picture;
        if (data && data->hasFormat(QStringLiteral("image/png")))
            picture = QImage::fromData(data->data(QStringLiteral("image/png")), "PNG");
        else if (data && data->hasImage())
            picture = qvariant_cast<QImage>(data->imageData());
        ++pastes;
        pictureSize = picture.size();
        digest = picture.isNull() ? QByteArray() : TestWindowProcess::pixelDigest(picture);
        if (picture.isNull())
            setText(QStringLiteral("No picture on the clipboard"));
        else
            setPixmap(
                QPixmap::fromImage(picture.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        if (pasted)
            pasted();
    }
};

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
    auto *picture = new PictureBox(&window);
    layout->addWidget(line);
    layout->addWidget(rich);
    layout->addWidget(picture);
    window.resize(480, 460);
    window.move(80, 80);

    const auto write = [&] {
        QJsonObject state { { QStringLiteral("window"), QString::number(window.winId()) },
            { QStringLiteral("plain"), line->text() }, { QStringLiteral("html"), rich->toHtml() },
            { QStringLiteral("richPlain"), rich->toPlainText() },
            { QStringLiteral("pastes"), picture->pastes },
            { QStringLiteral("pictureWidth"), picture->pictureSize.width() },
            { QStringLiteral("pictureHeight"), picture->pictureSize.height() },
            { QStringLiteral("pictureDigest"), QString::fromLatin1(picture->digest.toHex()) } };
        QSaveFile file(output);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(QJsonDocument(state).toJson());
            file.commit();
        }
    };
    QObject::connect(line, &QLineEdit::textChanged, write);
    QObject::connect(rich, &QTextEdit::textChanged, write);
    picture->pasted = write;
    window.show();
    window.activateWindow();
    const QString focus = qEnvironmentVariable(focusVariable);
    if (focus == QLatin1String("rich"))
        rich->setFocus();
    else if (focus == QLatin1String("picture"))
        picture->setFocus();
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
        focus == Focus::richText      ? QStringLiteral("rich")
            : focus == Focus::picture ? QStringLiteral("picture")
                                      : QStringLiteral("line"));
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

TestWindowProcess::PastedPicture TestWindowProcess::pastedPicture() const
{
    const QJsonObject state = read();
    return { state.value(QStringLiteral("pastes")).toInt(),
        QSize(state.value(QStringLiteral("pictureWidth")).toInt(),
            state.value(QStringLiteral("pictureHeight")).toInt()),
        QByteArray::fromHex(state.value(QStringLiteral("pictureDigest")).toString().toLatin1()) };
}

QByteArray TestWindowProcess::pixelDigest(const QImage &image)
{
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (int y = 0; y < pixels.height(); ++y)
        hash.addData(
            QByteArrayView(reinterpret_cast<const char *>(pixels.constScanLine(y)), pixels.width() * 4));
    return hash.result();
}
