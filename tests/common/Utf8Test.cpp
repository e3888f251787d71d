#include "common/Utf8.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QString>

TEST(Utf8Test, LongTextsGiveTheBytesOfToUtf8InPiecesAndWhole)
{
    const QString pair = QString::fromUtf8("\U0001F600");
    const qsizetype piece = 64 * 1024;
    QRandomGenerator random(25);
    QString noise;
    for (int i = 0; i < 300'000; ++i)
        noise.append(QChar(char16_t(random.bounded(0x10000))));
    const struct
    {
        const char *name;
        QString text;
    } cases[] = {
        { "empty", QString() },
        { "ASCII over several pieces", QString(3 * piece + 17, u'a') },
        { "two- and three-byte characters", QStringLiteral("é€").repeated(100'000) },
        { "a surrogate pair across a piece boundary",
            QString(piece - 1, u'x') + pair + QStringLiteral("end") },
        { "a lone high surrogate at a piece boundary",
            QString(piece - 1, u'x') + QChar(0xD83D) + QString(10, u'y') },
        { "a lone high surrogate at the very end", QString(2 * piece, u'x') + QChar(0xD83D) },
        { "a lone low surrogate at the start of a piece",
            QString(piece, u'x') + QChar(0xDE00) + QString(5, u'z') },
        { "random units, surrogates unpaired and paired", noise },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray expected = c.text.toUtf8();
        const QByteArray encoded = Utf8::encode(c.text);
        EXPECT_EQ(encoded, expected);
        EXPECT_EQ(Utf8::size(c.text), expected.size());
        EXPECT_LE(encoded.capacity(), expected.size() + 16) << "held in a buffer of its size";
        QByteArray joined;
        int pieces = 0;
        Utf8::forEachPiece(c.text, [&](QByteArrayView bytes) {
            joined.append(bytes);
            ++pieces;
        });
        EXPECT_EQ(joined, expected);
        EXPECT_LE(pieces, c.text.size() / piece + 1);
    }
}
