#include "platform/LaunchAtLogin.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// The program an Exec value names, read back as a desktop reads it: first the escapes of a
// string value, then the quoting of the argument; empty when either is broken.
QString programOf(const QString &exec)
{
    QString value;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        QChar c = exec[i];
        if (c == u'\\') {
            if (i + 1 == exec.size() || !QStringView(u"sntr\\").contains(exec[i + 1]))
                return {};
            c = exec[++i];
            c = c == u's'   ? QChar(u' ')
                : c == u'n' ? QChar(u'\n')
                : c == u't' ? QChar(u'\t')
                : c == u'r' ? QChar(u'\r')
                            : c;
        }
        value += c;
    }
    if (value.size() < 2 || !value.startsWith(u'"') || !value.endsWith(u'"'))
        return {};
    QString program;
    for (qsizetype i = 1; i + 1 < value.size(); ++i) {
        QChar c = value[i];
        if (c == u'\\') {
            if (i + 2 == value.size() || !QStringView(u"\"`$\\").contains(value[i + 1]))
                return {};
            c = value[++i];
        } else if (c == u'"' || c == u'`' || c == u'$') {
            return {};
        } else if (c == u'%') {
            if (i + 2 == value.size() || value[i + 1] != u'%')
                return {}; // a field code
            ++i;
        }
        program += c;
    }
    return program;
}

// The folder names a prefix may have that the Exec key has to quote or escape.
const QStringList awkwardNames = {
    QStringLiteral("plain"),
    QStringLiteral("with space"),
    QStringLiteral("dollar$HOME"),
    QStringLiteral("back`tick`"),
    QStringLiteral("quote\"d"),
    QStringLiteral("per%cent%f"),
};

TEST(LaunchAtLoginTest, TheExecValueNamesTheProgramWhateverItsPath)
{
    EXPECT_EQ(LaunchAtLogin::execValue(QStringLiteral("/usr/bin/tindlewick")),
        QStringLiteral("\"/usr/bin/tindlewick\""));
    // A backslash too, which CMake cannot install under (it takes it for a folder separator).
    for (const QString &name : awkwardNames + QStringList { QStringLiteral("back\\slash") }) {
        const QString program = QStringLiteral("/opt/") + name + QStringLiteral("/bin/tindlewick");
        EXPECT_EQ(programOf(LaunchAtLogin::execValue(program)), program) << name.toStdString();
    }
}

// The installation writes the menu entry (cmake/install-desktop-entry.cmake); the app writes the
// autostart entry. For the installed program they must be the same entry, plus the line that
// marks it for autostart at the end of the entry's own group; the Settings action starts the
// same program with --settings.
TEST(LaunchAtLoginTest, TheAutostartEntryOfTheInstalledProgramIsItsMenuEntry)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    for (const QString &name : awkwardNames) {
        SCOPED_TRACE(name.toStdString());
        const QString prefix = root.filePath(name);
        QProcess install;
        install.start(QStringLiteral(TINDLEWICK_CMAKE_COMMAND),
            { QStringLiteral("-DCMAKE_INSTALL_PREFIX=") + prefix,
                QStringLiteral("-DTINDLEWICK_DESKTOP_ENTRY_SOURCE=" TINDLEWICK_SOURCE_DIR
                               "/resources/desktop/tindlewick.desktop"),
                QStringLiteral("-DTINDLEWICK_DESKTOP_ENTRY_STAGING=") + root.path(), QStringLiteral("-P"),
                QStringLiteral(TINDLEWICK_SOURCE_DIR "/cmake/install-desktop-entry.cmake") });
        ASSERT_TRUE(install.waitForFinished(60000));
        ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
        QFile menuEntry(prefix + QStringLiteral("/share/applications/tindlewick.desktop"));
        ASSERT_TRUE(menuEntry.open(QIODevice::ReadOnly));
        const QString installed = QString::fromUtf8(menuEntry.readAll());

        const QString program = prefix + QStringLiteral("/bin/tindlewick");
        const qsizetype actionGroup = installed.indexOf(QStringLiteral("\n\n[Desktop Action Settings]\n"));
        ASSERT_GE(actionGroup, 0);
        QString marked = installed;
        marked.insert(actionGroup + 1, QStringLiteral("X-GNOME-Autostart-enabled=true\n"));
        EXPECT_EQ(LaunchAtLogin::autostartEntry(program), marked);
        QStringList execs;
        for (const QString &line : installed.split(u'\n')) {
            if (line.startsWith(QLatin1String("Exec=")))
                execs.append(line.mid(5));
        }
        ASSERT_EQ(execs.size(), 2) << installed.toStdString();
        EXPECT_EQ(programOf(execs[0]), program);
        const QString settingsArgument = QStringLiteral(" --settings");
        ASSERT_TRUE(execs[1].endsWith(settingsArgument)) << execs[1].toStdString();
        EXPECT_EQ(programOf(execs[1].chopped(settingsArgument.size())), program);
    }
}

} // namespace
