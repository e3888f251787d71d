#include "model/ItemFieldValues.h"

#include "support/MemoryMeasurement.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include <map>
#include <vector>

#include <malloc.h>

namespace {

// One step: a value set (a null one removes), or a removal.
struct Step
{
    ItemField field;
    QVariant value;
    bool remove = false;
};

struct Case
{
    const char *name;
    QList<Step> steps;
    std::map<ItemField, QVariant> expected; // every other field reads as missing
    int count;
};

QList<Case> steppedCases()
{
    const QVariant when = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, QTimeZone::utc());
    return {
        { "nothing set", {}, {}, 0 },
        { "set out of field order",
            { { ItemField::sourceAppName, QStringLiteral("Editor") }, { ItemField::id, QStringLiteral("x") },
                { ItemField::additionalFileURLListData, QByteArray("z") },
                { ItemField::textContent, QStringLiteral("text") } },
            { { ItemField::id, QStringLiteral("x") }, { ItemField::textContent, QStringLiteral("text") },
                { ItemField::sourceAppName, QStringLiteral("Editor") },
                { ItemField::additionalFileURLListData, QByteArray("z") } },
            4 },
        { "a value replaced keeps one place",
            { { ItemField::timestamp, when }, { ItemField::colorHex, QStringLiteral("#000000") },
                { ItemField::colorHex, QStringLiteral("#FFFFFF") } },
            { { ItemField::timestamp, when }, { ItemField::colorHex, QStringLiteral("#FFFFFF") } }, 2 },
        { "removed by a null value and by remove, between others",
            { { ItemField::id, 1 }, { ItemField::textContent, QStringLiteral("a") },
                { ItemField::linkTitle, 2 }, { ItemField::textContent, QVariant() },
                { ItemField::linkTitle, {}, true }, { ItemField::pinnedLabel, QStringLiteral("label") } },
            { { ItemField::id, 1 }, { ItemField::pinnedLabel, QStringLiteral("label") } }, 2 },
        // Each later value moves down a place: read from its own place, not its neighbour's.
        { "a middle field removed from a few",
            { { ItemField::id, 1 }, { ItemField::textContent, QStringLiteral("a") },
                { ItemField::linkTitle, QStringLiteral("title") },
                { ItemField::sourceAppName, QStringLiteral("Editor") },
                { ItemField::textContent, {}, true } },
            { { ItemField::id, 1 }, { ItemField::linkTitle, QStringLiteral("title") },
                { ItemField::sourceAppName, QStringLiteral("Editor") } },
            3 },
        { "an empty string is a value", { { ItemField::textContent, QString() } },
            { { ItemField::textContent, QString() } }, 1 },
        { "required Booleans: false takes no room, true does",
            { { ItemField::isPinned, true }, { ItemField::codeAsText, false },
                { ItemField::isFromPasswordManager, true }, { ItemField::isFromPasswordManager, false } },
            { { ItemField::isPinned, true }, { ItemField::codeAsText, false },
                { ItemField::isFromPasswordManager, false } },
            1 },
        { "an optional Boolean keeps false", { { ItemField::highlightedLinesIsDark, false } },
            { { ItemField::highlightedLinesIsDark, false } }, 1 },
        { "more than the object holds, set out of order, then fewer again",
            { { ItemField::pinnedLabel, QStringLiteral("p") }, { ItemField::id, 1 },
                { ItemField::linkTitle, 2 }, { ItemField::timestamp, when },
                { ItemField::colorHex, QStringLiteral("#123456") },
                { ItemField::itemType, QStringLiteral("link") },
                { ItemField::sourceAppName, QStringLiteral("a") },
                { ItemField::textContent, QStringLiteral("t") }, { ItemField::isPinned, true },
                { ItemField::linkTitle, {}, true }, { ItemField::id, QVariant() },
                { ItemField::colorHex, {}, true }, { ItemField::isPinned, false } },
            { { ItemField::timestamp, when }, { ItemField::itemType, QStringLiteral("link") },
                { ItemField::textContent, QStringLiteral("t") },
                { ItemField::sourceAppName, QStringLiteral("a") },
                { ItemField::pinnedLabel, QStringLiteral("p") } },
            5 },
        { "the last field and the first",
            { { ItemField::additionalFileURLListData, QByteArray("last") }, { ItemField::id, 7 } },
            { { ItemField::id, 7 }, { ItemField::additionalFileURLListData, QByteArray("last") } }, 2 },
    };
}

// Fields set in any order, changed and removed again read as the last step left them, and only
// the fields with a value take room; a required Boolean reads false when missing and takes no
// room for false.
TEST(ItemFieldValuesTest, EachFieldReadsWhatItsLastStepLeftAndOnlyHeldValuesTakeRoom)
{
    for (const Case &test : steppedCases()) {
        SCOPED_TRACE(test.name);
        ItemFieldValues values;
        for (const Step &step : test.steps) {
            if (step.remove)
                values.remove(step.field);
            else
                values.set(step.field, step.value);
        }
        EXPECT_EQ(values.count(), test.count);
        for (const FieldInfo &info : itemSchema()) {
            const auto expected = test.expected.find(info.field);
            const bool requiredBoolean = info.type == FieldType::boolean && !info.optional;
            const QVariant want = expected != test.expected.end() ? expected->second
                : requiredBoolean                                 ? QVariant(false)
                                                                  : QVariant();
            const QVariant &got = values.get(info.field);
            EXPECT_EQ(got.isNull(), want.isNull()) << info.name;
            EXPECT_EQ(got, want) << info.name;
        }
    }
}

// A captured text gains its fields one by one (its text, preview, time, then what detection
// found, the program it came from): it takes room for the fields it has, however many.
TEST(ItemFieldValuesTest, FieldsAddedOneByOneTakeRoomForThemselvesOnly)
{
    if (!memoryIsMeasurable())
        GTEST_SKIP() << "the sanitizer's allocator counts its own room";
    const struct
    {
        const char *name;
        std::vector<ItemField> fields;
    } cases[] = {
        { "a text copied from a terminal",
            { ItemField::textContent, ItemField::previewText, ItemField::id, ItemField::timestamp,
                ItemField::itemType, ItemField::codeConfidence, ItemField::magikaTopLabel,
                ItemField::guesslangLanguage, ItemField::guesslangConfidence } },
        { "a text copied from a browser",
            { ItemField::textContent, ItemField::previewText, ItemField::id, ItemField::timestamp,
                ItemField::itemType, ItemField::sourceAppBundleIdentifier, ItemField::sourceAppName,
                ItemField::codeConfidence, ItemField::magikaTopLabel, ItemField::guesslangLanguage,
                ItemField::guesslangConfidence } },
    };
    constexpr int count = 1000;
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        std::vector<ItemFieldValues> items(count);
        const std::size_t before = mallinfo2().uordblks;
        for (ItemFieldValues &values : items) {
            for (const ItemField field : test.fields)
                values.set(field, QVariant(qint64(1)));
        }
        const double perItem = double(mallinfo2().uordblks - before) / count;
        // The values and the allocator's own word beside them.
        EXPECT_LE(perItem, double(test.fields.size() * sizeof(QVariant) + 16));
    }
}

} // namespace
