// What the user copied is what the app keeps, and keeps to the user: a link with letters outside
// ASCII and a file whose name is no UTF-8 come back from the panel exactly as they were copied, a
// copy stays on the clipboard after the program that made it quits (a password does not) while a
// copy made meanwhile is neither lost nor covered by the older one, a clear stays cleared, a
// URL blacklist of ten thousand entries keeps out every form of a blocked place without holding
// up a copy (a tab inside it, a scheme with other slashes or none, ftp and wss among them), and a
// history or settings file that is a symbolic link is made private wherever it leads.

#include "AppEndToEnd.h"
#include "RawClipboardOwner.h"
#include "TestWindowProcess.h"

#include "model/SqliteConnection.h"
#include "support/LongBlacklist.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <initializer_list>

#include <sqlite3.h>
#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {

// The clipboard's contents in one of its types, as another program reads them: bytes, exactly.
QByteArray clipboardBytes(const QString &type)
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
        { QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
            QStringLiteral("-t"), type });
    if (!xclip.waitForFinished(10'000) || xclip.exitCode() != 0)
        return {};
    return xclip.readAllStandardOutput();
}

// The texts of the store at path, newest first (the `newest` ones; -1: all), read beside the
// running app without opening the store as the app does (which would make its files private
// itself); "<kind>" for an item without text.
QStringList storedTextsAt(const QString &path, int newest = -1)
{
    QStringList texts;
    SqliteConnection raw;
    if (!raw.open(path, SQLITE_OPEN_READONLY))
        return texts;
    SqliteStatement query = raw.prepare(QStringLiteral("SELECT textContent, itemType FROM ClipboardItem "
                                                       "ORDER BY timestamp DESC, pk DESC LIMIT %1")
                                            .arg(newest));
    while (query.isValid() && query.step())
        texts.append(query.isNull(0) ? QStringLiteral("<%1>").arg(query.text(1)) : query.text(0));
    return texts;
}

class KeptAsCopiedX11Test : public AppEndToEndTest
{
protected:
    bool waitForNewest(const QString &text, std::chrono::milliseconds limit = 10s)
    {
        return waitUntil([&] { return storedTextsAt(storePath(), 1).value(0) == text; }, limit);
    }
    QString stored() { return storedTextsAt(storePath()).join(QStringLiteral(" | ")); }

    // Starts the app with the window we paste into in front, and waits until it answers its
    // shortcut (it watches the clipboard from then on).
    void startApp(AppProcess &app)
    {
        if (!m_window) {
            m_window = std::make_unique<TestWindowProcess>();
            ASSERT_TRUE(startInFront(*m_window));
        }
        app.enableTestHooks();
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(openThenDismissPanel(app));
        ASSERT_TRUE(waitUntil([&] { return isFront(m_window->windowId()); }));
    }
    // Chooses the first row of the panel with Return, as the user does, keeping a picture of
    // the panel; returns once the window we paste into is in front again.
    void pasteFirstRow(AppProcess &app, const QString &screenshot)
    {
        ASSERT_TRUE(openPanelShown(app));
        ASSERT_TRUE(pressKey(QStringLiteral("Down")));
        ASSERT_TRUE(app.caughtUp());
        saveScreenshot(screenshot);
        ASSERT_TRUE(pressKey(QStringLiteral("Return")));
        ASSERT_TRUE(waitUntil([&] { return isFront(m_window->windowId()); }));
    }

    // Copies each text as a program that owns the clipboard, each read by the app before the
    // next, then the text that marks their end; returns once the app has stored that and settled.
    void copyEachThenMark(AppProcess &app, std::initializer_list<const char *> texts)
    {
        for (const char *text : texts) {
            RawClipboardOwner copy;
            ASSERT_TRUE(copy.copy({ { QStringLiteral("UTF8_STRING"), QByteArray(text) } }));
            ASSERT_TRUE(copy.waitUntilAsked(QStringLiteral("UTF8_STRING"))) << text;
        }
        ASSERT_TRUE(external.copyWithXclip("after the blocked forms"));
        ASSERT_TRUE(waitForNewest(QStringLiteral("after the blocked forms")));
        ASSERT_TRUE(app.settles());
    }

    std::unique_ptr<TestWindowProcess> m_window;
};

} // namespace

TEST_F(KeptAsCopiedX11Test, ALinkWithLettersOutsideAsciiIsStoredAndPastedAsItWasCopied)
{
    // Cleaning is on: what it takes out is the tracking, and nothing else changes.
    seedSettings(R"({"removeTrackingParameters": true})");
    AppProcess app(home.path());
    ASSERT_NO_FATAL_FAILURE(startApp(app));
    const struct
    {
        const char *copied;
        const char *kept;
    } links[] = {
        { "https://m\xC3\xBCnchen.de/stra\xC3\x9F"
          "e?q=\xC3\xA4",
            "https://m\xC3\xBCnchen.de/stra\xC3\x9F"
            "e?q=\xC3\xA4" },
        { "https://\xE6\x97\xA5\xE6\x9C\xAC.jp/\xE3\x83\x91\xE3\x82\xB9",
            "https://\xE6\x97\xA5\xE6\x9C\xAC.jp/\xE3\x83\x91\xE3\x82\xB9" },
        { "https://m\xC3\xBCnchen.de/k\xC3\xA4se?utm_source=news&sorte=gr\xC3\xBCn",
            "https://m\xC3\xBCnchen.de/k\xC3\xA4se?sorte=gr\xC3\xBCn" },
    };
    QString pasted;
    int number = 0;
    for (const auto &link : links) {
        SCOPED_TRACE(link.copied);
        const QString kept = QString::fromUtf8(link.kept);
        copyFromOutside(QString::fromUtf8(link.copied));
        ASSERT_TRUE(waitForNewest(kept)) << stored().toStdString();
        ASSERT_NO_FATAL_FAILURE(pasteFirstRow(app, QStringLiteral("link-as-copied-%1.png").arg(++number)));
        pasted += kept;
        EXPECT_TRUE(waitUntil([&] { return m_window->plainText() == pasted; }))
            << "the window got: " << m_window->plainText().toStdString();
        EXPECT_EQ(QString::fromUtf8(clipboardBytes(QStringLiteral("UTF8_STRING"))), kept);
    }
}

TEST_F(KeptAsCopiedX11Test, ACopyOutlivesTheProgramThatMadeItButAPasswordDoesNot)
{
    AppProcess app(home.path());
    ASSERT_NO_FATAL_FAILURE(startApp(app));
    const auto served = [](const char *type, const QByteArray &expected) {
        return waitUntil([&] { return clipboardBytes(QLatin1String(type)) == expected; });
    };

    // xclip answers one request for the text and quits: the app's own reading of the copy.
    const QByteArray line = "copied, and its program gone";
    ASSERT_TRUE(external.copyWithXclip(line, QString(), 1));
    ASSERT_TRUE(waitForNewest(QString::fromUtf8(line))) << stored().toStdString();
    EXPECT_TRUE(served("UTF8_STRING", line))
        << "the clipboard holds: " << clipboardBytes(QStringLiteral("UTF8_STRING")).toStdString();

    // A design program that offers its HTML beside the text (which the app keeps) quits: both are
    // served.
    const QByteArray html = "<span data-metadata=\"<!--(figma)AAA(/figma)-->\">Frame 1</span>";
    ASSERT_TRUE(external.copyFlavours({ { QStringLiteral("text/plain"), QByteArrayLiteral("Frame 1") },
        { QStringLiteral("text/html"), html } }));
    ASSERT_TRUE(waitForNewest(QStringLiteral("Frame 1"))) << stored().toStdString();
    external.endOwners();
    EXPECT_TRUE(served("text/html", html))
        << "the clipboard holds: " << clipboardBytes(QStringLiteral("text/html")).toStdString();
    EXPECT_EQ(clipboardBytes(QStringLiteral("UTF8_STRING")), QByteArrayLiteral("Frame 1"));

    // A password manager's copy is read and left out; once its program quits, nobody serves it, nor
    // the copy before it.
    ASSERT_TRUE(external.copyFlavours({ { QStringLiteral("text/plain"), QByteArrayLiteral("hunter2") },
        { QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret") } }));
    ASSERT_TRUE(app.settles());
    external.endOwners();
    ASSERT_TRUE(app.caughtUpAfter(500ms));
    EXPECT_FALSE(waitUntil([&] { return !clipboardBytes(QStringLiteral("TARGETS")).isEmpty(); }, 1500ms))
        << "the clipboard holds: " << clipboardBytes(QStringLiteral("UTF8_STRING")).toStdString();

    // Served again, the copies are no new ones.
    EXPECT_EQ(stored(), QStringLiteral("Frame 1 | copied, and its program gone"));
}

TEST_F(KeptAsCopiedX11Test, AFileWhoseNameIsNotUtf8IsShownAndPastedByItsExactBytes)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const FilesNamedByBytes files(folder.path());
    QList<QByteArray> urls;
    for (const QByteArray &name : { QByteArray("\xFF\xFE report.txt"), QByteArray("plain.txt"),
             QByteArray("caf\xE9.txt"), QByteArray("caf\xC3\xA9.txt"), QByteArray("a\x80z.txt") }) {
        urls.append(files.create(name));
        ASSERT_FALSE(urls.last().isEmpty());
    }
    // An older copy: a file item left out of the panel would have its row chosen instead.
    seedStore({ QStringLiteral("an older copy") });
    AppProcess app(home.path());
    ASSERT_NO_FATAL_FAILURE(startApp(app));
    const struct
    {
        const char *what;
        QList<QByteArray> copied;
    } copies[] = {
        { "the one file", { urls[0] } },
        { "five files, the first of them", urls },
    };
    for (const auto &copy : copies) {
        SCOPED_TRACE(copy.what);
        const QByteArray list = copy.copied.join("\r\n") + "\r\n";
        ASSERT_TRUE(external.copyWithXclip(list, QStringLiteral("text/uri-list")));
        ASSERT_TRUE(waitUntil([&] { return stored().startsWith(QLatin1String("<file>")); }))
            << stored().toStdString();
        ASSERT_NO_FATAL_FAILURE(
            pasteFirstRow(app, QStringLiteral("file-name-not-utf8-%1.png").arg(copy.copied.size())));
        EXPECT_EQ(clipboardBytes(QStringLiteral("text/uri-list")), list);
        EXPECT_EQ(clipboardBytes(QStringLiteral("x-special/gnome-copied-files")),
            QByteArray("copy\n" + copy.copied.join('\n')));
        // The next copy is told from this one by the store's first row.
        ASSERT_TRUE(external.copyWithXclip("between the copies"));
        ASSERT_TRUE(waitForNewest(QStringLiteral("between the copies")));
    }
}

TEST_F(KeptAsCopiedX11Test, TenThousandBlacklistEntriesHoldUpNoCopyAndKeepOutEveryFormOfABlockedPlace)
{
    // Ten thousand entries, the last of them blocking example.org's private pages.
    const QString blacklist = (longBlacklist(9'999) << QStringLiteral("example.org/private")).join(u'\n');
    seedSettings(
        QJsonDocument(QJsonObject { { QStringLiteral("excludedURLPatterns"), blacklist } }).toJson());
    AppProcess app(home.path());
    ASSERT_NO_FATAL_FAILURE(startApp(app));
    qsizetype from = 0;
    for (int i = 0; i < 8; ++i) {
        // What the first link costs once (the patterns and lists a first copy reads) is not
        // the list's: the links after it are measured.
        if (i == 1)
            from = app.outputMark();
        const QString link = QStringLiteral("https://www.example.com/articles/%1?ref=home").arg(i);
        copyFromOutside(link);
        ASSERT_TRUE(waitForNewest(link)) << stored().toStdString();
    }
    ASSERT_TRUE(app.caughtUp());
    const MainThreadStalls stalls = MainThreadStalls::in(app.output().mid(from));
    std::printf(
        "[ measured ] 7 links copied beside a 10,000-entry blacklist: %s\n", qPrintable(stalls.describe()));
    // Reading the list for every link took 160-220 ms of the app's own work each time; a
    // loaded machine has made a link's own work take up to 60 ms.
    EXPECT_LT(stalls.longestWorkMs, 100.0) << stalls.describe().toStdString();

    // Forms a browser opens as the blocked place.
    ASSERT_NO_FATAL_FAILURE(copyEachThenMark(app,
        { "https://example\xE3\x80\x82org/private", "https://example.org//private/notes",
            "https://example.org/./private", "https://example.org/public/../private",
            "https://example.org\\private", "https://example.org/%70rivate", "HTTPS://EXAMPLE.ORG./private",
            "see https://example\xEF\xBC\x8Eorg/private now" }));
    const QStringList texts = storedTextsAt(storePath());
    EXPECT_EQ(texts.size(), 9) << stored().toStdString();
    EXPECT_EQ(texts.value(0), QStringLiteral("after the blocked forms"));
    EXPECT_EQ(texts.value(1), QStringLiteral("https://www.example.com/articles/7?ref=home"));
}

TEST_F(KeptAsCopiedX11Test, ABlockedHostInEveryFormThatOpensItIsKeptOut)
{
    seedSettings(
        QJsonDocument(QJsonObject { { QStringLiteral("excludedURLPatterns"),
                          QStringLiteral("example.org\npaypal.com\n127.0.0.1\nlocalhost\nintranet") } })
            .toJson());
    AppProcess app(home.path());
    ASSERT_NO_FATAL_FAILURE(startApp(app));
    // A name in full-width letters that no entry blocks is a link, kept as it was copied.
    const QString allowed = QString::fromUtf8("https://\uFF45\uFF58\uFF41\uFF4D\uFF50\uFF4C\uFF45\uFF0E"
                                              "\uFF4E\uFF45\uFF54/x");
    copyFromOutside(allowed);
    ASSERT_TRUE(waitForNewest(allowed)) << stored().toStdString();
    // Schemes named in a sentence are no addresses, nor is a blocked word after one.
    const QString sentence = QStringLiteral("https: and wss:paypal are words here, as is http:intranet");
    copyFromOutside(sentence);
    ASSERT_TRUE(waitForNewest(sentence)) << stored().toStdString();

    // Full-width letters and full stop; a small full stop (older resolvers read it as one); a soft
    // hyphen, which browsers leave out; full-width digits; an IPv6 address mapping 127.0.0.1; a
    // tab and line breaks, which browsers leave out; slashes missing or backward; the web's other
    // schemes; a blocked host of one word with a slash, a path or a port after the scheme.
    ASSERT_NO_FATAL_FAILURE(copyEachThenMark(app,
        { "https://\uFF50\uFF41\uFF59\uFF50\uFF41\uFF4C\uFF0E\uFF43\uFF4F\uFF4D/x",
            "https://example\uFE52org/x", "https://pay\u00ADpal.com/x",
            "http://\uFF11\uFF12\uFF17.\uFF10.\uFF10.\uFF11/x", "http://[::ffff:127.0.0.1]/x",
            "https://pay\tpal.com/", "ht\ntps://paypal.com/x\r\n", "HTTPS:paypal.com/x",
            "https:\\\\paypal.com\\", "wss://paypal.com/socket", "see ftp://example.org/pub now",
            "http:/localhost:8781/x", "https:intranet/x", "http:\\\\intranet\\x",
            "see http:localhost:8781 now" }));
    EXPECT_EQ(storedTextsAt(storePath()),
        (QStringList { QStringLiteral("after the blocked forms"), sentence, allowed }))
        << stored().toStdString();
}

TEST_F(KeptAsCopiedX11Test, AHistoryAndSettingsThatAreSymbolicLinksArePrivateWhereverTheyLead)
{
    const struct
    {
        const char *what;
        bool existed; // the files the links lead to were there, readable by all
    } cases[] = { { "links to files readable by all", true }, { "dangling links", false } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir caseHome;
        const QString elsewhere = caseHome.path() + QStringLiteral("/elsewhere");
        const QString store = caseHome.path() + QStringLiteral("/data/Tindlewick/default.store");
        const QString settings = caseHome.path() + QStringLiteral("/config/Tindlewick/defaults.json");
        const QString storeTarget = elsewhere + QStringLiteral("/history.store");
        const QString settingsTarget = elsewhere + QStringLiteral("/tindlewick.json");
        for (const QString &folder : { elsewhere, QFileInfo(store).path(), QFileInfo(settings).path() })
            ASSERT_TRUE(QDir().mkpath(folder));
        if (c.existed) {
            {
                SqliteConnection created;
                ASSERT_TRUE(created.open(storeTarget, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE));
            }
            QFile json(settingsTarget);
            ASSERT_TRUE(json.open(QIODevice::WriteOnly));
            json.write("{\"historyLimit\": 60}");
            json.close();
            for (const QString &path : { storeTarget, settingsTarget })
                ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
        }
        ASSERT_EQ(::chmod(QFile::encodeName(elsewhere).constData(), 0755), 0);
        ASSERT_TRUE(QFile::link(QStringLiteral("../../elsewhere/history.store"), store));
        ASSERT_TRUE(QFile::link(QStringLiteral("../../elsewhere/tindlewick.json"), settings));

        AppProcess app(caseHome.path());
        ASSERT_NO_FATAL_FAILURE(startApp(app));
        const QString text = QStringLiteral("private, %1").arg(QLatin1String(c.what));
        copyFromOutside(text);
        ASSERT_TRUE(waitUntil([&] { return storedTextsAt(store).value(0) == text; }));
        ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(settingsTarget); }));
        for (const QString &path : QStringList { storeTarget, storeTarget + QStringLiteral("-wal"),
                 storeTarget + QStringLiteral("-shm"), settingsTarget }) {
            ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
            EXPECT_EQ(fileMode(path), 0600u) << path.toStdString();
        }
        EXPECT_TRUE(QFileInfo(store).isSymLink() && QFileInfo(settings).isSymLink()) << "a link was replaced";
        EXPECT_EQ(fileMode(elsewhere), 0755u) << "the folder the links lead into is left alone";
        app.stop();
    }
}

TEST_F(KeptAsCopiedX11Test, ACopyMadeAsThePreviousCopysProgramQuitsIsKeptAndStaysOnTheClipboard)
{
    AppProcess app(home.path());
    ASSERT_NO_FATAL_FAILURE(startApp(app));
    // Each program copies, the app keeps its copy, and it is killed as the next one copies: just
    // before the next one starts, or just after. When it goes first, the app takes the clipboard
    // back with its copy about when the next one takes it.
    std::unique_ptr<QProcess> previous = ExternalClipboard::startXclip("copy 0");
    ASSERT_TRUE(previous);
    ASSERT_TRUE(waitForNewest(QStringLiteral("copy 0"))) << stored().toStdString();
    QElapsedTimer took;
    took.start();
    for (int pair = 1; pair <= 200; ++pair) {
        SCOPED_TRACE(pair);
        const QByteArray text = "copy " + QByteArray::number(pair);
        std::unique_ptr<QProcess> next;
        if (pair % 2 == 1) {
            previous->kill();
            next = ExternalClipboard::startXclip(text);
        } else {
            next = ExternalClipboard::startXclip(text);
            previous->kill();
        }
        ASSERT_TRUE(next);
        previous->waitForFinished(5000);
        ASSERT_TRUE(waitForNewest(QString::fromUtf8(text)))
            << "the copy was lost; the history holds "
            << storedTextsAt(storePath(), 3).join(u'|').toStdString();
        ASSERT_TRUE(app.caughtUp());
        ASSERT_EQ(clipboardBytes(QStringLiteral("UTF8_STRING")), text)
            << "an older copy was put back over it";
        previous = std::move(next);
    }
    previous->kill();
    previous->waitForFinished(5000);
    std::printf("[ measured ] 200 copies, each made as the program of the one before quit: %lld ms\n",
        qlonglong(took.elapsed()));
}

TEST_F(KeptAsCopiedX11Test, AClearStaysClearedWhileItsProgramRunsAndAfterItQuits)
{
    AppProcess app(home.path());
    ASSERT_NO_FATAL_FAILURE(startApp(app));
    const auto holds = [] { return clipboardBytes(QStringLiteral("UTF8_STRING")).toStdString(); };
    const struct
    {
        const char *name;
        // The program that made the copy quits before the clear: the app serves the copy.
        bool copierQuits;
    } cases[] = { { "a copy its program serves", false }, { "a copy the app serves for its program", true } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray text = QByteArray("then cleared: ") + c.name;
        std::unique_ptr<QProcess> copier = ExternalClipboard::startXclip(text);
        ASSERT_TRUE(copier);
        ASSERT_TRUE(waitForNewest(QString::fromUtf8(text))) << stored().toStdString();
        if (c.copierQuits) {
            copier->kill();
            ASSERT_TRUE(waitUntil([&] { return clipboardBytes(QStringLiteral("UTF8_STRING")) == text; }))
                << "the copy is not served after its program quit: " << holds();
        }
        // As `xsel --clipboard --clear` does, from a program that runs on.
        RawClipboardOwner clearing;
        ASSERT_TRUE(clearing.clear());
        ASSERT_TRUE(app.caughtUp());
        EXPECT_TRUE(clipboardBytes(QStringLiteral("TARGETS")).isEmpty())
            << "while the program that cleared it runs, the clipboard holds: " << holds();
        clearing.stop();
        ASSERT_TRUE(app.caughtUp());
        EXPECT_TRUE(clipboardBytes(QStringLiteral("TARGETS")).isEmpty())
            << "after the program that cleared it quit, the clipboard holds: " << holds();
        copier->kill();
        copier->waitForFinished(5000);
    }
    // A clear is no copy.
    EXPECT_EQ(stored(),
        QStringLiteral(
            "then cleared: a copy the app serves for its program | then cleared: a copy its program serves"));
}
