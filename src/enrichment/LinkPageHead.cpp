#include "enrichment/LinkPageHead.h"

#include "common/Regex.h"

#include <array>
#include <vector>

namespace {

// The patterns never change; one that does not compile is a programming error.
QRegularExpression compile(const QString &pattern)
{
    std::optional<QRegularExpression> regex = makeRegex(pattern, RegexOptions::caseInsensitive);
    if (!regex)
        qFatal("LinkPageHead: pattern does not compile: %s", qPrintable(pattern));
    return *regex;
}

// Both attribute orders of a <meta> tag whose key attribute (property or name) has the value
// key: the key first, then the content.
std::array<QRegularExpression, 2> metaPatterns(const char *attribute, const char *key)
{
    // A quoted value has two captures, one per quote character, so that it runs to the quote
    // that opened it.
    const QString value = QLatin1String(R"re((?:"([^"]+)"|'([^']+)'))re");
    const QString keyPart
        = QLatin1String(R"(%1=["']%2["'])").arg(QLatin1String(attribute), QLatin1String(key));
    return { compile(QStringLiteral("<meta[^>]+") + keyPart + QStringLiteral("[^>]+content=") + value),
        compile(QStringLiteral("<meta[^>]+content=") + value + QStringLiteral("[^>]+") + keyPart) };
}

struct Patterns
{
    std::vector<QRegularExpression> title;
    std::vector<QRegularExpression> description;
    std::vector<QRegularExpression> image;
    QRegularExpression documentTitle = compile(QLatin1String(R"(<title[^>]*>([^<]*)</title\s*>)"));
    QRegularExpression linkTag = compile(QLatin1String(R"(<link\s[^>]*>)"));
    QRegularExpression rel = compile(QLatin1String(R"re(\srel\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+)))re"));
    QRegularExpression href
        = compile(QLatin1String(R"re(\shref\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+)))re"));
    QRegularExpression numericEntity = compile(QStringLiteral("&#x?[0-9a-fA-F]+;"));

    Patterns()
    {
        for (const auto &[list, attribute, key] : { std::tuple { &title, "property", "og:title" },
                 std::tuple { &description, "property", "og:description" },
                 std::tuple { &description, "name", "description" },
                 std::tuple { &image, "property", "og:image" },
                 std::tuple { &image, "name", "twitter:image" } }) {
            for (QRegularExpression &pattern : metaPatterns(attribute, key))
                list->push_back(std::move(pattern));
        }
    }
};

const Patterns &patterns()
{
    static const Patterns compiled;
    return compiled;
}

// The first capture that took part in the match (only one of the alternatives does).
QString capturedValue(const QRegularExpressionMatch &match)
{
    for (int group = 1; group <= match.lastCapturedIndex(); ++group) {
        if (match.capturedStart(group) >= 0)
            return match.captured(group);
    }
    return QString();
}

// The value of the first pattern that matches, in the order given.
std::optional<QString> firstValue(const std::vector<QRegularExpression> &list, const QString &html)
{
    for (const QRegularExpression &pattern : list) {
        const QRegularExpressionMatch match = pattern.match(html);
        if (match.hasMatch())
            return capturedValue(match);
    }
    return std::nullopt;
}

std::optional<QUrl> resolvedAgainst(const QString &value, const QUrl &pageURL)
{
    const QUrl url(value);
    if (url.isValid() && !url.scheme().isEmpty())
        return url;
    if (!url.isValid())
        return std::nullopt;
    const QUrl resolved = pageURL.resolved(url);
    return resolved.isValid() ? std::optional<QUrl>(resolved) : std::nullopt;
}

std::optional<QString> readDocumentTitle(const QString &html)
{
    const QRegularExpressionMatch match = patterns().documentTitle.match(html);
    if (!match.hasMatch())
        return std::nullopt;
    const QString title = decodeHTMLEntities(match.captured(1).simplified());
    if (title.trimmed().isEmpty())
        return std::nullopt;
    return title;
}

// A larger touch icon beats the small browser icon.
std::optional<QUrl> readIconURL(const QString &html, const QUrl &pageURL)
{
    std::optional<QString> icon;
    QRegularExpressionMatchIterator tags = patterns().linkTag.globalMatch(html);
    while (tags.hasNext()) {
        const QString tag = tags.next().captured(0);
        const QRegularExpressionMatch rel = patterns().rel.match(tag);
        const QRegularExpressionMatch href = patterns().href.match(tag);
        if (!rel.hasMatch() || !href.hasMatch())
            continue;
        const QString value
            = capturedValue(href).replace(QLatin1String("&amp;"), QLatin1String("&")).trimmed();
        if (value.isEmpty())
            continue;
        const QStringList relations
            = capturedValue(rel).toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (relations.contains(QLatin1String("apple-touch-icon"))
            || relations.contains(QLatin1String("apple-touch-icon-precomposed")))
            return resolvedAgainst(value, pageURL);
        if (!icon && relations.contains(QLatin1String("icon")))
            icon = value;
    }
    if (!icon)
        return std::nullopt;
    return resolvedAgainst(*icon, pageURL);
}

struct NamedEntity
{
    QLatin1String name;
    char32_t character;
};

// "&amp;" first, so that "&amp;lt;" ends as "<".
constexpr NamedEntity namedEntities[] = {
    { QLatin1String("&amp;"), U'&' },
    { QLatin1String("&lt;"), U'<' },
    { QLatin1String("&gt;"), U'>' },
    { QLatin1String("&quot;"), U'"' },
    { QLatin1String("&apos;"), U'\'' },
    { QLatin1String("&nbsp;"), U'\u00A0' },
    { QLatin1String("&ndash;"), U'\u2013' },
    { QLatin1String("&mdash;"), U'\u2014' },
    { QLatin1String("&lsquo;"), U'\u2018' },
    { QLatin1String("&rsquo;"), U'\u2019' },
    { QLatin1String("&ldquo;"), U'\u201C' },
    { QLatin1String("&rdquo;"), U'\u201D' },
    { QLatin1String("&hellip;"), U'\u2026' },
    { QLatin1String("&trade;"), U'\u2122' },
    { QLatin1String("&copy;"), U'\u00A9' },
    { QLatin1String("&reg;"), U'\u00AE' },
};

bool isScalarValue(quint32 value)
{
    return value < 0x110000 && (value < 0xD800 || value > 0xDFFF);
}

} // namespace

LinkPageHead LinkPageHead::parse(const QString &html, const QUrl &pageURL)
{
    LinkPageHead head;
    if (const std::optional<QString> title = firstValue(patterns().title, html))
        head.title = decodeHTMLEntities(*title);
    if (const std::optional<QString> description = firstValue(patterns().description, html))
        head.description = decodeHTMLEntities(*description);
    head.imageURL = resolveImageURL(html, pageURL);
    head.documentTitle = readDocumentTitle(html);
    head.iconURL = readIconURL(html, pageURL);
    return head;
}

std::optional<QUrl> resolveImageURL(const QString &html, const QUrl &pageURL)
{
    std::optional<QString> value = firstValue(patterns().image, html);
    if (!value)
        return std::nullopt;
    return resolvedAgainst(value->replace(QLatin1String("&amp;"), QLatin1String("&")), pageURL);
}

QString decodeHTMLEntities(const QString &text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    // Built in one pass: replacing in place moves the rest of the text for every reference,
    // which a page full of them would make quadratic.
    QString result;
    result.reserve(text.size());
    qsizetype copied = 0;
    QRegularExpressionMatchIterator iterator = patterns().numericEntity.globalMatch(text);
    while (iterator.hasNext()) {
        const QRegularExpressionMatch match = iterator.next();
        const QStringView reference = match.capturedView(0);
        const bool hex = reference.size() > 2 && (reference[2] == u'x' || reference[2] == u'X');
        const QStringView digits = reference.sliced(hex ? 3 : 2).chopped(1);
        bool ok = false;
        const quint32 value = digits.toUInt(&ok, hex ? 16 : 10);
        if (!ok || !isScalarValue(value))
            continue;
        const char32_t character = value;
        result.append(QStringView(text).sliced(copied, match.capturedStart(0) - copied));
        result.append(QString::fromUcs4(&character, 1));
        copied = match.capturedEnd(0);
    }
    result.append(QStringView(text).sliced(copied));
    for (const NamedEntity &entity : namedEntities) {
        const char32_t character = entity.character;
        result.replace(entity.name, QString::fromUcs4(&character, 1));
    }
    return result;
}
