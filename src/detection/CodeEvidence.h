#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

// The marks of code a text shows, and whether they back a content-type label. The model
// reads bytes, words and line shapes, so a line of words and numbers ("bulk item number
// 071", a list of rooms, lorem ipsum with digits) can come out as shell or Haskell; code of
// that label always shows some syntax of it: shell a command, a flag, a pipe or a variable,
// the C family brackets, calls and semicolons, Haskell `::`, `->` or `=`, markup its tags.
// A code label without any such mark in the text does not make the text code.
namespace CodeEvidence {

// The kinds of mark looked for, one bit each.
enum Mark : std::uint32_t {
    bracket = 1u << 0, // { } [ ]
    call = 1u << 1, // name( or ()
    statementEnd = 1u << 2, // a semicolon ending a line or running into the next statement
    assignment = 1u << 3, // name = value, name += value, name := value
    operatorPair = 1u << 4, // == != <= >= && || ++ ** ?? ?. << >>
    arrow = 1u << 5, // -> => <- :: |> :-
    variable = 1u << 6, // $name ${ $( %NAME% @annotation
    directive = 1u << 7, // #!, #include, import a.b, module A, def name, public class, using a.b;
    markup = 1u << 8, // <tag>, </tag>, <!--, {{ }}, {% %}
    printCall = 1u << 9, // puts "x", print 'x', echo "x"
    shellCommand = 1u << 10, // a known command opening a line, a ./ or ~/ path opening it
    flag = 1u << 11, // -v, --verbose after a space
    pipeOrRedirect = 1u << 12, // | > >> < 2>&1 between words
    cmdlet = 1u << 13, // Get-ChildItem
    batchSwitch = 1u << 14, // dir /s, @echo off, set NAME=
    glob = 1u << 15, // *.log, !keep, /build, .cache, node_modules
    backslashCommand = 1u << 16, // \section, \begin
    diffLine = 1u << 17, // @@, +++, ---, lines opened by + or -
    keyLine = 1u << 18, // key: value lines, [section] lines
    sqlStatement = 1u << 19, // SELECT ... FROM, INSERT INTO, ...
    lispForm = 1u << 20, // a line opened by (, nested parentheses
    blockKeyword = 1u << 21, // end, fi, done alone on a line; an opener ending in ':'; case x of
    makeRule = 1u << 22, // target: dependencies, a tab-indented recipe
    dockerInstruction = 1u << 23, // FROM, RUN, COPY ... in capitals opening a line
    assembly = 1u << 24, // mov eax, 1; .section, .globl; %rbp
    pemArmour = 1u << 25, // -----BEGIN CERTIFICATE-----, -----END ...
    buildSetting = 1u << 26, // minSdk 24, implementation 'a:b:1.0'
    selector = 1u << 27, // .card > .title, #main {
    symbol = 1u << 28, // :name
};

// Every mark the text shows in its first 100 lines (at most 25,000 characters of them).
std::uint32_t marksOf(QStringView text);

// The marks that back a label: the structure all code shares, and the label's own syntax (for
// a certificate or key, its armour alone).
std::uint32_t marksFor(const QString &label);

// Whether the text shows a mark of code of this content-type label.
bool supports(const QString &label, QStringView text);

} // namespace CodeEvidence
