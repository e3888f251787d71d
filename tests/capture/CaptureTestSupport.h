#pragma once

#include "capture/ClipboardMonitor.h"
#include "capture/CodeClassifier.h"
#include "capture/PasteboardSnapshot.h"
#include "model/AppSettings.h"
#include "model/StoreTestSupport.h"
#include "platform/Pasteboard.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "support/ManualClock.h"
#include "support/TestSupport.h"

#include <QMimeData>
#include <QPromise>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>
#include <stdexcept>

// A code detector and language network whose answers tests set; it records what it was
// asked. With `onOtherThread` the answers come from a worker thread, as the real ones do.
class FakeCodeClassifier final : public CodeClassifier
{
public:
    Detection detection;
    std::optional<LanguageGuess> guess;
    bool onOtherThread = false;
    bool cancel = false;
    bool fail = false;
    QStringList detectedTexts;
    QStringList rankedTexts;

    QFuture<Detection> detect(const QString &text) override
    {
        detectedTexts.append(text);
        if (cancel || fail)
            return unanswered<Detection>();
        const Detection answer = detection;
        return onOtherThread ? QtConcurrent::run([answer] { return answer; })
                             : QtFuture::makeReadyFuture(answer);
    }
    QFuture<std::optional<LanguageGuess>> rankLanguages(const QString &text) override
    {
        rankedTexts.append(text);
        if (cancel || fail)
            return unanswered<std::optional<LanguageGuess>>();
        const std::optional<LanguageGuess> answer = guess;
        return onOtherThread ? QtConcurrent::run([answer] { return answer; })
                             : QtFuture::makeReadyFuture(answer);
    }

private:
    // A future that was cancelled, or that failed with an exception.
    template <typename T> QFuture<T> unanswered() const
    {
        QPromise<T> promise;
        QFuture<T> future = promise.future();
        promise.start();
        if (fail)
            promise.setException(std::make_exception_ptr(std::runtime_error("model failed")));
        else
            future.cancel();
        promise.finish();
        return future;
    }
};

// A clipboard whose contents can change without a change of its count: data that its
// owner provides late.
class LatePasteboard final : public Pasteboard
{
    Q_OBJECT
public:
    QStringList offered;
    QHash<QString, QByteArray> available;
    qint64 count = 0;
    int readings = 0;
    bool readingFails = false;
    // Set: the reading ends only when the test finishes this promise (a program that has not sent
    // its copy yet).
    std::shared_ptr<QPromise<PasteboardContents>> heldReading;

    qint64 changeCount() const override { return count; }
    bool ownsContents() const override { return false; }
    QStringList types() const override { return offered; }
    std::optional<QByteArray> data(const QString &type) const override
    {
        if (!offered.contains(type))
            return std::nullopt;
        return available.value(type);
    }
    void writeContents(std::unique_ptr<QMimeData>) override { ++count; }
    void clearContents() override { ++count; }
    QFuture<PasteboardContents> readContents(
        const QList<QStringList> &requests, const PasteboardReadLimits &limits = {}) const override
    {
        ++const_cast<LatePasteboard *>(this)->readings;
        if (heldReading)
            return heldReading->future();
        if (readingFails) {
            QPromise<PasteboardContents> failed;
            failed.start();
            failed.setException(std::make_exception_ptr(std::runtime_error("the owner went away")));
            failed.finish();
            return failed.future();
        }
        return Pasteboard::readContents(requests, limits);
    }
};

// An item saved in the store, copied `secondsAgo` before now.
inline ClipboardItemPtr storeSavedItem(ModelContext &context, ClipboardItemType type,
    const ClipboardItem::Content &content, bool pinned, int secondsAgo)
{
    ClipboardItemPtr item = ClipboardItem::create(type, content);
    item->setTimestamp(QDateTime::currentDateTimeUtc().addSecs(-secondsAgo));
    item->setIsPinned(pinned);
    context.insert(item);
    EXPECT_TRUE(context.save().ok);
    return item;
}

// A monitor over a fresh store, a memory clipboard, a fake workspace and its own settings,
// on a clock that only moves when a test moves it.
class CaptureTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        m_defaults = std::make_unique<UserDefaults>(m_folder->filePath(QStringLiteral("defaults.json")));
        m_settings = std::make_unique<AppSettings>(*m_defaults);
        createMonitor();
    }
    void TearDown() override
    {
        m_monitor.reset();
        StoreTest::TearDown();
    }

    // A new store and a new monitor over it (the old monitor goes first: its database
    // actor works on the old store).
    void resetCapture()
    {
        m_monitor.reset();
        resetStore();
        createMonitor();
    }

    void createMonitor(Pasteboard *pasteboard = nullptr)
    {
        m_monitor.reset();
        m_monitor = std::make_unique<ClipboardMonitor>(
            container(), pasteboard ? *pasteboard : m_pasteboard, m_workspace, *m_settings, *m_defaults);
        m_monitor->setCodeClassifier(&m_classifier);
        m_monitor->setClock(m_clock);
        m_saved = std::make_unique<QSignalSpy>(m_monitor.get(), &ClipboardMonitor::itemSaved);
        m_discarded = std::make_unique<QSignalSpy>(m_monitor.get(), &ClipboardMonitor::changeDiscarded);
    }

    static std::unique_ptr<QMimeData> text(const QString &plainText)
    {
        auto mime = std::make_unique<QMimeData>();
        mime->setText(plainText);
        return mime;
    }

    void setFront(const QString &bundleIdentifier, const QString &name = QString())
    {
        m_workspace.frontmost
            = RunningApplication { bundleIdentifier, name.isEmpty() ? bundleIdentifier : name, 42, 7 };
    }

    // Writes the clipboard and lets the poll take it: time moves on past the minimum
    // interval, one tick runs, and the capture is awaited. False when nothing came of it.
    bool copy(std::unique_ptr<QMimeData> mime)
    {
        m_pasteboard.writeContents(std::move(mime));
        return tickAndWait();
    }
    bool copyText(const QString &plainText) { return copy(text(plainText)); }

    // One tick after the minimum interval that must start no capture at all (a capture
    // starts by reading the clipboard, there and then).
    void tickExpectingNoCapture()
    {
        const int readings = m_pasteboard.readCount();
        m_clock.advance(std::chrono::milliseconds(ClipboardMonitor::minimumChangeIntervalMs + 10));
        m_monitor->checkForChanges();
        EXPECT_EQ(m_pasteboard.readCount(), readings) << "the change was read";
    }

    // One tick after the minimum interval; true when an item was saved.
    bool tickAndWait()
    {
        const qsizetype saved = m_saved->size();
        const qsizetype finished = saved + m_discarded->size();
        m_clock.advance(std::chrono::milliseconds(ClipboardMonitor::minimumChangeIntervalMs + 10));
        m_monitor->checkForChanges();
        finishCapture(finished);
        return m_saved->size() > saved;
    }

    // Waits for the capture under way to end (saved or discarded, more than `finished` in
    // all), moving the clock on through the readings it waits to try again; false when it
    // did not end.
    bool finishCapture(qsizetype finished)
    {
        const auto ended = [&] { return m_saved->size() + m_discarded->size() > finished; };
        for (int retry = 0; retry <= ClipboardMonitor::maxCaptureRetries; ++retry) {
            if (!waitUntil([&] { return ended() || m_clock.pendingCount() > 0; }) || ended())
                break;
            m_clock.advance(std::chrono::milliseconds(ClipboardMonitor::captureRetryIntervalMs));
        }
        return waitUntil(ended);
    }

    // What processClipboardContent builds of a snapshot, awaited.
    std::optional<ClipboardMonitor::CapturedContent> classify(const PasteboardSnapshot &snapshot)
    {
        QFuture<std::optional<ClipboardMonitor::CapturedContent>> future
            = m_monitor->processClipboardContent(snapshot);
        waitUntil([&] { return future.isFinished(); });
        return future.isFinished() && future.resultCount() > 0 ? future.result() : std::nullopt;
    }

    QList<ClipboardItemPtr> history() { return context().fetch(FetchDescriptor::newestFirst()).items; }

    ClipboardItemPtr newest()
    {
        const QList<ClipboardItemPtr> items = history();
        return items.isEmpty() ? nullptr : items.first();
    }

    ClipboardItemPtr storeItem(ClipboardItemType type, const ClipboardItem::Content &content,
        bool pinned = false, int secondsAgo = 60)
    {
        return storeSavedItem(context(), type, content, pinned, secondsAgo);
    }

    // Starts the capture of a change on a clipboard whose data may come late.
    void startLateCapture(LatePasteboard &late, const QStringList &offered)
    {
        createMonitor(&late);
        late.offered = offered;
        late.count = 1;
        m_clock.advance(std::chrono::seconds(1));
        m_monitor->checkForChanges();
    }

    // Lets the background work of a capture come back until the monitor waits for its clock
    // (a retry, say), then moves the clock on; false when nothing came to wait for it.
    bool advanceOnceWaiting(std::chrono::milliseconds by)
    {
        if (!waitUntil([&] { return m_clock.pendingCount() > 0; }))
            return false;
        m_clock.advance(by);
        return true;
    }

    MemoryPasteboard m_pasteboard;
    FakeWorkspace m_workspace;
    FakeCodeClassifier m_classifier;
    std::unique_ptr<UserDefaults> m_defaults;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<ClipboardMonitor> m_monitor;
    std::unique_ptr<QSignalSpy> m_saved;
    std::unique_ptr<QSignalSpy> m_discarded;
    ManualClock m_clock;
};
