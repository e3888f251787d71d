#include "detection/CodeEvidence.h"

#include "detection/HeuristicCodeDetection.h"

#include <QHash>
#include <QRegularExpression>

#include <array>

namespace CodeEvidence {

namespace {

struct MarkPattern
{
    Mark mark;
    const char *pattern;
    bool ignoreCase = false;
};

// Each pattern is searched in the whole text, "^" and "$" anchoring at every line.
constexpr std::array<MarkPattern, 29> markPatterns { {
    { bracket, R"([{}\[\]])" },
    { call,
        R"([A-Za-z_][\w.]*\((?!s\))(?!\s)|\(\)|\b[a-z_]\w*\.[a-z_]\w+\s+["':])"
        R"(|\b(?:if|for|while|switch|catch|elif|elsif|foreach|until)\s+\(|\b(?:self|this)\.\w)" },
    { statementEnd, R"(;\s*$|;(?=[^\s;]))" },
    { assignment,
        R"(\b[A-Za-z_][\w.\[\]]*\s*(?:[-+*/%|&^.:]|\?\?|<<|>>|\*\*)?=(?![=>~])\s*(?:\S|$))"
        R"(|\)\s*=(?![=>~])\s*\S|^\s*"[^"\n]+"\s*:\s*\S)" },
    { operatorPair, R"(==|!=|<=|>=|&&|\|\||\+\+|\*\*|\?\?|\?\.|<<|>>|\+=|-=)" },
    { arrow, R"(->|=>|<-|::|\|>|:-(?![()\[\]DPpO|/\\]))" },
    { variable, R"(\$[A-Za-z_{(@#?*!]|\$\$|%[A-Za-z_]\w*%|%%~?\w|^\s*@[A-Za-z_]\w*)" },
    { directive,
        R"(^#!|^\s*#\s*(?:include|define|undef|ifdef|ifndef|endif|pragma|import)\b)"
        R"(|^\s*import\s+(?:qualified\s+|static\s+)?[\w*]+(?:\.[\w*]+)*(?:\s+as\s+\w+|\s+exposing)?(?:\s*\(.*\))?;?\s*$)"
        R"(|^\s*(?:module|namespace|defmodule)\s+[A-Z][\w.]*(?:\s+(?:where|exposing|do)\b.*)?\s*$)"
        R"(|^\s*(?:public|private|protected|internal)\s+(?:(?:static|final|abstract|async|override|readonly)\s+)*)"
        R"((?:class|interface|enum|struct|record|object|void|int|long|double|bool|boolean|var|val|fun|func|def)\b)"
        R"(|^\s*(?:public|private|protected|internal)\s+(?:\w+\s+)*[A-Z]\w*(?:<[^>]*>)?\s+\w+\s*[({=;])"
        R"(|^\s*(?:def|fn|func|function|sub|proc|defn|defp)\s+[A-Za-z_][\w.]*[?!]?\s*(?:[(:<{]|$))"
        R"(|^\s*(?:abstract\s+|mutable\s+)?(?:class|struct|enum|trait|interface|object|impl|type)\s+[A-Z]\w*)"
        R"((?:\s*[({:<=]|\s+(?:extends|implements|where|end|of)\b|\s*$))"
        R"(|^\s*package\s+(?:main|[a-z]\w*(?:\.[a-z]\w*)+;?)\s*$|^\s*from\s+[\w.]+\s+import\s)"
        R"(|^\s*using\s+[\w.]+\s*;|^\s*use\s+[\w:]+.*;\s*$|^\s*(?:require|require_relative|library)\s*\(?\s*['"])" },
    { markup,
        R"(<[A-Za-z][\w:.-]*(?:\s[^<>]*)?/?>|</[A-Za-z][\w:.-]*\s*>|<!--|<\?(?:xml|php|=)|<!DOCTYPE|\{\{|\{%)" },
    { printCall,
        R"(^\s*(?:\$\s+)?(?:puts|print|printf|println|echo|say|console\.log|writeln|Write-Host|disp)\b\s*\(?\s*["'$])" },
    { shellCommand,
        R"(^\s*(?:\$\s+)?(?:sudo\s+)?(?:ls|cd|grep|egrep|sed|awk|git|apt|apt-get|apt-cache|dnf|yum|pacman|zypper)"
        R"(|pip|pip3|pipx|npm|npx|yarn|pnpm|docker|podman|kubectl|helm|curl|wget|ssh|scp|rsync|tar|unzip|gzip)"
        R"(|chmod|chown|chgrp|mkdir|rmdir|rm|cp|mv|ln|unset|cargo|rustc|rustup|javac|gcc|g\+\+|clang|cmake|ninja)"
        R"(|brew|systemctl|journalctl|killall|pkill|ps|df|du|lsblk|umount|ifconfig|nano|vim|nvim|xargs|tee|dpkg)"
        R"(|flatpak|conda|virtualenv|gem|bundle|composer|mvn|dotnet|terraform|ansible|crontab|useradd|usermod)"
        R"(|ssh-keygen|openssl|gpg|ffmpeg|pandoc|pdflatex|xdg-open|xclip|tmux|htop|uname|whoami|nslookup|netstat)(?=\s|$))"
        R"(|^\s*(?:\./|~/|\.\./)\S)"
        R"(|^\s*(?:python3?|node|ruby|perl|php|java|bash|sh|zsh|cat|find|head|tail|sort|touch|kill|man|which)"
        R"(|export|source|make|go)\s+\S*[./=~*$])"
        R"(|^\s*make(?:\s+(?:install|clean|test|all|check|build|run|dist|distclean|uninstall))+\s*$)"
        R"(|^\s*go\s+(?:build|run|test|get|mod|install|vet|fmt)\b)" },
    { flag, R"((?:^|\s)--?[A-Za-z][\w-]*)" },
    { pipeOrRedirect, R"(\S\s*\|\s*[A-Za-z]|\S\s+>>?\s*[\w/.$&~"]|\S\s+<\s*[\w/.$]|2>&1|&>)" },
    { cmdlet,
        R"(\b(?:Get|Set|New|Remove|Add|Start|Stop|Restart|Write|Read|Invoke|Import|Export|Select|Where|ForEach)"
        R"(|Test|Out|Format|ConvertTo|ConvertFrom|Copy|Move|Rename|Clear|Enable|Disable|Install|Update|Measure)"
        R"(|Sort|Group|Join|Split|Wait|Register|Resolve|Push|Pop|Enter)-[A-Z][A-Za-z]+)" },
    { batchSwitch,
        R"(^\s*@?echo(?:\s|\.|$)|^\s*(?:set|setlocal|endlocal|goto|call|rem|if|for|pushd|popd|del|copy)"
        R"(|xcopy|robocopy|dir|cd|mkdir|start|pause|cls|title|reg|net|sc|taskkill|tasklist|ipconfig)\b)"
        R"((?:\s+\S*[/%=:\\]|\s*$)|\s/[A-Za-z?](?=\s|$)|^\s*::|^\s*:\w+\s*$)",
        true },
    { glob, R"([*?](?=[\w./])|\*\s*$|^\s*!\S|^\s*#\s|(?:^|\s)/\w|\w/(?:\s|$)|\w/\w|^\s*\.\w|\w_\w)" },
    { backslashCommand,
        R"(\\[A-Za-z]+\*?[{\[]|^\s*\\(?:item|hline|noindent|centering|maketitle|newpage|clearpage|par)\b)" },
    { diffLine, R"(^(?:@@ |\+\+\+ |--- |diff |index [0-9a-f])|^[+-][^\s\d+-]|^\+\s)" },
    { keyLine, R"(^\s*\[[\w. "-]+\]\s*$|^\s*[\w.-]+:\s+\S|^\s*[\w.-]+:\s*$|^---\s*$|^\s*-\s+[\w.-]+:\s)" },
    { sqlStatement,
        R"(\b(?:select\s+(?:\*|distinct\b|[\w.,\s*()]+?)\s+from\b|insert\s+into\b|update\s+\w+\s+set\b)"
        R"(|delete\s+from\b|create\s+(?:table|index|view|database|unique)\b|drop\s+(?:table|index|view|database)\b)"
        R"(|alter\s+table\b|truncate\s+table\b|with\s+\w+\s+as\s*\(|grant\s+\w+\s+on\b))",
        true },
    { lispForm,
        R"(^\s*['#`]?\((?:def\w*|let\*?|if|cond|lambda|ns|require|setq|setf|progn|when|unless|loop|format)"
        R"(|print\w*|list|car|cdr|cons|quote|and|or|not|case|do|fn|map|reduce|filter|->>?)[\s)]|\(\s*\(|\)\s*\)|'\(|\(:[a-z])" },
    { blockKeyword,
        R"(^\s*(?:end|fi|done|esac|endif|endfor|endwhile|endfunction|endmodule|wend|then|do|begin)\s*[;.]?\s*$)"
        R"(|;\s*(?:then|do)\s*$|^\s*return\s+[\w.()]+;?\s*$|^\s*import\s*\($)"
        R"(|^\s*(?:Dim|End Sub|End Function|End If|MsgBox|Private Sub|Public Sub|Next \w+)\b)"
        R"(|^\s*(?:program|subroutine)\s+[a-z_]\w*\s*$|^\s*case\s+.+\s+of\s*$|^\s*match\s+.+\s+with\s*$)"
        R"(|^\s*(?:input|output|inout)\s+(?:wire|reg|logic)\b|^\s*always\s*@)"
        R"(|^\s*(?:if|elif|else|while|def|class|try|except|finally|switch|case)\b[^\n]*:\s*$)"
        R"(|^\s*for\s+\w+(?:\s*,\s*\w+)*\s+in\b[^\n]*:\s*$|^\s*with\b[^\n]*\bas\b[^\n]*:\s*$)" },
    { makeRule, R"(^\.PHONY|^\t\S|^[\w./%$()-]+:\s+[\w./%$()-]+(?:\s+[\w./%$()-]+)*\s*$)" },
    { dockerInstruction,
        R"(^\s*(?:FROM|RUN|CMD|COPY|ADD|ENV|EXPOSE|WORKDIR|ENTRYPOINT|ARG|LABEL|USER|VOLUME|HEALTHCHECK)\s+\S)" },
    { assembly,
        R"(^\s*[a-z]{2,7}\s+[%$#\[]?\w+\]?\s*,\s*[%$#\[]?-?\w+|^\s*\.(?:text|data|bss|globl|global|section)"
        R"(|byte|word|long|quad|asciz?)\b|%[re]?(?:[abcd]x|[sb]p|[sd]i)\b|%r\d+)" },
    // The armour alone: lines of base64 without it are any data or key, which people copy as text.
    { pemArmour, R"(-----(?:BEGIN|END) [A-Z0-9 ]+-----)" },
    { selector, R"(^\s*[.#][A-Za-z][\w-]*(?:\s*[>+~,{]|\s+[.#]?[A-Za-z][\w-]*\s*[,{>]))" },
    { symbol, R"((?:^|[\s(\[,]):[a-z_]\w+)" },
    { buildSetting, R"(^\s*[a-z]+[A-Z]\w*\s+\S|^\s*[a-z]\w*\s+['"][^'"\s]+['"]\s*$)" },
} };

struct CompiledMark
{
    Mark mark;
    QRegularExpression regex;
};

const std::vector<CompiledMark> &compiledMarks()
{
    static const std::vector<CompiledMark> compiled = [] {
        std::vector<CompiledMark> marks;
        for (const MarkPattern &entry : markPatterns) {
            QRegularExpression::PatternOptions options
                = HeuristicCodeDetection::patternOptions | QRegularExpression::MultilineOption;
            if (entry.ignoreCase)
                options |= QRegularExpression::CaseInsensitiveOption;
            QRegularExpression regex(QString::fromUtf8(entry.pattern), options);
            Q_ASSERT_X(regex.isValid(), "CodeEvidence", entry.pattern);
            regex.optimize();
            marks.push_back({ entry.mark, std::move(regex) });
        }
        return marks;
    }();
    return compiled;
}

// The structure all code shares, whatever its language.
constexpr std::uint32_t sharedStructure = bracket | call | statementEnd | assignment | operatorPair | arrow
    | variable | directive | markup | blockKeyword;

// What only some languages write. Those whose statements often do without brackets and
// semicolons have their prints counted too ("puts x", "print 'x'"), some their symbols.
std::uint32_t ownSyntax(const QString &label)
{
    static const QHash<QString, std::uint32_t> own {
        { QStringLiteral("shell"), shellCommand | flag | pipeOrRedirect | printCall },
        { QStringLiteral("batch"), batchSwitch | shellCommand | pipeOrRedirect | printCall },
        { QStringLiteral("css"), selector },
        { QStringLiteral("scss"), selector },
        { QStringLiteral("gradle"), buildSetting },
        { QStringLiteral("groovy"), buildSetting },
        { QStringLiteral("kotlin"), buildSetting },
        { QStringLiteral("powershell"), cmdlet | flag | pipeOrRedirect | shellCommand | printCall },
        { QStringLiteral("awk"), pipeOrRedirect | printCall },
        { QStringLiteral("makefile"), makeRule | shellCommand | flag },
        { QStringLiteral("dockerfile"), dockerInstruction | shellCommand | flag },
        { QStringLiteral("ignorefile"), glob },
        { QStringLiteral("latex"), backslashCommand },
        { QStringLiteral("diff"), diffLine },
        { QStringLiteral("yaml"), keyLine },
        { QStringLiteral("ini"), keyLine },
        { QStringLiteral("toml"), keyLine },
        { QStringLiteral("sql"), sqlStatement },
        { QStringLiteral("lisp"), lispForm | symbol },
        { QStringLiteral("clojure"), lispForm | symbol },
        { QStringLiteral("asm"), assembly },
        { QStringLiteral("pem"), pemArmour },
        { QStringLiteral("python"), printCall },
        { QStringLiteral("ruby"), printCall | symbol },
        { QStringLiteral("lua"), printCall },
        { QStringLiteral("julia"), printCall },
        { QStringLiteral("elixir"), printCall | symbol },
        { QStringLiteral("matlab"), printCall },
        { QStringLiteral("fortran"), printCall },
        { QStringLiteral("vba"), printCall },
        { QStringLiteral("pascal"), printCall },
        { QStringLiteral("perl"), printCall },
        { QStringLiteral("tcl"), printCall },
        { QStringLiteral("r"), printCall },
        { QStringLiteral("coffeescript"), printCall },
    };
    return own.value(label, 0);
}

// The text as far as the marks are looked for: its first 100 lines (as many as the heuristics
// read), and no more than 25,000 characters of them.
QStringView examined(QStringView text)
{
    constexpr qsizetype maxCharacters
        = HeuristicCodeDetection::maxLines * HeuristicCodeDetection::maxLineLength / 2;
    qsizetype end = std::min(text.size(), maxCharacters);
    qsizetype lines = 0;
    for (qsizetype i = 0; i < end; ++i) {
        if (text[i] == u'\n' && ++lines == HeuristicCodeDetection::maxLines)
            end = i;
    }
    return text.first(end);
}

bool shows(const CompiledMark &mark, QStringView text)
{
    return mark.regex.match(text).hasMatch();
}

} // namespace

std::uint32_t marksOf(QStringView text)
{
    const QStringView scanned = examined(text);
    std::uint32_t marks = 0;
    for (const CompiledMark &mark : compiledMarks()) {
        if (shows(mark, scanned))
            marks |= mark.mark;
    }
    return marks;
}

std::uint32_t marksFor(const QString &label)
{
    // A certificate or key is base64 in its armour, with none of the structure code shares: in
    // base64 such marks are chance ("++", "+=" at the padding).
    if (label == u"pem")
        return pemArmour;
    return sharedStructure | ownSyntax(label);
}

bool supports(const QString &label, QStringView text)
{
    const std::uint32_t wanted = marksFor(label);
    const QStringView scanned = examined(text);
    for (const CompiledMark &mark : compiledMarks()) {
        if ((wanted & mark.mark) && shows(mark, scanned))
            return true;
    }
    return false;
}

} // namespace CodeEvidence
