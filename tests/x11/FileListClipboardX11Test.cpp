// A list of files the app puts on the clipboard, as other programs read it: every form they ask
// for, small and incremental, from the clipboard and from PRIMARY; and the clipboard as the
// app or another program writes it next.
#include "ExternalClipboard.h"

#include "platform/FileListForms.h"
#include "platform/SystemPasteboard.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace {

// What another program reads of a selection in one form; the test's event loop turns meanwhile,
// as the app's does.
QByteArray read(const QString &target, const QString &selection = QStringLiteral("clipboard"))
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
        { QStringLiteral("-o"), QStringLiteral("-selection"), selection, QStringLiteral("-t"), target });
    if (!waitUntil([&] { return xclip.state() == QProcess::NotRunning; }, std::chrono::seconds(20))
        || xclip.exitCode() != 0)
        return "<no answer>";
    return xclip.readAllStandardOutput();
}

// `count` file addresses, each followed by the line end.
QByteArray addresses(int count, const QByteArray &lineEnd = "\n")
{
    QByteArray lines;
    for (int i = 0; i < count; ++i)
        lines += "file:///home/ann/Pictures/holiday%20" + QByteArray::number(i) + ".jpg" + lineEnd;
    return lines;
}

std::unique_ptr<QMimeData> fileList(const QByteArray &lines)
{
    return std::make_unique<FileListMimeData>(std::make_shared<const FileListForms>(lines));
}

} // namespace

TEST(FileListClipboardX11Test, EveryFormIsReadAsOtherProgramsExpectItUntilTheClipboardChanges)
{
    SystemPasteboard pasteboard;
    const qint64 before = pasteboard.changeCount();
    const QByteArray two = "file:///home/ann/a.txt\nfile:///home/ann/My%20Files/b.png\n";
    pasteboard.writeContents(fileList(two));
    EXPECT_TRUE(pasteboard.ownsContents());
    EXPECT_EQ(read(QStringLiteral("TARGETS")),
        "TARGETS\nTIMESTAMP\ntext/uri-list\nx-special/gnome-copied-files\ntext/x-moz-url\nUTF8_STRING\n"
        "text/plain;charset=utf-8\ntext/plain\nSTRING\nTEXT\n");
    const struct
    {
        const char *target;
        QByteArray expected;
    } forms[] = {
        { "text/uri-list", "file:///home/ann/a.txt\r\nfile:///home/ann/My%20Files/b.png\r\n" },
        { "x-special/gnome-copied-files", "copy\nfile:///home/ann/a.txt\nfile:///home/ann/My%20Files/b.png" },
        { "UTF8_STRING", two },
        { "text/plain", two },
        { "STRING", two },
        { "image/png", "<no answer>" },
        { "MULTIPLE", "<no answer>" },
    };
    for (const auto &form : forms) {
        SCOPED_TRACE(form.target);
        EXPECT_EQ(read(QString::fromLatin1(form.target)), form.expected);
    }
    EXPECT_EQ(pasteboard.changeCount(), before + 1);
    // The app's own reading of it.
    const PasteboardContents own = pasteboard.readContents({ { PasteboardType::uriList } }).result();
    EXPECT_EQ(own.value(PasteboardType::uriList), forms[0].expected);

    // A list far larger than one X request, in pieces; PRIMARY too, for the terminals.
    const QByteArray many = addresses(100'000);
    pasteboard.writeContents(fileList(many));
    EXPECT_EQ(read(QStringLiteral("UTF8_STRING")), many);
    EXPECT_EQ(read(QStringLiteral("text/uri-list")), addresses(100'000, "\r\n"));
    EXPECT_TRUE(pasteboard.copyContentsToPrimarySelection());
    EXPECT_EQ(read(QStringLiteral("UTF8_STRING"), QStringLiteral("primary")), many);

    // What is written next is what is read.
    auto text = std::make_unique<QMimeData>();
    text->setText(QStringLiteral("written by the app"));
    pasteboard.writeContents(std::move(text));
    EXPECT_EQ(read(QStringLiteral("UTF8_STRING")), "written by the app");
    pasteboard.writeContents(fileList(two));
    ASSERT_TRUE(pasteboard.ownsContents());
    EXPECT_EQ(read(QStringLiteral("UTF8_STRING")), two);
    // Another program's copy takes the clipboard from the app, which sees it change.
    const qint64 ownWrite = pasteboard.changeCount();
    ExternalClipboard other;
    ASSERT_TRUE(other.copyWithXclip("copied elsewhere"));
    EXPECT_TRUE(waitUntil([&] { return pasteboard.changeCount() > ownWrite && !pasteboard.ownsContents(); }));
    EXPECT_EQ(read(QStringLiteral("UTF8_STRING")), "copied elsewhere");
}
