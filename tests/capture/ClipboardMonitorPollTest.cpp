// The poll and the reading of each change.
#include "CaptureTestSupport.h"

#include "common/NotificationCenter.h"

#include <QBuffer>

using namespace std::chrono_literals;

namespace {

class ClipboardMonitorPollTest : public CaptureTest
{
protected:
    // What happens between the copies kept and the quitting of the last program that copied.
    enum class Before {
        nothing,
        quitWhileRead,
        copyLeftOut,
        copyPassword,
        copyPasswordAgainElsewhere,
        deleteNewest,
        copyNotRead,
        quitToldAfterTheNextCopy
    };
    void keepAndQuit(const QStringList &texts, Before before)
    {
        for (const QString &copied : texts) {
            m_pasteboard.writeContentsOfAnotherApplication(text(copied));
            ASSERT_TRUE(tickAndWait());
        }
        const auto tick = [&] {
            m_clock.advance(std::chrono::milliseconds(ClipboardMonitor::minimumChangeIntervalMs + 10));
            m_monitor->checkForChanges();
        };
        auto copied = std::make_unique<QMimeData>();
        switch (before) {
        case Before::nothing:
            break;
        case Before::quitWhileRead: {
            m_pasteboard.writeContentsOfAnotherApplication(text(QStringLiteral("read as it quits")));
            const qsizetype saved = m_saved->size();
            tick();
            m_pasteboard.anotherApplicationQuits();
            ASSERT_TRUE(waitUntil([&] { return m_saved->size() > saved; }));
            return;
        }
        case Before::copyLeftOut:
            copied->setHtml(QStringLiteral("<b>no text</b>"));
            m_pasteboard.writeContentsOfAnotherApplication(std::move(copied));
            ASSERT_FALSE(tickAndWait());
            break;
        case Before::copyPassword:
        case Before::copyPasswordAgainElsewhere:
            m_settings->setFilterPasswords(false);
            copied->setText(QStringLiteral("hunter2"));
            copied->setData(PasteboardType::passwordManagerHint, "secret");
            m_pasteboard.writeContentsOfAnotherApplication(std::move(copied));
            ASSERT_TRUE(tickAndWait());
            // The same text from a program that marks nothing: the stored password moves to the top.
            if (before == Before::copyPasswordAgainElsewhere) {
                m_pasteboard.writeContentsOfAnotherApplication(text(QStringLiteral("hunter2")));
                ASSERT_TRUE(tickAndWait());
            }
            break;
        case Before::deleteNewest:
            context().remove(newest());
            ASSERT_TRUE(context().save().ok);
            break;
        case Before::copyNotRead:
            m_pasteboard.writeContentsOfAnotherApplication(text(QStringLiteral("never read")));
            m_pasteboard.anotherApplicationQuits();
            ASSERT_FALSE(tickAndWait());
            return;
        case Before::quitToldAfterTheNextCopy: {
            // The program quits and the next one copies at once: the app hears of both together.
            const qint64 quitAt = m_pasteboard.changeCount();
            m_pasteboard.writeContentsOfAnotherApplication(text(QStringLiteral("copied as it quit")));
            Q_EMIT m_pasteboard.ownerLeft(quitAt);
            ASSERT_TRUE(tickAndWait());
            return;
        }
        }
        m_pasteboard.anotherApplicationQuits();
    }
    QStringList storedTexts()
    {
        QStringList texts;
        for (const ClipboardItemPtr &item : history())
            texts.append(item->textContent().value_or(QStringLiteral("<none>")));
        return texts;
    }
};

} // namespace

TEST_F(ClipboardMonitorPollTest, WhatIsOnTheClipboardAtStartIsNeverCaptured)
{
    m_pasteboard.writeContents(text(QStringLiteral("there before")));
    createMonitor();
    EXPECT_EQ(m_monitor->lastChangeCount(), m_pasteboard.changeCount());
    tickExpectingNoCapture();
    EXPECT_TRUE(history().isEmpty());

    EXPECT_TRUE(copyText(QStringLiteral("copied later")));
    EXPECT_EQ(storedTexts(), QStringList { QStringLiteral("copied later") });
}

TEST_F(ClipboardMonitorPollTest, AChangeSoonerThanAQuarterSecondWaitsForALaterTick)
{
    ASSERT_TRUE(copyText(QStringLiteral("first")));
    m_pasteboard.writeContents(text(QStringLiteral("second")));
    m_clock.advance(100ms);
    m_monitor->checkForChanges();
    QCoreApplication::processEvents();
    EXPECT_EQ(storedTexts(), QStringList { QStringLiteral("first") }) << "not yet accepted";
    EXPECT_NE(m_monitor->lastChangeCount(), m_pasteboard.changeCount());

    m_pasteboard.writeContents(text(QStringLiteral("third")));
    m_clock.advance(100ms);
    m_monitor->checkForChanges();
    EXPECT_EQ(storedTexts(), QStringList { QStringLiteral("first") });

    // The first tick at least 0.25 s after the accepted change takes what is there then.
    m_clock.advance(60ms);
    const qsizetype saved = m_saved->size();
    m_monitor->checkForChanges();
    ASSERT_TRUE(waitUntil([&] { return m_saved->size() > saved; }));
    EXPECT_EQ(storedTexts(), (QStringList { QStringLiteral("third"), QStringLiteral("first") }));
    EXPECT_EQ(m_monitor->lastChangeCount(), m_pasteboard.changeCount());
}

TEST_F(ClipboardMonitorPollTest, IgnoreNextChangeSkipsOnlyTheAppsOwnWrite)
{
    const struct
    {
        const char *name;
        bool anotherApplicationFollows;
        QStringList expected;
    } cases[] = {
        { "the app's own write", false, {} },
        { "another application copied in the same tick", true, { QStringLiteral("the user's copy") } },
    };
    for (const auto &test : cases) {
        resetCapture();
        m_monitor->setIgnoreNextChange(true);
        m_pasteboard.writeContents(text(QStringLiteral("the app's paste")));
        if (test.anotherApplicationFollows) {
            m_pasteboard.writeContentsOfAnotherApplication(text(QStringLiteral("the user's copy")));
            EXPECT_TRUE(tickAndWait()) << test.name;
        } else {
            tickExpectingNoCapture();
        }
        EXPECT_FALSE(m_monitor->ignoreNextChange()) << test.name;
        EXPECT_EQ(storedTexts(), test.expected) << test.name;
        EXPECT_TRUE(copyText(QStringLiteral("next"))) << test.name;
        EXPECT_EQ(storedTexts().first(), QStringLiteral("next")) << test.name;
    }
}

TEST_F(ClipboardMonitorPollTest, ThePollRunsOnItsOwnEveryTenthOfASecond)
{
    m_monitor->startMonitoring();
    m_pasteboard.writeContents(text(QStringLiteral("polled")));
    // Each step of time, and whether the poll read the clipboard at its end.
    const auto step = [&](std::chrono::milliseconds by) {
        const int readings = m_pasteboard.readCount();
        m_clock.advance(by);
        return m_pasteboard.readCount() > readings;
    };
    EXPECT_FALSE(step(99ms)) << "polled before a tenth of a second";
    EXPECT_TRUE(step(1ms));
    ASSERT_TRUE(waitUntil([&] { return !history().isEmpty(); }));
    EXPECT_EQ(storedTexts(), QStringList { QStringLiteral("polled") });

    // Copies in quick succession: the poll goes on every tenth of a second, takes none sooner
    // than a quarter of a second after the last, and then takes the newest.
    for (int i = 0; i < 3; ++i)
        m_pasteboard.writeContents(text(QStringLiteral("burst %1").arg(i)));
    EXPECT_FALSE(step(100ms));
    EXPECT_FALSE(step(100ms));
    EXPECT_FALSE(step(99ms));
    EXPECT_TRUE(step(1ms));
    ASSERT_TRUE(waitUntil([&] { return storedTexts().first() == u"burst 2"; }));
    EXPECT_EQ(storedTexts().size(), 2);

    // Nothing new: the poll goes on without reading.
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(step(100ms));
}

TEST_F(ClipboardMonitorPollTest, ASecondMonitorTakesOverTheSharedReference)
{
    EXPECT_EQ(ClipboardMonitor::shared(), m_monitor.get());
    ClipboardMonitor second(container(), m_pasteboard, m_workspace, *m_settings, *m_defaults);
    EXPECT_EQ(ClipboardMonitor::shared(), &second);
}

TEST_F(ClipboardMonitorPollTest, ThemeChangesAreDebouncedIntoOneRefresh)
{
    QSignalSpy refreshes(m_monitor.get(), &ClipboardMonitor::codePreviewsRefreshRequested);
    ASSERT_TRUE(waitUntil([&] { return refreshes.size() == 1; }));
    EXPECT_EQ(refreshes.takeFirst().at(0).toBool(), false)
        << "once after creation, for items lacking a preview";

    for (int i = 0; i < 3; ++i) {
        NotificationCenter::defaultCenter().post(Notifications::codeThemeChanged);
        m_clock.advance(300ms);
    }
    EXPECT_TRUE(refreshes.isEmpty());
    m_clock.advance(std::chrono::milliseconds(ClipboardMonitor::themeDebounceMs) - 300ms - 1ms);
    EXPECT_TRUE(refreshes.isEmpty()) << "sooner than a second after the last change";
    m_clock.advance(1ms);
    ASSERT_EQ(refreshes.size(), 1);
    EXPECT_EQ(refreshes.takeFirst().at(0).toBool(), true);
    m_clock.advance(10s);
    EXPECT_TRUE(refreshes.isEmpty()) << "one refresh for the whole series";
}

TEST_F(ClipboardMonitorPollTest, PasswordsAreKeptOutWhileTheFilterIsOn)
{
    const struct
    {
        const char *name;
        std::function<void(QMimeData &)> mark;
        QString front;
    } cases[] = {
        { "concealed type",
            [](QMimeData &m) { m.setData(QStringLiteral("org.nspasteboard.ConcealedType"), {}); }, {} },
        { "KDE hint", [](QMimeData &m) { m.setData(QStringLiteral("x-kde-passwordManagerHint"), "secret"); },
            {} },
        { "password manager in front", [](QMimeData &) {}, QStringLiteral("org.keepassxc.KeePassXC") },
        { "vault page",
            [](QMimeData &m) {
                m.setData(QStringLiteral("chromium/x-source-url"), "https://vault.bitwarden.com/#/");
            },
            QStringLiteral("google-chrome") },
    };
    for (const auto &test : cases) {
        for (const bool filter : { true, false }) {
            m_settings->setFilterPasswords(filter);
            resetCapture();
            if (test.front.isEmpty())
                m_workspace.frontmost.reset();
            else
                setFront(test.front);
            auto mime = text(QStringLiteral("hunter2"));
            test.mark(*mime);
            // An announced image must not make a dropped change be read again.
            if (filter)
                mime->setData(QStringLiteral("image/png"), QByteArray());
            EXPECT_EQ(copy(std::move(mime)), !filter) << test.name;
            if (filter) {
                EXPECT_TRUE(history().isEmpty()) << test.name;
            } else {
                ASSERT_EQ(history().size(), 1) << test.name;
                EXPECT_TRUE(newest()->isFromPasswordManager()) << test.name;
            }
        }
    }
    m_settings->setFilterPasswords(true);
}

TEST_F(ClipboardMonitorPollTest, CopiesFromAdultPagesAreKeptOutWhileTheFilterIsOn)
{
    setFront(QStringLiteral("google-chrome"));
    for (const bool filter : { true, false }) {
        m_settings->setFilterAdultContent(filter);
        resetCapture();
        for (const char *type : { "chromium/x-source-url", "text/x-moz-url-priv" }) {
            auto mime = text(QStringLiteral("an innocent sentence %1").arg(QString::fromLatin1(type)));
            mime->setData(QString::fromLatin1(type), "https://www.pornhub.com/view_video.php?viewkey=1");
            EXPECT_EQ(copy(std::move(mime)), !filter) << type;
        }
    }
    m_settings->setFilterAdultContent(true);
}

TEST_F(ClipboardMonitorPollTest, ALateImageIsReadAgainUntilItArrives)
{
    LatePasteboard late;
    startLateCapture(late, { QStringLiteral("image/png") });
    for (int retry = 0; retry < 3; ++retry) {
        ASSERT_TRUE(advanceOnceWaiting(99ms));
        EXPECT_EQ(late.readings, 1 + retry) << "read again sooner than a tenth of a second";
        m_clock.advance(1ms);
        EXPECT_EQ(late.readings, 2 + retry);
    }
    EXPECT_TRUE(history().isEmpty());
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    late.available.insert(QStringLiteral("image/png"), png);
    ASSERT_TRUE(advanceOnceWaiting(std::chrono::milliseconds(ClipboardMonitor::captureRetryIntervalMs)));
    ASSERT_TRUE(waitUntil([&] { return m_saved->size() == 1; }));
    EXPECT_EQ(late.readings, 5);
    ASSERT_EQ(history().size(), 1);
    EXPECT_EQ(newest()->mediaImageData(), png);
}

TEST_F(ClipboardMonitorPollTest, ReadingAgainEndsAfterTenRetries)
{
    const struct
    {
        const char *name;
        QStringList offered;
        QString front;
    } cases[] = {
        { "image never arrives", { QStringLiteral("image/png") }, QStringLiteral("org.gnome.Nautilus") },
        { "Chrome in front of an empty clipboard", {}, QStringLiteral("google-chrome") },
    };
    for (const auto &test : cases) {
        LatePasteboard late;
        setFront(test.front);
        startLateCapture(late, test.offered);
        for (int retry = 0; retry < ClipboardMonitor::maxCaptureRetries; ++retry)
            ASSERT_TRUE(
                advanceOnceWaiting(std::chrono::milliseconds(ClipboardMonitor::captureRetryIntervalMs)))
                << test.name;
        ASSERT_TRUE(waitUntil([&] { return m_discarded->size() == 1; })) << test.name;
        EXPECT_EQ(late.readings, 1 + ClipboardMonitor::maxCaptureRetries) << test.name;
        EXPECT_EQ(m_clock.pendingCount(), 0) << test.name << ": no further reading waits";
    }
}

TEST_F(ClipboardMonitorPollTest, AReadingThatFailsIsNoCaptureStillUnderWay)
{
    LatePasteboard late;
    late.readingFails = true;
    startLateCapture(late, { QStringLiteral("text/plain") });
    EXPECT_EQ(late.readings, 1);
    // Quitting waits for the steps under way: a reading that failed is over.
    EXPECT_TRUE(waitUntil([&] { return m_monitor->captureStepsUnderWay() == 0; }))
        << m_monitor->captureStepsUnderWay() << " steps still counted";
    EXPECT_TRUE(history().isEmpty());
}

// At quit the capture takes the change the poll has not seen yet and is waited for until the
// deadline. The wait ends in the turn its copy is saved: what the main thread does next finds no
// capture under way. A copy whose program has not sent it by the deadline is the one not kept.
TEST_F(ClipboardMonitorPollTest, AtQuitTheWaitEndsAsTheCopyIsSavedAndACopyNotReadIsNotKept)
{
    const struct
    {
        const char *name;
        bool readingHeld;
        std::chrono::milliseconds deadline;
        bool ended;
        int notKept;
    } rows[] = {
        { "the copy is read and saved", false, 30s, true, 0 },
        { "its program has not sent it by the deadline", true, 0ms, false, 1 },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        LatePasteboard late;
        createMonitor(&late);
        late.offered = { QStringLiteral("text/plain") };
        late.available.insert(QStringLiteral("text/plain"), "copied as the app quits");
        if (row.readingHeld) {
            late.heldReading = std::make_shared<QPromise<PasteboardContents>>();
            late.heldReading->start();
        }
        late.count = 1;
        std::optional<int> underWayAfterTheSave;
        QObject::connect(m_monitor.get(), &ClipboardMonitor::itemSaved, m_monitor.get(), [&] {
            QMetaObject::invokeMethod(
                m_monitor.get(), [&] { underWayAfterTheSave = m_monitor->captureStepsUnderWay(); },
                Qt::QueuedConnection);
        });
        m_monitor->stop();
        EXPECT_EQ(m_monitor->waitUntilEnded(QDeadlineTimer(row.deadline)), row.ended);
        EXPECT_EQ(m_monitor->copiesNotKept(), row.notKept);
        EXPECT_EQ(history().size(), row.ended ? 1 : 0);
        if (row.ended) {
            ASSERT_TRUE(waitUntil([&] { return underWayAfterTheSave.has_value(); }));
            EXPECT_EQ(*underWayAfterTheSave, 0) << "the copy saved still counted as under way";
        }
        if (late.heldReading) {
            late.heldReading->future().cancel();
            late.heldReading->finish();
            EXPECT_TRUE(waitUntil([&] { return m_monitor->captureStepsUnderWay() == 0; }));
        }
        resetCapture();
    }
}

TEST_F(ClipboardMonitorPollTest, NoRetryForFilesAndNoneOnceTheClipboardChangedAgain)
{
    // Files announced with an image: the files are what was copied.
    QTemporaryDir folder;
    auto files = std::make_unique<QMimeData>();
    files->setUrls({ QUrl::fromLocalFile(folder.filePath(QStringLiteral("a.txt"))) });
    files->setData(QStringLiteral("image/png"), QByteArray());
    EXPECT_TRUE(copy(std::move(files)));
    EXPECT_EQ(newest()->type(), ClipboardItemType::file);
    EXPECT_EQ(m_clock.pendingCount(), 0) << "a file is not read again";

    LatePasteboard late;
    startLateCapture(late, { QStringLiteral("image/png") });
    ASSERT_TRUE(advanceOnceWaiting(std::chrono::milliseconds(ClipboardMonitor::captureRetryIntervalMs)));
    EXPECT_EQ(late.readings, 2);
    // A newer change: the waiting retry leaves it to the poll.
    late.count = 2;
    late.offered = { QStringLiteral("text/plain") };
    late.available.insert(QStringLiteral("text/plain"), "newer");
    ASSERT_TRUE(advanceOnceWaiting(std::chrono::milliseconds(ClipboardMonitor::captureRetryIntervalMs)));
    EXPECT_EQ(late.readings, 2);
    EXPECT_EQ(m_clock.pendingCount(), 0);
    EXPECT_TRUE(tickAndWait());
    EXPECT_EQ(newest()->textContent(), QStringLiteral("newer"));
}

TEST_F(ClipboardMonitorPollTest, SvgIsRecognisedFromTheStartOfTheText)
{
    const struct
    {
        QString text;
        bool svg;
    } cases[] = {
        { QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\"/>"), true },
        { QStringLiteral("  \n<?xml version=\"1.0\"?><svg/>"), true },
        { QStringLiteral("<SVG/>"), false },
        { QString(500, u' ') + QStringLiteral("<svg/>"), false },
        { QString(494, u' ') + QStringLiteral("<svg/>"), true },
        { QString(), false },
        { QStringLiteral("just text"), false },
    };
    for (const auto &test : cases)
        EXPECT_EQ(PasteboardSnapshot::looksLikeSVG(test.text), test.svg) << test.text.trimmed().toStdString();
    EXPECT_FALSE(PasteboardSnapshot::looksLikeSVG(std::nullopt));
}

TEST_F(ClipboardMonitorPollTest, TheSourceApplicationIsTheOneInFront)
{
    setFront(QStringLiteral("org.kde.kate"), QStringLiteral("Kate"));
    ASSERT_TRUE(copyText(QStringLiteral("from Kate")));
    EXPECT_EQ(newest()->sourceAppBundleIdentifier(), QStringLiteral("org.kde.kate"));
    EXPECT_EQ(newest()->sourceAppName(), QStringLiteral("Kate"));

    m_workspace.frontmost.reset();
    ASSERT_TRUE(copyText(QStringLiteral("from nowhere")));
    EXPECT_EQ(newest()->sourceAppBundleIdentifier(), std::nullopt);
    EXPECT_EQ(newest()->sourceAppName(), std::nullopt);
}

TEST_F(ClipboardMonitorPollTest, ACopyWhoseProgramQuitsIsPutBackOnlyWhenItWasKept)
{
    const struct
    {
        const char *name;
        // Copies by other programs, each kept, and what happens before the last program quits.
        QStringList kept;
        Before before;
        // The text of the item put back; empty: none.
        QString putBack;
    } cases[] = {
        { "a kept copy", { QStringLiteral("kept") }, Before::nothing, QStringLiteral("kept") },
        { "a copy the program quits while it is read and saved", {}, Before::quitWhileRead,
            QStringLiteral("read as it quits") },
        { "a repeat of a stored copy",
            { QStringLiteral("again"), QStringLiteral("between"), QStringLiteral("again") }, Before::nothing,
            QStringLiteral("again") },
        { "a copy left out, after a kept one", { QStringLiteral("kept before") }, Before::copyLeftOut, {} },
        { "a password manager's copy, kept while the filter is off", {}, Before::copyPassword, {} },
        { "a password manager's copy, copied again from a program that marks nothing",
            { QStringLiteral("kept before") }, Before::copyPasswordAgainElsewhere, {} },
        { "a copy deleted from the history before its program quits", { QStringLiteral("deleted") },
            Before::deleteNewest, {} },
        { "a copy read after the program before it quit, its own program still there",
            { QStringLiteral("kept before") }, Before::quitToldAfterTheNextCopy, {} },
        { "a program that quits before its copy is read, after a kept copy",
            { QStringLiteral("kept before") }, Before::copyNotRead, {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        resetCapture();
        QList<ClipboardItemPtr> putBack;
        QObject::connect(m_monitor.get(), &ClipboardMonitor::copyOutlivedItsProgram,
            [&](const ClipboardItemPtr &item) { putBack.append(item); });
        ASSERT_NO_FATAL_FAILURE(keepAndQuit(c.kept, c.before));
        const qint64 count = m_pasteboard.changeCount();
        QCoreApplication::processEvents();
        ASSERT_EQ(putBack.size(), c.putBack.isEmpty() ? 0 : 1);
        if (!c.putBack.isEmpty()) {
            EXPECT_EQ(putBack.first()->textContent(), c.putBack);
            EXPECT_EQ(putBack.first(), newest());
        }
        // The program's going is no change to read.
        EXPECT_EQ(m_pasteboard.changeCount(), count);
        tickExpectingNoCapture();
        m_settings->setFilterPasswords(true);
    }
}
