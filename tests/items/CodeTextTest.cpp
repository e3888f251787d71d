#include "items/CodeText.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QPromise>
#include <QTemporaryDir>

#include <algorithm>

namespace {

// Stand-ins for highlight.js: the first word becomes a keyword; the relevance counts the
// calls the engine has served, the language says which stand-in answered.
const char *kFastScript = R"JS(
var calls = 0;
function answer(text, language) {
  calls++;
  var first = text.split(" ")[0];
  return { value: '<span class="hljs-keyword">' + first + '</span>' + text.slice(first.length),
           language: language, relevance: calls, illegal: false };
}
var hljs = { highlight: function (text, options) { return answer(text, options.language); },
             highlightAuto: function (text) { return answer(text, "auto"); } };
)JS";

// Stands in for an engine whose speed is the question: it counts the requests and keeps their
// futures, and while its gate is closed it holds the requests back until the test opens it.
// The script engine it wraps answers them.
class GatedEngine final : public HighlightEngine
{
public:
    GatedEngine(std::shared_ptr<Highlight> engine, bool closed)
        : m_engine(std::move(engine))
        , m_closed(closed)
    { }

    QFuture<HighlightResult> request(
        const QString &text, const HighlightMode &mode, const HighlightColors &colors) override
    {
        auto promise = std::make_shared<QPromise<HighlightResult>>();
        promise->start();
        m_requests.append({ text, mode, colors, promise });
        m_futures.append(promise->future());
        if (!m_closed)
            answer(m_requests.takeLast());
        return m_futures.last();
    }

    void open()
    {
        m_closed = false;
        while (!m_requests.isEmpty())
            answer(m_requests.takeFirst());
    }
    qsizetype requestCount() const { return m_futures.size(); }
    // Every request answered, and the answers delivered to the views that wait for them.
    bool settle() const
    {
        const bool answered = waitUntil([&] {
            return m_requests.isEmpty() && std::all_of(m_futures.begin(), m_futures.end(), [](const auto &f) {
                return f.isFinished();
            });
        });
        QCoreApplication::sendPostedEvents();
        return answered;
    }

private:
    struct Request
    {
        QString text;
        HighlightMode mode;
        HighlightColors colors;
        std::shared_ptr<QPromise<HighlightResult>> promise;
    };

    void answer(const Request &request)
    {
        m_engine->request(request.text, request.mode, request.colors)
            .then([promise = request.promise](const HighlightResult &result) {
                promise->addResult(result);
                promise->finish();
            })
            .onFailed([promise = request.promise](const HLJSError &error) {
                promise->setException(std::make_exception_ptr(error));
                promise->finish();
            });
    }

    std::shared_ptr<Highlight> m_engine;
    bool m_closed;
    QList<Request> m_requests;
    QList<QFuture<HighlightResult>> m_futures;
};

class CodeTextTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_script = std::make_shared<Highlight>(write(QStringLiteral("fast.js"), kFastScript));
        m_fast = std::make_shared<GatedEngine>(m_script, false);
        m_slow = std::make_shared<GatedEngine>(m_script, true);
        m_failing = std::make_shared<Highlight>(m_dir.filePath(QStringLiteral("absent.js")));
    }

    QString write(const QString &name, const char *content)
    {
        QFile file(m_dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    }

    // Records the signals of a view in the order they come.
    static QStringList *record(CodeText &view)
    {
        auto *events = new QStringList;
        QObject::connect(&view, &CodeText::destroyed, [events] { delete events; });
        QObject::connect(&view, &CodeText::highlightFinished, [events](const HighlightOutcome &outcome) {
            events->append(std::holds_alternative<HighlightResult>(outcome)
                    ? QStringLiteral("finished:result")
                    : QStringLiteral("finished:error"));
        });
        QObject::connect(&view, &CodeText::highlightSucceeded,
            [events](const HighlightResult &) { events->append(QStringLiteral("succeeded")); });
        QObject::connect(&view, &CodeText::highlightFailed,
            [events](const HLJSError &) { events->append(QStringLiteral("failed")); });
        return events;
    }

    static QPalette paletteWithWindow(const QColor &window)
    {
        QPalette palette;
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::WindowText, window.lightness() < 128 ? Qt::white : Qt::black);
        return palette;
    }

    QTemporaryDir m_dir;
    std::shared_ptr<Highlight> m_script;
    std::shared_ptr<GatedEngine> m_fast;
    std::shared_ptr<GatedEngine> m_slow; // answers only once opened
    std::shared_ptr<Highlight> m_failing;
};

} // namespace

TEST_F(CodeTextTest, ShowsThePlainTextUntilTheHighlightArrives)
{
    CodeText view(QStringLiteral("let x = 1"));
    view.setHighlight(m_fast);
    view.setLanguage(HighlightLanguage::rust);
    QStringList *events = record(view);
    view.show();

    EXPECT_FALSE(view.highlightResult());
    EXPECT_EQ(view.displayedText(), AttributedText::plain(QStringLiteral("let x = 1")));

    ASSERT_TRUE(waitUntil([&] { return view.highlightResult().has_value(); }));
    EXPECT_EQ(*events, (QStringList { QStringLiteral("finished:result"), QStringLiteral("succeeded") }));
    const AttributedText shown = view.displayedText();
    EXPECT_EQ(shown.text, QStringLiteral("let x = 1"));
    // The default colours are Xcode's; the default palette is light.
    EXPECT_FALSE(view.isDark());
    EXPECT_EQ(shown.formatAt(0).foreground().color(), QColor(0xaa, 0x0d, 0x91));
    EXPECT_EQ(view.highlightResult()->language, QStringLiteral("rust"));
    EXPECT_EQ(view.highlightResult()->backgroundColor, QColor(255, 255, 255));
}

TEST_F(CodeTextTest, AFailureIsSignalledAndLeavesTheTextAsItWas)
{
    CodeText view(QStringLiteral("x = 1"));
    view.setHighlight(m_failing);
    QStringList *events = record(view);
    view.show();
    ASSERT_TRUE(waitUntil([&] { return events->size() == 2; }));
    EXPECT_EQ(*events, (QStringList { QStringLiteral("finished:error"), QStringLiteral("failed") }));
    EXPECT_FALSE(view.highlightResult());
    EXPECT_EQ(view.displayedText(), AttributedText::plain(QStringLiteral("x = 1")));

    // A later failure keeps the result an earlier success gave.
    view.setHighlight(m_fast);
    ASSERT_TRUE(waitUntil([&] { return view.highlightResult().has_value(); }));
    const HighlightResult before = *view.highlightResult();
    events->clear();
    view.setHighlight(m_failing);
    ASSERT_TRUE(waitUntil([&] { return events->size() == 2; }));
    EXPECT_EQ(events->last(), QStringLiteral("failed"));
    EXPECT_EQ(view.highlightResult(), before);
}

TEST_F(CodeTextTest, SwitchingAppearanceHighlightsAgainWithTheOtherColours)
{
    CodeText view(QStringLiteral("fn main"));
    view.setHighlight(m_fast);
    view.setTheme(HighlightTheme::solarized);
    view.setPalette(paletteWithWindow(QColor(240, 240, 240)));
    view.show();
    ASSERT_TRUE(waitUntil([&] { return view.highlightResult().has_value(); }));
    EXPECT_EQ(view.highlightResult()->backgroundColor, QColor(0xfd, 0xf6, 0xe3));
    EXPECT_EQ(view.displayedText().formatAt(0).foreground().color(), QColor(0x6c, 0x71, 0xc4));

    view.setPalette(paletteWithWindow(QColor(30, 30, 30)));
    EXPECT_TRUE(view.isDark());
    ASSERT_TRUE(
        waitUntil([&] { return view.highlightResult()->backgroundColor == QColor(0x00, 0x2b, 0x36); }));
    EXPECT_EQ(
        view.displayedText().formatAt(3).foreground().color(), QColor(0x93, 0xa1, 0xa1)); // dark text colour
}

TEST_F(CodeTextTest, HighlightsAgainOnChangesButNotOnReappearing)
{
    CodeText view(QStringLiteral("select 1"));
    view.setHighlight(m_fast);
    QStringList *events = record(view);
    view.show();
    ASSERT_TRUE(waitUntil([&] { return events->size() == 2; }));
    EXPECT_EQ(view.highlightResult()->language, QStringLiteral("auto"));

    view.hide();
    view.show();
    EXPECT_EQ(m_fast->requestCount(), 1) << "asked again on reappearing";

    view.setMode(HighlightMode::language(HighlightLanguage::sql));
    ASSERT_TRUE(waitUntil([&] { return events->size() == 4; }));
    EXPECT_EQ(view.highlightResult()->language, QStringLiteral("sql"));

    view.setColors(CodeTextColors::forTheme(HighlightTheme::github));
    ASSERT_TRUE(waitUntil([&] { return events->size() == 6; }));
    EXPECT_EQ(view.highlightResult()->backgroundColor, QColor(255, 255, 255));
    EXPECT_EQ(view.displayedText().formatAt(0).foreground().color(), QColor(0xa7, 0x1d, 0x5d));
    EXPECT_EQ(view.highlightResult()->relevance, 3); // three requests in all

    // Setting what is already set changes nothing.
    view.setColors(CodeTextColors::forTheme(HighlightTheme::github));
    view.setMode(HighlightMode::language(HighlightLanguage::sql));
    EXPECT_EQ(m_fast->requestCount(), 3);
    EXPECT_EQ(events->size(), 6);

    // A new text shows plain at once, then highlighted.
    view.setText(QStringLiteral("update t"));
    EXPECT_EQ(view.displayedText(), AttributedText::plain(QStringLiteral("update t")));
    ASSERT_TRUE(waitUntil([&] { return events->size() == 8; }));
    EXPECT_EQ(view.displayedText().text, QStringLiteral("update t"));
    EXPECT_FALSE(view.displayedText().formats.isEmpty());
}

TEST_F(CodeTextTest, ChangesWhileHiddenWaitUntilTheViewIsShown)
{
    CodeText view(QStringLiteral("a b"));
    view.setHighlight(m_fast);
    QStringList *events = record(view);
    view.setColors(CodeTextColors::forTheme(HighlightTheme::nnfx));
    view.setMode(HighlightMode::language(HighlightLanguage::go));
    EXPECT_EQ(m_fast->requestCount(), 0);
    view.show();
    EXPECT_EQ(m_fast->requestCount(), 1);
    ASSERT_TRUE(waitUntil([&] { return events->size() == 2; }));
    EXPECT_EQ(view.highlightResult()->relevance, 1);
}

// An older request that ends after a newer one must not overwrite its result.
TEST_F(CodeTextTest, OnlyTheNewestRequestsResultIsApplied)
{
    CodeText view(QStringLiteral("fn x"));
    view.setHighlight(m_slow);
    QStringList *events = record(view);
    view.show(); // the slow engine holds this one
    ASSERT_EQ(m_slow->requestCount(), 1);
    view.setHighlight(m_fast);
    view.setColors(CodeTextColors::forTheme(HighlightTheme::tokyoNight));
    view.setLanguage(HighlightLanguage::rust);
    ASSERT_TRUE(waitUntil([&] { return view.highlightResult().has_value(); }));

    // The slow engine answers now, after the newer request.
    m_slow->open();
    ASSERT_TRUE(m_slow->settle());
    ASSERT_TRUE(m_fast->settle());
    EXPECT_EQ(view.highlightResult()->language, QStringLiteral("rust"));
    EXPECT_EQ(*events, (QStringList { QStringLiteral("finished:result"), QStringLiteral("succeeded") }));

    // The same on one engine: requests made in a row leave only the last one's result.
    events->clear();
    view.setMode(HighlightMode::language(HighlightLanguage::go));
    view.setMode(HighlightMode::language(HighlightLanguage::c));
    ASSERT_TRUE(m_fast->settle());
    EXPECT_EQ(*events, (QStringList { QStringLiteral("finished:result"), QStringLiteral("succeeded") }));
    EXPECT_EQ(view.highlightResult()->language, QStringLiteral("c"));
}

TEST_F(CodeTextTest, TheCardIsFilledWithTheThemeBackgroundOnlyOnceThereIsAResult)
{
    const QColor heetchDark(0x19, 0x01, 0x34);
    const QPalette dark = paletteWithWindow(QColor(40, 40, 40));
    for (bool card : { true, false }) {
        CodeText view(QStringLiteral("let a = 1\nlet b = 2"));
        view.setPalette(dark);
        view.setHighlight(card ? m_slow : m_fast);
        view.setTheme(HighlightTheme::heetch);
        if (card)
            view.setStyle(CardCodeTextStyle {});
        else
            view.setStyle(PlainCodeTextStyle { 4, 6 });
        view.show();
        const QPoint inside(6, 6); // inside the rounded corner
        if (card) {
            // Before the result: the outline only, no fill.
            const QImage before = view.grab().toImage();
            EXPECT_NE(before.pixelColor(inside), heetchDark);
            EXPECT_NE(before.pixelColor(view.width() / 2, 0), before.pixelColor(inside)); // the outline
        }
        m_slow->open();
        ASSERT_TRUE(waitUntil([&] { return view.highlightResult().has_value(); }));
        EXPECT_EQ(view.highlightResult()->backgroundColor, heetchDark);
        const QImage after = view.grab().toImage();
        if (card) {
            EXPECT_EQ(after.pixelColor(inside), heetchDark);
            // Two lines and the card's vertical padding.
            EXPECT_NEAR(view.sizeHint().height(), view.fontMetrics().lineSpacing() * 2 + 16.0, 2.0);
        } else {
            EXPECT_NE(after.pixelColor(inside), heetchDark);
            EXPECT_NE(after.pixelColor(view.width() - 2, view.height() - 2), heetchDark);
        }
    }
}
