#include "platform/FilePaths.h"
#include "platform/FileBookmark.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// File names as the disk holds them, and how the app shows them and names them in a file URL.
struct Name
{
    const char *what;
    QByteArray bytes;
    const char *shown; // UTF-8
    const char *escaped; // in the URL
};

const Name names[] = {
    { "plain", "notes.txt", "notes.txt", "notes.txt" },
    { "UTF-8 letters and a space", "caf\xC3\xA9 list.txt", "caf\xC3\xA9 list.txt", "caf%C3%A9%20list.txt" },
    { "a percent sign", "100%.txt", "100%.txt", "100%25.txt" },
    { "two bytes that are no UTF-8", "\xFF\xFE report.txt", "\xEF\xBF\xBD\xEF\xBF\xBD report.txt",
        "%FF%FE%20report.txt" },
    { "Latin-1", "caf\xE9.txt", "caf\xEF\xBF\xBD.txt", "caf%E9.txt" },
    { "a stray continuation byte", "a\x80z", "a\xEF\xBF\xBDz", "a%80z" },
    { "an overlong slash", "x\xC0\xAFy", "x\xEF\xBF\xBD\xEF\xBF\xBDy", "x%C0%AFy" },
    { "an overlong four-byte form", "o\xF0\x8F\xBF\xBF", "o\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
        "o%F0%8F%BF%BF" },
    { "an encoded surrogate", "s\xED\xA0\x80", "s\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "s%ED%A0%80" },
    { "a cut sequence at the end", "euro\xE2\x82", "euro\xEF\xBF\xBD\xEF\xBF\xBD", "euro%E2%82" },
    { "past U+10FFFF", "\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
        "%F4%90%80%80" },
    // A character whose low surrogate lies where escaped bytes are held: still one character.
    { "U+1F080 beside a stray byte", "\xF0\x9F\x82\x80\x80", "\xF0\x9F\x82\x80\xEF\xBF\xBD",
        "%F0%9F%82%80%80" },
};

} // namespace

TEST(FilePathsTest, EveryNameComesBackToItsBytesAndIsShownWithReplacementCharacters)
{
    for (const Name &name : names) {
        SCOPED_TRACE(name.what);
        const QByteArray native = "/tmp/folder/" + name.bytes;
        const QString path = FilePaths::fromNative(native);
        EXPECT_EQ(FilePaths::toNative(path), native);
        EXPECT_EQ(
            FilePaths::forDisplay(path), QStringLiteral("/tmp/folder/") + QString::fromUtf8(name.shown));
        const QByteArray url = QByteArray("file:///tmp/folder/") + name.escaped;
        EXPECT_EQ(FilePaths::toUrl(path).toEncoded(), url);
        EXPECT_EQ(FilePaths::toNative(FilePaths::ofUrl(QUrl::fromEncoded(url, QUrl::StrictMode))), native);
        // A valid name is the same text as anywhere else in Qt.
        if (QString::fromUtf8(name.bytes).toUtf8() == name.bytes) {
            EXPECT_EQ(path, QString::fromUtf8(native));
        }
    }
}

TEST(FilePathsTest, OtherUrlsAndSharesReadAsQtReadsThem)
{
    EXPECT_EQ(FilePaths::ofUrl(QUrl(QStringLiteral("https://example.org/a%20b"))), QStringLiteral("/a b"));
    EXPECT_EQ(FilePaths::ofUrl(QUrl::fromEncoded("file://server/share/%FF")),
        FilePaths::fromNative("//server/share/\xFF"));
    EXPECT_EQ(FilePaths::ofUrl(QUrl()), QString());
}

TEST(FilePathsTest, AFileWhoseNameIsNotUtf8IsFoundWhereQtSeesNothing)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const FilesNamedByBytes files(folder.path());
    const QByteArray url = files.create("\xFF\xFE report.txt");
    ASSERT_FALSE(url.isEmpty());
    const QString path = FilePaths::ofUrl(QUrl::fromEncoded(url, QUrl::StrictMode));
    EXPECT_TRUE(FilePaths::exists(path));
    EXPECT_FALSE(QFileInfo::exists(QUrl::fromEncoded(url).toLocalFile())) << "Qt's reading finds it now";
    EXPECT_FALSE(FilePaths::exists(
        FilePaths::fromNative(QByteArray(QFile::encodeName(folder.path()) + "/\xFF report.txt"))));
    EXPECT_FALSE(FilePaths::exists(QString()));
    EXPECT_FALSE(FilePaths::exists(path + QChar(0) + QStringLiteral("x")));
}

TEST(FilePathsTest, ABookmarkFindsAFileWhoseNameIsNotUtf8AtItsPathAndAfterARename)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const FilesNamedByBytes files(folder.path());
    const QByteArray url = files.create("\xFF\xFE draft.txt");
    ASSERT_FALSE(url.isEmpty());
    const std::optional<QByteArray> bookmark = FileBookmark::create(QUrl::fromEncoded(url, QUrl::StrictMode));
    ASSERT_TRUE(bookmark) << "no bookmark of an existing file";
    EXPECT_EQ(FileBookmark::resolve(*bookmark).value_or(QUrl()).toEncoded(), url);

    // Renamed within its folder, to another name that is no UTF-8 either.
    ASSERT_EQ(std::rename(
                  files.path("\xFF\xFE draft.txt").constData(), files.path("\xFE\xFF final.txt").constData()),
        0);
    EXPECT_EQ(FileBookmark::resolve(*bookmark).value_or(QUrl()).toEncoded(),
        QUrl::fromLocalFile(folder.path()).toEncoded() + "/%FE%FF%20final.txt");
}
