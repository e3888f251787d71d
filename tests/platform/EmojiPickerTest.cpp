#include "platform/EmojiPicker.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// A stand-in program that writes its arguments to a file next to it.
void installTool(const QString &folder, const QString &name)
{
    const QString path = folder + QLatin1Char('/') + name;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("#!/bin/sh\necho \"%1 $*\" > \"%2/ran\"\n").arg(name, folder).toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

TEST(EmojiPickerTest, PrefersIBusThenGnomeCharactersAndOpensTheOneFound)
{
    struct Case
    {
        const char *name;
        QStringList installed;
        QString ran; // what the stand-in wrote; empty: nothing found
    };
    const Case cases[] = {
        { "both", { "ibus", "gnome-characters" }, "ibus emoji" },
        { "IBus alone", { "ibus" }, "ibus emoji" },
        { "GNOME Characters alone", { "gnome-characters" }, "gnome-characters " },
        { "neither", {}, QString() },
    };
    for (const Case &c : cases) {
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        for (const QString &tool : c.installed)
            installTool(folder.path(), tool);
        // A file that is not executable is not a picker.
        QFile plain(folder.path() + QStringLiteral("/not-a-picker"));
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));

        const EmojiPicker picker({ folder.path() });
        EXPECT_EQ(picker.find().has_value(), !c.ran.isEmpty()) << c.name;
        EXPECT_EQ(picker.open(), !c.ran.isEmpty()) << c.name;
        if (c.ran.isEmpty())
            continue;
        QFile ran(folder.path() + QStringLiteral("/ran"));
        ASSERT_TRUE(waitUntil([&] { return ran.exists() && ran.size() > 0; })) << c.name;
        ASSERT_TRUE(ran.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(ran.readAll()).trimmed(), c.ran.trimmed()) << c.name;
    }
}
