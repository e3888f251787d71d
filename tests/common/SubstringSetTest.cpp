#include "common/SubstringSet.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

TEST(SubstringSetTest, FindsAnyWordWhereverItStarts)
{
    // Words that share beginnings and endings: a search that went back to the start after a
    // mismatch, instead of to the longest word it was still inside, would miss some.
    const struct
    {
        std::vector<const char *> words;
        const char *text;
        bool found;
    } cases[] = {
        { { "she", "hers" }, "ushers", true }, { { "hers" }, "ushers", true },
        { { "his", "hers" }, "ahishe", true }, { { "bank", "nab" }, "banana", false },
        { { "bank", "banana" }, "bananas", true },
        { { "banana", "nab" }, "bananab", true }, // "nab" starts inside "banana"
        { { "banana", "anab" }, "bananab", true },
        { { "abcd", "bc" }, "abcx", true }, // a shorter word inside a longer one that fails
        { { "abcd", "bcx" }, "abcx", true }, { { "abcd", "cde" }, "abcx", false }, { { "xyz" }, "", false },
        { { "\xC3\xA4pfel" }, "ein \xC3\xA4pfelbaum", true }, { { "\xC3\xA4pfel" }, "ein apfelbaum", false },
        { { "she" }, "SHE", false }, // letters compare exactly
        { { "a", "a" }, "ba", true }, // a word twice
    };
    for (const auto &c : cases) {
        SubstringSet set;
        for (const char *word : c.words)
            set.add(QString::fromUtf8(word));
        set.finish();
        EXPECT_EQ(set.containsAny(QString::fromUtf8(c.text)), c.found) << c.text;
    }
}

TEST(SubstringSetTest, AgreesWithLookingForEachWordInRandomTexts)
{
    // Few letters, so that words overlap and repeat in every way.
    QRandomGenerator random(39);
    const auto randomText = [&](int length) {
        QString text;
        for (int i = 0; i < length; ++i)
            text += QChar(char16_t(u'a' + random.bounded(3)));
        return text;
    };
    for (int round = 0; round < 500; ++round) {
        QStringList words;
        SubstringSet set;
        for (int i = 0; i < 1 + int(random.bounded(6)); ++i) {
            words.append(randomText(1 + int(random.bounded(5))));
            set.add(words.last());
        }
        set.finish();
        const QString text = randomText(int(random.bounded(12)));
        const bool expected = std::any_of(
            words.begin(), words.end(), [&](const QString &word) { return text.contains(word); });
        ASSERT_EQ(set.containsAny(text), expected)
            << words.join(u',').toStdString() << " in " << text.toStdString();
    }
}

TEST(SubstringSetTest, AnEmptySetOrEmptyWordsFindNothing)
{
    SubstringSet none;
    none.finish();
    EXPECT_TRUE(none.isEmpty());
    EXPECT_FALSE(none.containsAny(u"anything"));
    SubstringSet empties;
    empties.add(u"");
    empties.finish();
    EXPECT_TRUE(empties.isEmpty());
    EXPECT_FALSE(empties.containsAny(u"anything"));
}
