// The marks of code that back the content-type model's code labels: each kind of mark is
// found where code shows it and not in the everyday text beside it, and short pieces of real
// code (the code samples of the tests, which the model never learnt from) keep the marks of
// the label the model gives them.
#include "detection/CodeEvidence.h"
#include "detection/MagikaDetectionCoreML.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>

#include <cstdio>
#include <iterator>

namespace {

// The service's text labels: the model's answer is code only with another label.
const QSet<QString> textLabels = { "txt", "randombytes", "randomtxt", "csv", "tsv", "markdown", "rst", "eml",
    "srt", "vtt", "sum", "po", "bib" };

// Every piece of one to three lines of a file, trimmed, of 8 to 200 characters: code as
// people copy a line or two of it.
QStringList shortPieces(const QString &text)
{
    const QStringList lines = text.split(u'\n');
    QStringList pieces;
    for (qsizetype first = 0; first < lines.size(); ++first) {
        for (qsizetype count = 1; count <= 3 && first + count <= lines.size(); ++count) {
            const QString piece = lines.mid(first, count).join(u'\n').trimmed();
            if (piece.size() >= 8 && piece.size() <= 200 && !pieces.contains(piece))
                pieces.append(piece);
        }
    }
    return pieces;
}

// The code files of the test data: one sample of each language the heuristics know, one of
// each label of the model, and the highlighter's samples.
QStringList codeFiles()
{
    QStringList files;
    for (const char *folder : { "code-samples", "language-samples", "highlight-samples" }) {
        const QDir dir(testDataPath(QString::fromLatin1(folder)));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            if (name != u"README.md" && !textLabels.contains(name.section(u'.', 0, 0)))
                files.append(dir.filePath(name));
        }
    }
    return files;
}

} // namespace

// Each kind of mark where code shows it, and not in an everyday text of the same look.
TEST(CodeEvidenceTest, EachMarkIsFoundInCodeAndNotInTheEverydayTextBesideIt)
{
    using namespace CodeEvidence;
    struct Case
    {
        Mark mark;
        const char *code;
        const char *everyday;
    };
    const Case cases[] = {
        { call, "self.items.append(item)", "3 eggs (large), 2 lemons" },
        { call, "print(s.upper())", "bring the item(s) on Friday" },
        { assignment, "area (Circle r) = pi * r * r", "area 51 is closed today" },
        { arrow, "f :: Int -> Int", "see you soon :-)" },
        { variable, "for file in \"$@\"; do", "it costs $5 at the door" },
        { directive, "import qualified Data.Map as Map", "import the photos from the phone" },
        { directive, "package com.example.shop;", "package delivered to the neighbour" },
        { directive, "public static class Program", "private lesson at 4 pm, room 3" },
        { directive, "def full_name", "function room booked for 40 people" },
        { directive, "class Order(val id: Int)", "class B trip to the museum" },
        { markup, "<td>{{ item.price }}</td>", "Anna Schmidt <anna@example.com>" },
        { shellCommand, "git status", "get milk on the way home" },
        { shellCommand, "cat /etc/hosts", "cat food 2 cans" },
        { flag, "ls -la", "meet at 10 - bring snacks" },
        { pipeOrRedirect, "ps aux | grep tindlewick", "milk / eggs / bread" },
        { glob, "*.log", "* BROWN RICE (1)" },
        { diffLine, "+  end", "+49 30 12345678" },
        { sqlStatement, "SELECT name FROM users", "select the best photos" },
        { lispForm, "(defun square (x) (* x x))", "(photo sent to the landlord)" },
        { blockKeyword, "for item in items:", "for the party on Saturday:" },
        { backslashCommand, "\\section{Results}", "C:\\Users\\anna\\Taxes 2023\\receipt.pdf" },
        { pemArmour, "-----BEGIN CERTIFICATE-----", "---- cut here ----" },
        { pemArmour, "-----END PUBLIC KEY-----",
            "pU3KGCUwux1tEyze1iN7LtkeP3IfyxlxF0SU1kk8nVw0YL4xIB5p/tqg7ui5mX9c" },
        { bracket, "items[0]", "call me (after 6)" },
        { statementEnd, "i++;", "apples; pears; plums" },
        { operatorPair, "if a == b", "Tom & Jerry, 2 + 2" },
        { printCall, "puts \"hello\"", "print the tickets for Friday" },
        { cmdlet, "Get-ChildItem C:\\Users", "Get-together on Friday" },
        { batchSwitch, "dir /s /b", "Set the table for six" },
        { keyLine, "name: tindlewick", "Meeting at 10:30 tomorrow" },
        { makeRule, "all: main.o util.o", "Shopping: milk, eggs, bread" },
        { dockerInstruction, "RUN apt-get update", "Run to the station at 6" },
        { dockerInstruction, "FROM debian:12", "From Anna, with love" },
        { assembly, "mov eax, 1", "Paris, Rome and Vienna" },
        { buildSetting, "minSdk 24", "see 'Dune' tonight at 8" },
        { selector, ".card > .title {", "#1 priority, then lunch" },
        { symbol, "validates :email", "see you at 10:30 :)" },
    };
    std::uint32_t covered = 0;
    for (const Case &c : cases) {
        EXPECT_TRUE(marksOf(QString::fromUtf8(c.code)) & c.mark) << c.code;
        EXPECT_FALSE(marksOf(QString::fromUtf8(c.everyday)) & c.mark) << c.everyday;
        covered |= c.mark;
    }
    EXPECT_EQ(covered, (1u << 29) - 1) << "each of the 29 kinds of mark has a case";
}

// The labels whose code often goes without the structure all code shares: a line of such code
// showing only its label's own syntax backs the label, and not a label that reads only that
// structure (Go); a line of words backs none of them.
TEST(CodeEvidenceTest, EachLabelIsBackedByItsOwnSyntaxAlone)
{
    const struct
    {
        const char *label;
        const char *code;
    } cases[] = {
        { "shell", "ls -la /tmp" },
        { "batch", "dir /s /b" },
        { "css", ".card > .title" },
        { "scss", "#main, .sidebar" },
        { "gradle", "minSdk 24" },
        { "groovy", "implementation 'com.example:lib:1.0'" },
        { "kotlin", "targetSdk 34" },
        { "powershell", "Get-ChildItem C:\\Users" },
        { "awk", "print $1 > \"out.txt\"" },
        { "makefile", "all: main.o util.o" },
        { "dockerfile", "RUN apt-get update" },
        { "ignorefile", "*.log" },
        { "latex", "\\item First point" },
        { "diff", "--- a/notes.txt" },
        { "yaml", "name: tindlewick" },
        { "ini", "timeout: 30" },
        { "toml", "owner: anna" },
        { "sql", "SELECT name FROM users" },
        { "lisp", "(defun square (x) (* x x))" },
        { "clojure", "(println :done)" },
        { "asm", "mov eax, 1" },
        { "pem", "-----BEGIN CERTIFICATE-----" },
        { "python", "print 'hello'" },
        { "ruby", "puts \"hello\"" },
        { "lua", "print \"hello\"" },
        { "julia", "println \"done\"" },
        { "elixir", "send pid, :ping" },
        { "matlab", "disp 'done'" },
        { "fortran", "print \"Hello\"" },
        { "vba", "print \"saved\"" },
        { "pascal", "writeln 'Done'" },
        { "perl", "say \"hello\"" },
        { "tcl", "puts \"hello\"" },
        { "r", "print 'x'" },
        { "coffeescript", "say \"hi\"" },
    };
    static_assert(std::size(cases) == 35);
    const QString words = QStringLiteral("Room 101 is booked for Friday");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const QString label = QString::fromLatin1(c.label);
        const QString code = QString::fromUtf8(c.code);
        EXPECT_TRUE(CodeEvidence::supports(label, code)) << c.code;
        EXPECT_FALSE(CodeEvidence::supports(QStringLiteral("go"), code)) << c.code;
        EXPECT_FALSE(CodeEvidence::supports(label, words));
    }
}

// Marks are looked for in the first 100 lines, and in no more than 25,000 characters of them:
// a mark just inside either edge counts, one just beyond it does not.
TEST(CodeEvidenceTest, MarksAreLookedForInTheFirstHundredLinesAndTwentyFiveThousandCharacters)
{
    const auto afterLines = [](int lines) -> QString {
        return QString(QStringLiteral("plain words\n")).repeated(lines) + QStringLiteral("a == b");
    };
    const auto endingAt
        = [](int characters) -> QString { return QString(characters - 2, u'w') + QStringLiteral("&&"); };
    const struct
    {
        const char *name;
        QString text;
        bool found;
    } cases[] = {
        { "on line 99", afterLines(98), true },
        { "on line 100", afterLines(99), true },
        { "on line 101", afterLines(100), false },
        { "on line 102", afterLines(101), false },
        { "ending at character 24,999", endingAt(24'999), true },
        { "ending at character 25,000", endingAt(25'000), true },
        { "ending at character 25,001", endingAt(25'001), false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(bool(CodeEvidence::marksOf(c.text) & CodeEvidence::operatorPair), c.found);
        EXPECT_EQ(CodeEvidence::supports(QStringLiteral("go"), c.text), c.found);
    }
}

TEST(CodeEvidenceTest, ShortPiecesOfRealCodeShowTheSyntaxOfTheirLabel)
{
    ASSERT_TRUE(MagikaDetectionCoreML::shared().loadModel());
    int labelledCode = 0;
    int backed = 0;
    QStringList unbacked;
    const QStringList files = codeFiles();
    ASSERT_GE(files.size(), 150);
    for (const QString &path : files) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
        for (const QString &piece : shortPieces(QString::fromUtf8(file.readAll()))) {
            // Lines of base64 from inside a certificate are data, as any base64 is: the armour
            // around them is the certificate's syntax.
            if (path.endsWith(u"/pem.txt") && !piece.contains(u"-----"))
                continue;
            const QList<ContentTypePrediction> best = MagikaDetectionCoreML::shared().predictTopK(piece, 1);
            if (best.isEmpty() || textLabels.contains(best.first().label))
                continue;
            ++labelledCode;
            if (CodeEvidence::supports(best.first().label, piece))
                ++backed;
            else
                unbacked.append(best.first().label + u' ' + QString(piece).replace(u'\n', u'/'));
        }
    }
    std::printf("[ code evidence ] %d of %d short pieces of code the model labels code show a mark of "
                "their label\n",
        backed, labelledCode);
    for (const QString &piece : unbacked)
        std::printf("[ code evidence ] no mark: %s\n", qPrintable(piece));
    std::fflush(stdout);
    EXPECT_GE(labelledCode, 3000);
    EXPECT_GE(backed * 100, labelledCode * 97);
}
