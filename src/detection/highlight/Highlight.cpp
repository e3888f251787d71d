#include "detection/highlight/Highlight.h"

#include <QHash>
#include <QTextBlock>
#include <QTextDocument>

namespace {

const QString kUndefined = QStringLiteral("undefined");

// Keeps the styling of a character format and nothing that would fix a font.
QTextCharFormat styling(const QTextCharFormat &format)
{
    static const int kKept[] = {
        QTextFormat::ForegroundBrush,
        QTextFormat::FontWeight,
        QTextFormat::FontItalic,
        QTextFormat::FontUnderline,
        QTextFormat::TextUnderlineStyle,
        QTextFormat::FontStrikeOut,
    };
    QTextCharFormat kept;
    for (int property : kKept) {
        if (format.hasProperty(property))
            kept.setProperty(property, format.property(property));
    }
    return kept;
}

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

} // namespace

Highlight::Highlight(const QString &scriptPath)
    : m_hljs(std::make_unique<HLJS>(scriptPath))
{ }

Highlight::~Highlight() = default;

QFuture<HighlightResult> Highlight::request(
    const QString &text, const HighlightMode &mode, const HighlightColors &colors)
{
    return m_hljs->highlight(text, mode)
        .then(QtFuture::Launch::Async,
            [text, colors](const HLJSResult &reported) { return result(text, reported, colors); });
}

QFuture<AttributedText> Highlight::attributedText(const QString &text, const HighlightColors &colors)
{
    return request(text, HighlightMode::automatic(), colors).then([](const HighlightResult &result) {
        return result.attributedText;
    });
}

QFuture<AttributedText> Highlight::attributedText(
    const QString &text, HighlightLanguage language, const HighlightColors &colors)
{
    return request(text, HighlightMode::language(language), colors).then([](const HighlightResult &result) {
        return result.attributedText;
    });
}

QFuture<AttributedText> Highlight::attributedText(
    const QString &text, const QString &languageName, const HighlightColors &colors)
{
    return request(text, HighlightMode::languageAlias(languageName), colors)
        .then([](const HighlightResult &result) { return result.attributedText; });
}

HighlightResult Highlight::result(
    const QString &text, const HLJSResult &reported, const HighlightColors &colors)
{
    HighlightResult result;
    result.isUndefined = reported.value == kUndefined;
    result.attributedText = result.isUndefined
        ? AttributedText::plain(text)
        : attributedTextFromHtml(htmlDocument(reported.value, colors.css));
    result.hasIllegal = reported.illegal;
    result.language = reported.language == kUndefined ? QStringLiteral("unknown") : reported.language;
    result.relevance = reported.relevance;
    result.languageName = languageName(reported.language, reported.relevance);
    result.backgroundColor = backgroundColor(colors.background);
    return result;
}

QString Highlight::htmlDocument(const QString &value, const QString &css)
{
    return QStringLiteral("<style>\n") + css + QStringLiteral("\n</style>")
        + QStringLiteral("\n<pre><code class=\"hljs\">") + value.trimmed() + QStringLiteral("</code></pre>");
}

AttributedText Highlight::attributedTextFromHtml(const QString &html)
{
    QTextDocument document;
    document.setHtml(html);

    AttributedText result;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin())
            result.text += u'\n';
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QString text = fragment.text();
            for (QChar &c : text) {
                if (isLineBreak(c))
                    c = u'\n';
            }
            const QTextCharFormat format = styling(fragment.charFormat());
            if (!format.properties().isEmpty())
                result.formats.append({ int(result.text.size()), int(text.size()), format });
            result.text += text;
        }
    }

    // The reader may end a preformatted block with a line break of its own. Only such a break
    // goes; an output without one keeps its last character, and an empty one stays empty.
    if (!result.text.isEmpty() && isLineBreak(result.text.back())) {
        result.text.chop(1);
        const int end = int(result.text.size());
        QList<QTextLayout::FormatRange> clipped;
        for (QTextLayout::FormatRange range : std::as_const(result.formats)) {
            range.length = std::min(range.start + range.length, end) - range.start;
            if (range.length > 0)
                clipped.append(range);
        }
        result.formats = clipped;
    }
    return result;
}

QString Highlight::languageName(const QString &language, int relevance)
{
    if (language == kUndefined)
        return QStringLiteral("Unknown");

    static const QHash<QString, QString> kFixed {
        { QStringLiteral("xml"), QStringLiteral("HTML") },
        { QStringLiteral("cpp"), QStringLiteral("C++") },
        { QStringLiteral("csharp"), QStringLiteral("C#") },
        { QStringLiteral("graphql"), QStringLiteral("GraphQL") },
        { QStringLiteral("pgsql"), QStringLiteral("PostgreSQL") },
        { QStringLiteral("javascript"), QStringLiteral("JavaScript") },
        { QStringLiteral("typescript"), QStringLiteral("TypeScript") },
        { QStringLiteral("objectivec"), QStringLiteral("Objective-C") },
        { QStringLiteral("vbnet"), QStringLiteral("Visual Basic .NET") },
        { QStringLiteral("php-template"), QStringLiteral("PHP Template") },
    };
    static const QStringList kUpperCased {
        QStringLiteral("css"),
        QStringLiteral("sql"),
        QStringLiteral("json"),
        QStringLiteral("php"),
        QStringLiteral("scss"),
        QStringLiteral("toml"),
        QStringLiteral("yaml"),
        QStringLiteral("wasm"),
    };

    // Two of our script names are aliases that we register; highlight.js reports the name it
    // was asked for, so they are named as the languages they stand for.
    static const QHash<QString, QString> kAliases {
        { QStringLiteral("phptemp"), QStringLiteral("php-template") },
        { QStringLiteral("webass"), QStringLiteral("wasm") },
    };
    const QString canonical = kAliases.value(language, language);

    QString name;
    if (const auto fixed = kFixed.constFind(canonical); fixed != kFixed.constEnd()) {
        name = *fixed;
    } else if (kUpperCased.contains(canonical)) {
        name = canonical.toUpper();
    } else {
        // Each word (words are separated by white space) with an upper-case first letter and
        // the rest in lower case.
        name = canonical.toLower();
        bool wordStart = true;
        for (QChar &c : name) {
            if (c.isSpace()) {
                wordStart = true;
            } else if (wordStart) {
                c = c.toUpper();
                wordStart = false;
            }
        }
    }
    return relevance < 6 ? name + u'?' : name;
}

QColor Highlight::backgroundColor(const QString &hex)
{
    qsizetype begin = 0;
    qsizetype end = hex.size();
    while (begin < end && !hex.at(begin).isLetterOrNumber())
        ++begin;
    while (end > begin && !hex.at(end - 1).isLetterOrNumber())
        --end;
    const QStringView digits = QStringView(hex).mid(begin, end - begin);

    // The leading hexadecimal digits as a number (an optional "0x" first), 0 when there are none.
    QStringView scanned = digits;
    if (scanned.startsWith(u"0x", Qt::CaseInsensitive))
        scanned = scanned.mid(2);
    quint64 value = 0;
    for (QChar c : scanned) {
        const int digit = c.isDigit() && c.unicode() < 128 ? c.unicode() - '0'
            : (c.unicode() >= 'a' && c.unicode() <= 'f')   ? c.unicode() - 'a' + 10
            : (c.unicode() >= 'A' && c.unicode() <= 'F')   ? c.unicode() - 'A' + 10
                                                           : -1;
        if (digit < 0)
            break;
        value = value > (std::numeric_limits<quint64>::max() >> 4) ? std::numeric_limits<quint64>::max()
                                                                   : (value << 4) | quint64(digit);
    }

    switch (digits.size()) {
    case 3:
        return QColor(int((value >> 8) & 0xF) * 17, int((value >> 4) & 0xF) * 17, int(value & 0xF) * 17, 255);
    case 6:
        return QColor(int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF), 255);
    case 8:
        return QColor(int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF),
            int((value >> 24) & 0xFF));
    default:
        return QColor(1, 1, 0, 1);
    }
}
