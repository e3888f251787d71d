#include "panel/OwnWindowSizes.h"

#include <gtest/gtest.h>

namespace {

// A step: the panel sets a size, or the server reports one (and whether it was the panel's).
struct Step
{
    enum class Kind { set, reported } kind;
    QSize size;
    bool own = false;
};

Step set(int width, int height)
{
    return { Step::Kind::set, QSize(width, height) };
}
Step reported(int width, int height, bool own)
{
    return { Step::Kind::reported, QSize(width, height), own };
}

TEST(OwnWindowSizesTest, TellsTheWindowManagersSizesFromLateReportsOfThePanelsOwn)
{
    const struct
    {
        const char *name;
        QList<Step> steps;
    } cases[] = {
        { "a size set and reported", { set(800, 500), reported(800, 500, true) } },
        { "a size nobody here set", { set(800, 500), reported(467, 500, false) } },
        { "nothing set yet", { reported(800, 500, false) } },
        { "an animation's sizes reported after its last was set",
            { set(800, 500), set(760, 500), set(720, 500), set(680, 500), reported(760, 500, true),
                reported(720, 500, true), reported(680, 500, true) } },
        { "a report overtaken by a later one is never the panel's again",
            { set(800, 500), set(700, 500), reported(700, 500, true), reported(800, 500, false) } },
        { "the window manager's size between the panel's",
            { set(800, 500), reported(800, 500, true), reported(600, 500, false), set(900, 500),
                reported(900, 500, true), reported(600, 500, false) } },
        { "a size set again after others is the panel's each time",
            { set(800, 500), set(700, 500), set(800, 500), reported(800, 500, true), reported(700, 500, true),
                reported(800, 500, true) } },
        { "the newest 64 sizes are kept",
            [] {
                QList<Step> steps;
                for (int i = 0; i < 65; ++i)
                    steps.append(set(400 + i, 500));
                steps.append(reported(401, 500, true));
                steps.append(reported(464, 500, true));
                return steps;
            }() },
        { "the 65th newest is forgotten",
            [] {
                QList<Step> steps;
                for (int i = 0; i < 65; ++i)
                    steps.append(set(400 + i, 500));
                steps.append(reported(400, 500, false));
                return steps;
            }() },
        { "a report repeated after newer sizes were set is the panel's, and so are theirs",
            { set(800, 500), set(700, 500), reported(800, 500, true), reported(800, 500, true),
                reported(700, 500, true) } },
        { "the window manager taking the panel back to a size it set",
            { set(800, 500), reported(800, 500, true), reported(600, 500, false),
                reported(800, 500, false) } },
        { "a size whose report never came (the window had it) after one from outside",
            { set(800, 500), reported(600, 500, false), reported(800, 500, false) } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        OwnWindowSizes sizes;
        int index = 0;
        for (const Step &step : c.steps) {
            SCOPED_TRACE(index++);
            if (step.kind == Step::Kind::set)
                sizes.set(step.size);
            else
                EXPECT_EQ(sizes.isOwn(step.size), step.own);
        }
    }
}

} // namespace
