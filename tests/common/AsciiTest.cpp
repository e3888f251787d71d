#include "common/Ascii.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

// The test reads blocks of units at a time: a unit outside ASCII is found in the first block, on
// either side of a block's end and in the part after the last whole block, in texts and in bytes.
TEST(AsciiTest, AnyUnitFromU0080UpMakesATextNoAscii)
{
    const struct
    {
        qsizetype size;
        char fill;
        qsizetype at; // -1: every unit is the fill
        char16_t unit;
        bool ascii;
    } cases[] = {
        { 0, 'a', -1, 0, true },
        { 1, 'a', -1, 0, true },
        { 200, 'a', -1, 0, true },
        { 200, 'a', 7, 0x7F, true },
        { 1, 'a', 0, 0x80, false },
        { 200, 'a', 0, 0x80, false },
        { 200, 'a', 63, 0xE9, false },
        { 200, 'a', 64, 0x100, false },
        { 200, 'a', 127, 0xFFFF, false },
        { 200, 'a', 128, 0xD83D, false },
        { 200, 'a', 199, 0x80, false },
        { 63, 'a', 62, 0xFF, false },
        { 64, 'a', 63, 0x3002, false },
        // NULs beside U+0080: no other bit is set.
        { 100, '\0', 10, 0x80, false },
        { 100, '\0', 70, 0x80, false },
    };
    for (const auto &c : cases) {
        QString text(c.size, QChar(c.fill));
        QByteArray bytes(c.size, c.fill);
        if (c.at >= 0) {
            text[c.at] = QChar(c.unit);
            bytes[c.at] = char(c.unit < 0x100 ? c.unit : 0xC3);
        }
        EXPECT_EQ(Ascii::isAscii(text), c.ascii) << c.size << " " << c.at;
        EXPECT_EQ(Ascii::isAscii(QByteArrayView(bytes)), c.ascii) << c.size << " " << c.at;
    }
}
