#include "platform/FileListForms.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QString>

namespace {

QByteArray utf16(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

} // namespace

TEST(FileListFormsTest, EveryFormIsTheListAsItsReadersExpectIt)
{
    const QByteArray two = "file:///home/ann/a.txt\nfile:///home/ann/My%20Files/b.png\n";
    const QByteArray one = "file:///tmp/x\n";
    const struct
    {
        const char *name;
        QByteArray lines;
        const char *target;
        QByteArray form;
    } cases[] = {
        { "URI list", two, "text/uri-list",
            "file:///home/ann/a.txt\r\nfile:///home/ann/My%20Files/b.png\r\n" },
        { "GNOME's copied files", two, "x-special/gnome-copied-files",
            "copy\nfile:///home/ann/a.txt\nfile:///home/ann/My%20Files/b.png" },
        { "UTF-8 text", two, "UTF8_STRING", two },
        { "text/plain", two, "text/plain", two },
        { "text/plain in UTF-8", two, "text/plain;charset=utf-8", two },
        { "Latin-1 text", two, "STRING", two },
        { "TEXT", two, "TEXT", two },
        { "Mozilla's link: the first address", two, "text/x-moz-url",
            utf16(QStringLiteral("file:///home/ann/a.txt\n")) },
        { "one file as URI list", one, "text/uri-list", "file:///tmp/x\r\n" },
        { "one file as GNOME's copied files", one, "x-special/gnome-copied-files", "copy\nfile:///tmp/x" },
        { "no file as GNOME's copied files", {}, "x-special/gnome-copied-files", "copy" },
        { "no file as URI list", {}, "text/uri-list", {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const FileListForms forms(c.lines);
        EXPECT_EQ(forms.whole(c.target), c.form);
        EXPECT_EQ(forms.size(c.target), c.form.size());
        // Read in pieces of every size, the pieces make the same bytes, none over its size.
        for (qsizetype piece = 1; piece <= c.form.size() + 1; ++piece) {
            std::optional<FileListForms::Reader> reader = forms.reader(c.target);
            ASSERT_TRUE(reader);
            QByteArray joined;
            for (QByteArray next = reader->next(piece); !next.isEmpty(); next = reader->next(piece)) {
                ASSERT_LE(next.size(), piece);
                joined += next;
            }
            EXPECT_EQ(joined, c.form) << "in pieces of " << piece;
        }
    }
}

TEST(FileListFormsTest, OnlyTheFormsOfAFileListAreOffered)
{
    const FileListForms forms("file:///tmp/x\n");
    EXPECT_EQ(forms.count(), 1);
    for (const char *target : { "text/html", "image/png", "TARGETS", "", "text/uri-list;charset=utf-8" }) {
        SCOPED_TRACE(target);
        EXPECT_FALSE(forms.reader(target));
        EXPECT_EQ(forms.size(target), -1);
        EXPECT_EQ(forms.whole(target), QByteArray());
    }
    QList<QByteArray> names;
    for (const FileListForms::Target &target : FileListForms::targets())
        names.append(target.name);
    EXPECT_EQ(names,
        (QList<QByteArray> { "text/uri-list", "x-special/gnome-copied-files", "text/x-moz-url", "UTF8_STRING",
            "text/plain;charset=utf-8", "text/plain", "STRING", "TEXT" }));
}
