#include "common/StrictText.h"

#include "common/Ascii.h"

#include <QStringDecoder>

namespace StrictText {

std::optional<QString> fromUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

std::optional<QString> removingPercentEncoding(QStringView text)
{
    if (!text.contains(u'%'))
        return text.toString();
    const QByteArray utf8 = text.toUtf8();
    QByteArray bytes;
    bytes.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '%') {
            bytes.append(utf8[i]);
            continue;
        }
        const int high = i + 1 < utf8.size() ? Ascii::hexValue(QLatin1Char(utf8[i + 1])) : -1;
        const int low = i + 2 < utf8.size() ? Ascii::hexValue(QLatin1Char(utf8[i + 2])) : -1;
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.append(char(high * 16 + low));
        i += 2;
    }
    return fromUtf8(bytes);
}

} // namespace StrictText
