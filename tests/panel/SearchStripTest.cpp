// The search strip under the pointer: the drag overlay's share of the strip, a click that puts
// the caret at the end, and the field fading with its caret.
#include "panel/DraggableOverlay.h"
#include "panel/SearchBar.h"
#include "panel/SearchField.h"
#include "panel/StripGlyph.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

TEST(SearchStripTest, TheCaretIsWhiteOnDarkAndBlackOnLightFadedWithTheField)
{
    struct Case
    {
        bool dark;
        double opacity;
        QColor expected;
    };
    const Case cases[] = {
        { true, 1.0, QColor(255, 255, 255, 255) },
        { false, 1.0, QColor(0, 0, 0, 255) },
        { true, 0.5, QColor(255, 255, 255, 128) },
        { false, 0.0, QColor(0, 0, 0, 0) },
        { false, 1.7, QColor(0, 0, 0, 255) },
    };
    for (const Case &c : cases)
        EXPECT_EQ(SearchField::insertionPointColor(c.dark, c.opacity).rgba(), c.expected.rgba())
            << c.dark << " " << c.opacity;
}

// The caret as the screen shows it: the line edit's own inverts what lies under it whatever the
// palette says, which kept it solid in a faded field.
TEST(SearchStripTest, TheDrawnCaretIsWhiteOnDarkAndBlackOnLightAndFadesWithTheField)
{
    struct Case
    {
        bool dark;
        double opacity;
    };
    const Case cases[] = { { true, 1.0 }, { false, 1.0 }, { true, 0.3 }, { false, 0.3 }, { false, 0.0 } };
    for (const Case &c : cases) {
        QWidget window;
        const QColor background = c.dark ? QColor(0x2d, 0x2d, 0x2d) : QColor(0xec, 0xec, 0xec);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, background);
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        auto *field = new SearchField(&window);
        field->setGeometry(10, 10, 300, 40);
        field->setText(QStringLiteral("ab"));
        window.resize(320, 60);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QApplication::setActiveWindow(&window);
        field->setFocus();
        field->setFadeOpacity(c.opacity);
        ASSERT_TRUE(field->isCaretShown()) << c.dark << " " << c.opacity;

        const QImage shot = window.grab().toImage();
        const QRect area = field->caretRect().toAlignedRect().translated(field->pos());
        const QColor caret = shot.pixelColor(area.left(), area.center().y());
        const QColor ink = c.dark ? QColor(Qt::white) : QColor(Qt::black);
        const auto blend = [&](int from, int to) { return from + (to - from) * c.opacity; };
        EXPECT_NEAR(caret.red(), blend(background.red(), ink.red()), 12) << c.dark << " " << c.opacity;
        EXPECT_NEAR(caret.green(), blend(background.green(), ink.green()), 12) << c.dark << " " << c.opacity;
        // Beside the caret the field shows its background.
        EXPECT_EQ(shot.pixelColor(area.left() + 3, area.center().y()), background)
            << c.dark << " " << c.opacity;
    }
}

TEST(SearchStripTest, AFadedFieldKeepsTheFocusAndFadesItsTextButNotTheButtons)
{
    QWidget window;
    auto *bar = new SearchBar(&window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(bar);
    window.resize(600, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    bar->field()->setFocus();
    bar->setPinned(true);
    bar->setFadeOpacity(0.3);
    EXPECT_TRUE(bar->field()->isVisible());
    EXPECT_TRUE(bar->field()->hasFocus()) << "fading must not take the keyboard away";
    EXPECT_NEAR(bar->field()->palette().color(QPalette::Text).alphaF(), 0.3, 0.01);
    EXPECT_EQ(bar->menuButton()->graphicsEffect(), nullptr) << "the menu stays opaque";
    bar->setFadeOpacity(1.0);
    EXPECT_EQ(bar->field()->palette().color(QPalette::Text).alpha(), 255);
}

TEST(SearchStripTest, TheOverlayLeavesTheButtonsTheirEndOfTheStrip)
{
    QWidget window;
    auto *bar = new SearchBar(&window);
    bar->setGeometry(0, 0, 600, 64);
    window.resize(600, 64);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    DraggableOverlay *overlay = bar->dragOverlay();
    struct Case
    {
        bool pinned;
        QString text;
        int reserved;
    };
    for (const Case &c : { Case { false, QString(), 50 }, Case { false, QStringLiteral("a"), 80 },
             Case { true, QString(), 86 }, Case { true, QStringLiteral("a"), 116 } }) {
        bar->setPinned(c.pinned);
        bar->setText(c.text);
        EXPECT_EQ(overlay->geometry(), bar->rect());
        EXPECT_TRUE(overlay->takesPoint(QPoint(600 - c.reserved, 30))) << c.reserved;
        EXPECT_FALSE(overlay->takesPoint(QPoint(600 - c.reserved + 1, 30))) << c.reserved;
        EXPECT_EQ(bar->childAt(QPoint(600 - c.reserved - 4, 30)), overlay) << c.reserved;
        EXPECT_NE(bar->childAt(QPoint(600 - c.reserved + 4, 30)), overlay) << c.reserved;
    }
}

TEST(SearchStripTest, AClickPutsTheCaretAtTheEndAndADragFocusesNothing)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *bar = new SearchBar(&window);
    auto *elsewhere = new QPushButton(QStringLiteral("elsewhere"), &window);
    layout->addWidget(bar);
    layout->addWidget(elsewhere);
    window.resize(600, 140);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    bar->setText(QStringLiteral("caf\u00E9 \U0001F375"));
    SearchField *field = bar->field();
    DraggableOverlay *overlay = bar->dragOverlay();
    const QPoint onField = overlay->mapFromGlobal(field->mapToGlobal(field->rect().center()));

    // A press that moves more than 3 points is a window drag: the field is left alone.
    elsewhere->setFocus();
    QTest::mousePress(overlay, Qt::LeftButton, {}, onField);
    QMouseEvent drag(QEvent::MouseMove, QPointF(onField + QPoint(10, 0)),
        QPointF(overlay->mapToGlobal(onField + QPoint(10, 0))), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(overlay, &drag);
    // Without a window manager to move it (here), the window follows the pointer itself.
    const QPoint before = window.pos();
    QMouseEvent further(QEvent::MouseMove, QPointF(onField + QPoint(40, 25)),
        QPointF(overlay->mapToGlobal(onField + QPoint(40, 25))), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(overlay, &further);
    EXPECT_EQ(window.pos(), before + QPoint(30, 25));
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, onField + QPoint(10, 0));
    QApplication::processEvents();
    EXPECT_FALSE(field->hasFocus());

    // A click focuses the field with the caret after the last character (the whole emoji).
    field->setFocus();
    field->selectAll();
    elsewhere->setFocus();
    QTest::mouseClick(overlay, Qt::LeftButton, {}, onField + QPoint(2, 1));
    QApplication::processEvents();
    EXPECT_TRUE(field->hasFocus());
    EXPECT_FALSE(field->hasSelectedText());
    EXPECT_EQ(field->cursorPosition(), field->text().size());

    // Over the magnifier there is no field to focus.
    elsewhere->setFocus();
    QTest::mouseClick(overlay, Qt::LeftButton, {}, QPoint(20, overlay->height() / 2));
    QApplication::processEvents();
    EXPECT_FALSE(field->hasFocus());
}

// The entries a menu shows now (the app's own are hidden while a tray icon offers them).
static QList<QAction *> visibleEntries(const QMenu &menu)
{
    QList<QAction *> entries;
    for (QAction *action : menu.actions()) {
        if (action->isVisible())
            entries.append(action);
    }
    return entries;
}

// The pin button shows "pin.fill", and "pin.slash.fill" while the pointer is over it; the menu's
// pin entry carries "pin" while the panel is free and "pin.slash" while it is pinned, and "Clear
// History" its trash can.
TEST(SearchStripTest, ThePinButtonShowsTheUnpinGlyphUnderThePointerAndTheMenuItsGlyphs)
{
    SearchBar bar;
    bar.resize(600, 60);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    QToolButton *pin = bar.pinButton();
    QMenu *menu = bar.menuButton()->menu();
    const auto iconName = [](StripGlyph glyph) { return stripGlyphIcon(glyph, Qt::black).name(); };
    const auto openMenu = [&] {
        menu->popup(bar.mapToGlobal(QPoint(500, 50)));
        EXPECT_TRUE(waitUntil([&] { return menu->isVisible(); }));
        const QList<QAction *> entries = visibleEntries(*menu);
        menu->hide();
        return entries;
    };
    enum class Pointer { away, over, left };
    const struct
    {
        const char *what;
        bool pinned;
        Pointer pointer;
        StripGlyph button;
        QString menuTitle;
        StripGlyph menuGlyph;
    } cases[] = {
        { "free", false, Pointer::away, StripGlyph::pinFill, "Pin", StripGlyph::pin },
        { "pinned", true, Pointer::away, StripGlyph::pinFill, "Unpin", StripGlyph::pinSlash },
        { "pinned, the pointer over the button", true, Pointer::over, StripGlyph::pinSlashFill, "Unpin",
            StripGlyph::pinSlash },
        { "pinned, the pointer gone again", true, Pointer::left, StripGlyph::pinFill, "Unpin",
            StripGlyph::pinSlash },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        bar.setPinned(c.pinned);
        EXPECT_EQ(bar.isPinButtonShown(), c.pinned);
        if (c.pointer == Pointer::over) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), pin->mapToGlobal(QPointF(5, 5)));
            QApplication::sendEvent(pin, &enter);
        } else if (c.pointer == Pointer::left) {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(pin, &leave);
        }
        EXPECT_EQ(bar.pinButtonGlyph(), c.button);
        EXPECT_EQ(pin->icon().name(), iconName(c.button));
        const QList<QAction *> entries = openMenu();
        ASSERT_EQ(entries.size(), 3);
        EXPECT_EQ(entries[0]->text(), c.menuTitle);
        EXPECT_EQ(entries[0]->icon().name(), iconName(c.menuGlyph));
        EXPECT_EQ(entries[2]->text(), QStringLiteral("Clear History"));
        EXPECT_EQ(entries[2]->icon().name(), iconName(StripGlyph::trash));
    }
    // A pinned panel freed while the pointer rests on the button shows the plain glyph next time.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), pin->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(pin, &enter);
    bar.setPinned(false);
    bar.setPinned(true);
    EXPECT_EQ(bar.pinButtonGlyph(), StripGlyph::pinFill);
}

// Drawn, each glyph is its own picture, in the ink given.
TEST(SearchStripTest, EveryDrawnGlyphIsItsOwnPicture)
{
    const StripGlyph glyphs[] = { StripGlyph::pin, StripGlyph::pinFill, StripGlyph::pinSlash,
        StripGlyph::pinSlashFill, StripGlyph::trash };
    QList<QImage> pictures;
    for (StripGlyph glyph : glyphs) {
        SCOPED_TRACE(stripGlyphName(glyph).toStdString());
        // As buttons and menus take it.
        const QImage picture = stripGlyphIcon(glyph, QColor(200, 40, 40)).pixmap(48, 48).toImage();
        ASSERT_EQ(picture.size(), QSize(48, 48));
        for (const QPoint corner : { QPoint(0, 0), QPoint(47, 0), QPoint(0, 47), QPoint(47, 47) })
            EXPECT_EQ(picture.pixelColor(corner).alpha(), 0) << "the ground is not clear";
        int inked = 0;
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 48; ++x) {
                const QColor pixel = picture.pixelColor(x, y);
                if (pixel.alpha() > 200) {
                    ++inked;
                    EXPECT_GT(pixel.red(), pixel.green()) << "not in the ink given";
                }
            }
        }
        EXPECT_GT(inked, 40);
        for (const QImage &other : pictures)
            EXPECT_NE(picture, other) << "the same picture as another glyph";
        pictures.append(picture);
    }
}
