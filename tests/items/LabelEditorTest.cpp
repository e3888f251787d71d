#include "items/LabelEditor.h"
#include "items/LabelEditState.h"

#include <gtest/gtest.h>

#include <QTest>

TEST(LabelEditorTest, ReturnKeepsEscapeDropsAndAnEndFromOutsideKeeps)
{
    struct Case
    {
        const char *name;
        std::function<void(LabelEditor &, LabelEditState &)> end;
        bool keep;
    };
    const Case cases[] = {
        { "Return", [](LabelEditor &editor, LabelEditState &) { QTest::keyClick(&editor, Qt::Key_Return); },
            true },
        { "keypad Enter",
            [](LabelEditor &editor, LabelEditState &) {
                QTest::keyClick(&editor, Qt::Key_Enter, Qt::KeypadModifier);
            },
            true },
        { "Escape", [](LabelEditor &editor, LabelEditState &) { QTest::keyClick(&editor, Qt::Key_Escape); },
            false },
        { "the edit ended elsewhere", [](LabelEditor &, LabelEditState &state) { state.setIsEditing(false); },
            true },
    };
    for (const Case &c : cases) {
        LabelEditState state;
        QWidget host;
        auto *editor = new LabelEditor(QStringLiteral("old"), state, &host);
        EXPECT_TRUE(state.isEditing()) << c.name;
        EXPECT_EQ(editor->selectedText(), QStringLiteral("old")) << c.name << ": typing replaces the label";
        QStringList finished;
        QObject::connect(editor, &LabelEditor::finished, [&](bool keep, const QString &text) {
            finished << (keep ? QStringLiteral("keep ") : QStringLiteral("drop ")) + text;
        });
        QTest::keyClicks(editor, QStringLiteral("deploy box"));
        c.end(*editor, state);
        EXPECT_EQ(finished,
            QStringList({ (c.keep ? QStringLiteral("keep ") : QStringLiteral("drop ")) + "deploy box" }))
            << c.name;
        EXPECT_FALSE(state.isEditing()) << c.name;
        QTest::keyClick(editor, Qt::Key_Return);
        EXPECT_EQ(finished.size(), 1) << c.name << ": it finishes once";
    }
}

TEST(LabelEditorTest, AnEditorGoneUnfinishedEndsTheEdit)
{
    LabelEditState state;
    {
        QWidget host;
        new LabelEditor(QString(), state, &host);
        EXPECT_TRUE(state.isEditing());
    }
    EXPECT_FALSE(state.isEditing());
}
