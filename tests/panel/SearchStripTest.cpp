// The search strip under the pointer: the drag overlay's share of the strip, a click that puts
// the caret at the end, and the field fading with its caret.
#include "panel/DraggableOverlay.h"
#include "panel/SearchBar.h"
#include "panel/SearchField.h"

#include <gtest/gtest.h>

#include <QApplication>
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
