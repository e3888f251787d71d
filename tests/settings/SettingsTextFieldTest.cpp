#include "settings/SettingsTextField.h"

#include "settings/ExclusionTextField.h"
#include "settings/HistoryLimitTextField.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

// A window with the field under test, a button and an empty area below them.
class FieldWindow final : public QWidget
{
public:
    explicit FieldWindow(SettingsTextField *field)
        : field(field)
    {
        auto *layout = new QVBoxLayout(this);
        field->setParent(this);
        button = new QPushButton(QStringLiteral("Elsewhere"), this);
        layout->addWidget(field);
        layout->addWidget(button);
        layout->addStretch(1);
        resize(300, 200);
        show();
        activateWindow();
    }

    SettingsTextField *field;
    QPushButton *button;
};

TEST(SettingsTextFieldTest, AClickOutsideWithEitherButtonEndsTheEditAndAClickInsideDoesNot)
{
    struct Case
    {
        const char *name;
        Qt::MouseButton button;
        bool onField;
        bool onButton;
        bool editingAfter;
    };
    const QList<Case> cases {
        { "left click on the empty area", Qt::LeftButton, false, false, false },
        { "right click on the empty area", Qt::RightButton, false, false, false },
        { "left click on a button", Qt::LeftButton, false, true, false },
        { "left click in the field", Qt::LeftButton, true, false, true },
        { "middle click on the empty area", Qt::MiddleButton, false, false, true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto *field = new HistoryLimitTextField;
        FieldWindow window(field);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QSignalSpy finished(field, &QLineEdit::editingFinished);
        QTest::mouseClick(field, Qt::LeftButton);
        ASSERT_TRUE(field->hasFocus());
        EXPECT_TRUE(field->isMonitoringClicks());
        QTest::keyClicks(field, QStringLiteral("7"));
        if (c.onField)
            QTest::mouseClick(field, c.button, {}, QPoint(3, 3));
        else if (c.onButton)
            QTest::mouseClick(window.button, c.button);
        else
            QTest::mouseClick(&window, c.button, {}, QPoint(150, 180));
        EXPECT_EQ(field->hasFocus(), c.editingAfter);
        EXPECT_EQ(field->isMonitoringClicks(), c.editingAfter);
        EXPECT_EQ(finished.count(), c.editingAfter ? 0 : 1);
    }
}

TEST(SettingsTextFieldTest, ReturnInTheExclusionFieldSubmitsAndKeepsEditingAndClicksAwayReportNothing)
{
    auto *field = new ExclusionTextField(QStringLiteral("Exclude URL"));
    FieldWindow window(field);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QSignalSpy submitted(field, &ExclusionTextField::submitted);
    QSignalSpy edited(field, &ExclusionTextField::edited);
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClicks(field, QStringLiteral("abc"));
    EXPECT_EQ(edited.count(), 3);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(submitted.count(), 1);
    EXPECT_TRUE(field->hasFocus()) << "the caret stays in the field";

    // Cleared by its owner: shown at once, and no edit is reported.
    field->clear();
    EXPECT_EQ(edited.count(), 3);
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(150, 180));
    EXPECT_FALSE(field->hasFocus());
    EXPECT_EQ(submitted.count(), 1);
    EXPECT_EQ(edited.count(), 3);
}

} // namespace
