// CodeText on a real X server: one snippet in two themes, captured from the screen and kept
// as test artefacts; the theme's background must be what the screen shows inside the card.
#include "items/CodeText.h"

#include "support/Artefacts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QString kSnippet = QStringLiteral("function greet(name: string): string {\n"
                                        "    // Say hello\n"
                                        "    return \"Hello, \" + name + \"!\";\n"
                                        "}\n"
                                        "const count = 42;");

struct Case
{
    HighlightTheme theme;
    bool dark;
    const char *fileName;
};

// The colour inside the card's rounded corner in a picture of its window. The card's place is
// read each time: the layout follows the window's new size.
QRgb cornerColour(const QImage &shot, const QWidget &card)
{
    const QPoint corner = card.geometry().topLeft() + QPoint(5, 5);
    const qreal ratio = shot.devicePixelRatio();
    return shot.pixelColor(QPoint(qRound(corner.x() * ratio), qRound(corner.y() * ratio))).rgb();
}

// How many colours the card holds in a picture of its window.
qsizetype cardColours(const QImage &shot, const QWidget &card)
{
    const QRect area = card.geometry();
    const qreal ratio = shot.devicePixelRatio();
    QSet<QRgb> colours;
    for (int y = area.top(); y < area.bottom(); y += 2)
        for (int x = area.left(); x < area.right(); x += 2)
            colours.insert(shot.pixel(qRound(x * ratio), qRound(y * ratio)));
    return colours.size();
}

} // namespace

TEST(CodeTextScreenshotTest, ShowsTheSnippetOnTheThemesBackground)
{
    auto engine = std::make_shared<Highlight>();
    const Case cases[] = {
        { HighlightTheme::tokyoNight, true, "codetext-tokyo-night-dark.png" },
        { HighlightTheme::solarized, false, "codetext-solarized-light.png" },
    };
    for (const Case &c : cases) {
        QWidget window;
        QPalette palette;
        palette.setColor(QPalette::Window, c.dark ? QColor(0x2d, 0x2d, 0x2d) : QColor(0xec, 0xec, 0xec));
        palette.setColor(QPalette::WindowText, c.dark ? Qt::white : Qt::black);
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(20, 20, 20, 20);
        auto *view = new CodeText(kSnippet);
        view->setHighlight(engine);
        view->setLanguage(HighlightLanguage::typeScript);
        view->setTheme(c.theme);
        view->setStyle(CardCodeTextStyle {});
        QFont font = view->font();
        font.setPointSize(13);
        view->setFont(font);
        layout->addWidget(view);
        window.move(100, 100);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window)) << c.fileName;
        ASSERT_TRUE(waitUntil([&] { return view->highlightResult().has_value(); }, std::chrono::seconds(20)));
        window.adjustSize();

        const QColor expected = c.dark ? QColor(HighlightThemes::darkBackground(c.theme))
                                       : QColor(HighlightThemes::lightBackground(c.theme));
        // The server shows the last paint a moment after it was made.
        QImage shot;
        waitUntil([&] {
            shot = window.screen()->grabWindow(window.winId()).toImage();
            return !shot.isNull() && cornerColour(shot, *view) == expected.rgb()
                && cardColours(shot, *view) > 20;
        });
        ASSERT_FALSE(shot.isNull());
        const QString path = artefactPath(QString::fromLatin1(c.fileName));
        EXPECT_TRUE(shot.save(path)) << path.toStdString();

        EXPECT_EQ(view->highlightResult()->backgroundColor, expected);
        EXPECT_EQ(cornerColour(shot, *view), expected.rgb()) << c.fileName;
        // And the text is highlighted: the card holds more colours than its background.
        EXPECT_GT(cardColours(shot, *view), 20) << c.fileName;
    }
}
