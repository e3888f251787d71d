#include "panel/PanelFrameMemory.h"

#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

class PanelFrameMemoryTest : public ::testing::Test
{
protected:
    QTemporaryDir m_folder;
    UserDefaults defaults { m_folder.path() + QStringLiteral("/defaults.json") };
    const QString here = QStringLiteral("screen_A");
};

TEST_F(PanelFrameMemoryTest, StoredSizeAndPositionsReadOnlyWhenWellFormed)
{
    using namespace PanelFrameMemory;
    EXPECT_FALSE(savedSize(defaults));
    defaults.setString(sizeKey, QStringLiteral("{640, 480}"));
    EXPECT_EQ(savedSize(defaults), QSizeF(640, 480));
    for (const QVariant &bad :
        { QVariant(QString()), QVariant(QStringLiteral("{0, 480}")), QVariant(640.0) }) {
        defaults.setObject(sizeKey, bad);
        EXPECT_FALSE(savedSize(defaults));
    }

    defaults.setObject(positionsKey, QVariantMap { { here, QStringLiteral("{10, 20}") } });
    EXPECT_EQ(savedPosition(defaults, here), QPointF(10, 20));
    EXPECT_FALSE(savedPosition(defaults, QStringLiteral("screen_B")));
    defaults.setObject(
        positionsKey, QVariantMap { { here, QStringLiteral("{10, 20}") }, { QStringLiteral("x"), 3.0 } });
    EXPECT_FALSE(savedPosition(defaults, here)) << "a non-string value spoils the whole dictionary";
    defaults.setObject(positionsKey, QVariantMap { { here, QString() } });
    EXPECT_FALSE(savedPosition(defaults, here));

    // Saving starts over from a spoilt dictionary, and keeps the other screens of a sound one.
    defaults.setObject(positionsKey, QVariantMap { { QStringLiteral("x"), 3.0 } });
    savePosition(defaults, QPointF(100, 50), here);
    EXPECT_EQ(defaults.object(positionsKey).toMap(), (QVariantMap { { here, QStringLiteral("{100, 50}") } }));
    defaults.setObject(
        positionsKey, QVariantMap { { QStringLiteral("screen_B"), QStringLiteral("{1, 2}") } });
    save(defaults, QRectF(100, 50, 500, 400), here);
    EXPECT_EQ(defaults.object(positionsKey).toMap().size(), 2);
    EXPECT_EQ(savedSize(defaults), QSizeF(500, 400));
}

// Every hide keeps the size and the place: only what changed since is written, in one save of
// the file, which waits for the disk.
TEST_F(PanelFrameMemoryTest, AHideSavesTheSettingsOnceAndOnlyWhenTheSizeOrPlaceChanged)
{
    PanelFrameMemory::save(defaults, QRectF(100, 50, 500, 400), here);
    const struct
    {
        const char *name;
        QRectF frame;
        std::optional<QString> screen;
        // In the order of their names.
        QStringList changed;
    } hides[] = {
        { "neither moved nor resized", QRectF(100, 50, 500, 400), here, {} },
        { "resized", QRectF(100, 50, 520, 400), here, { PanelFrameMemory::sizeKey } },
        { "moved", QRectF(110, 60, 520, 400), here, { PanelFrameMemory::positionsKey } },
        { "moved and resized", QRectF(100, 50, 500, 400), here,
            { PanelFrameMemory::positionsKey, PanelFrameMemory::sizeKey } },
        { "left again", QRectF(100, 50, 500, 400), here, {} },
        { "resized off every screen", QRectF(5000, 5000, 480, 400), std::nullopt,
            { PanelFrameMemory::sizeKey } },
        { "moved to another screen and resized", QRectF(10, 10, 500, 400), QStringLiteral("screen_B"),
            { PanelFrameMemory::positionsKey, PanelFrameMemory::sizeKey } },
    };
    for (const auto &hide : hides) {
        SCOPED_TRACE(hide.name);
        QSignalSpy changes(&defaults, &UserDefaults::valueChanged);
        QSignalSpy saves(&defaults, &UserDefaults::saved);
        PanelFrameMemory::save(defaults, hide.frame, hide.screen);
        QStringList changed;
        for (const QList<QVariant> &change : std::as_const(changes))
            changed.append(change.first().toString());
        changed.sort();
        EXPECT_EQ(changed, hide.changed);
        EXPECT_EQ(saves.count(), hide.changed.isEmpty() ? 0 : 1);
        EXPECT_EQ(PanelFrameMemory::savedSize(defaults), hide.frame.size());
        if (hide.screen) {
            EXPECT_EQ(PanelFrameMemory::savedPosition(defaults, *hide.screen), hide.frame.topLeft());
        }
    }
    EXPECT_EQ(PanelFrameMemory::savedPosition(defaults, here), QPointF(100, 50)) << "another screen's place";
}

} // namespace
