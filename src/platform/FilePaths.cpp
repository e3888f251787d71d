#include "platform/FilePaths.h"

#include <algorithm>

#include <sys/stat.h>

namespace {

constexpr char16_t firstEscape = 0xDC80;
constexpr char16_t lastEscape = 0xDCFF;

bool isContinuation(uchar byte, uchar low = 0x80, uchar high = 0xBF)
{
    return byte >= low && byte <= high;
}

// The length of the valid UTF-8 sequence at `at`; 0 when none starts there (a stray continuation
// byte, an overlong form, an encoded surrogate, a code point past U+10FFFF, a cut sequence).
qsizetype sequenceLength(QByteArrayView bytes, qsizetype at)
{
    const uchar lead = uchar(bytes[at]);
    const auto next
        = [&](qsizetype offset) { return at + offset < bytes.size() ? uchar(bytes[at + offset]) : 0; };
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return isContinuation(next(1)) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const uchar low = lead == 0xE0 ? 0xA0 : 0x80;
        const uchar high = lead == 0xED ? 0x9F : 0xBF;
        return isContinuation(next(1), low, high) && isContinuation(next(2)) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const uchar low = lead == 0xF0 ? 0x90 : 0x80;
        const uchar high = lead == 0xF4 ? 0x8F : 0xBF;
        return isContinuation(next(1), low, high) && isContinuation(next(2)) && isContinuation(next(3)) ? 4
                                                                                                        : 0;
    }
    return 0;
}

bool isEscape(QChar c)
{
    return c.unicode() >= firstEscape && c.unicode() <= lastEscape;
}

} // namespace

namespace FilePaths {

QString fromNative(QByteArrayView bytes)
{
    QString path;
    path.reserve(bytes.size());
    qsizetype run = 0; // where the valid bytes not yet decoded begin
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype length = sequenceLength(bytes, at);
        if (length > 0) {
            at += length;
            continue;
        }
        path += QString::fromUtf8(bytes.sliced(run, at - run));
        path += QChar(char16_t(0xDC00 + uchar(bytes[at])));
        run = ++at;
    }
    path += QString::fromUtf8(bytes.sliced(run));
    return path;
}

QByteArray toNative(QStringView path)
{
    if (std::none_of(path.begin(), path.end(), isEscape))
        return path.toUtf8();
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype run = 0; // where the characters not yet encoded begin
    for (qsizetype i = 0; i < path.size(); ++i) {
        // The low half of a pair is a character of its own, whatever its value.
        if (path[i].isHighSurrogate() && i + 1 < path.size() && path[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (!isEscape(path[i]))
            continue;
        bytes += path.sliced(run, i - run).toUtf8();
        bytes += char(path[i].unicode() - 0xDC00);
        run = i + 1;
    }
    bytes += path.sliced(run).toUtf8();
    return bytes;
}

QString ofUrl(const QUrl &url)
{
    if (!url.isLocalFile())
        return url.path();
    // QUrl::toLocalFile() reads the escapes as UTF-8, and a byte that is not becomes U+FFFD.
    QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    // As toLocalFile(): a host names a share, "//host/path".
    if (const QString host = url.host(); !host.isEmpty())
        bytes.prepend("//" + host.toUtf8());
    return fromNative(bytes);
}

QUrl toUrl(const QString &path)
{
    if (std::none_of(path.begin(), path.end(), isEscape))
        return QUrl::fromLocalFile(path);
    return QUrl::fromEncoded("file://" + toNative(path).toPercentEncoding("/"), QUrl::StrictMode);
}

QString forDisplay(QStringView path)
{
    QString shown = path.toString();
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i].isHighSurrogate() && i + 1 < shown.size() && shown[i + 1].isLowSurrogate())
            ++i;
        else if (isEscape(shown[i]))
            shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}

bool exists(const QString &path)
{
    const QByteArray native = toNative(path);
    struct stat status = {};
    return !native.isEmpty() && !native.contains('\0') && ::stat(native.constData(), &status) == 0;
}

} // namespace FilePaths
