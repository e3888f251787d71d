#include "common/Idna.h"

#include "common/Ascii.h"

#include <unicode/uidna.h>
#include <unicode/unorm2.h>

#include <algorithm>
#include <limits>

namespace {

const UChar *units(QStringView text)
{
    return reinterpret_cast<const UChar *>(text.utf16());
}

// What an ICU function writes into a buffer of a given size (the status set and the length it
// needs returned), grown once when it was too small. Nothing when ICU fails.
template <typename Write> std::optional<QString> writtenByIcu(qsizetype guess, Write write)
{
    QString out(std::max<qsizetype>(guess, 16), Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = write(reinterpret_cast<UChar *>(out.data()), int32_t(out.size()), status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(length);
        status = U_ZERO_ERROR;
        length = write(reinterpret_cast<UChar *>(out.data()), int32_t(out.size()), status);
    }
    if (U_FAILURE(status))
        return std::nullopt;
    out.resize(length);
    return out;
}

// The processing of the URL standard: no transitional mappings ("ß" stays), right-to-left and
// joiner rules checked, ASCII punctuation allowed (it is judged later), hyphens and lengths
// not checked. ICU's instances are immutable and safe to share between threads.
const UIDNA *browserIdna()
{
    static UIDNA *const idna = [] {
        UErrorCode status = U_ZERO_ERROR;
        UIDNA *opened = uidna_openUTS46(UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ
                | UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_NONTRANSITIONAL_TO_UNICODE,
            &status);
        return U_SUCCESS(status) ? opened : nullptr;
    }();
    return idna;
}

constexpr uint32_t errorsBrowsersIgnore = UIDNA_ERROR_EMPTY_LABEL | UIDNA_ERROR_LABEL_TOO_LONG
    | UIDNA_ERROR_DOMAIN_NAME_TOO_LONG | UIDNA_ERROR_LEADING_HYPHEN | UIDNA_ERROR_TRAILING_HYPHEN
    | UIDNA_ERROR_HYPHEN_3_4;

// Texts ICU's 32-bit lengths can hold, with room for a mapping that grows them.
bool fitsIcu(QStringView text)
{
    return text.size() < std::numeric_limits<int32_t>::max() / 4;
}

// One of ICU's normalisations by the name of its data; ICU keeps it for the life of the process.
const UNormalizer2 *normalizer(const char *name)
{
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2 *found = unorm2_getInstance(nullptr, name, UNORM2_COMPOSE, &status);
    return U_SUCCESS(status) ? found : nullptr;
}

QString normalized(const UNormalizer2 *normalizer, QStringView text)
{
    if (!normalizer || !fitsIcu(text))
        return text.toString();
    UErrorCode status = U_ZERO_ERROR;
    const int32_t size = int32_t(text.size());
    if (unorm2_spanQuickCheckYes(normalizer, units(text), size, &status) == size || U_FAILURE(status))
        return text.toString();
    return writtenByIcu(text.size() + 16, [&](UChar *out, int32_t capacity, UErrorCode &error) {
        return unorm2_normalize(normalizer, units(text), size, out, capacity, &error);
    }).value_or(text.toString());
}

} // namespace

namespace Idna {

std::optional<QString> toAscii(QStringView name)
{
    // ASCII maps to itself in lower case: only an "xn--" label has more to check.
    if (Ascii::isAscii(name) && !name.startsWith(u"xn--", Qt::CaseInsensitive)
        && !name.contains(u".xn--", Qt::CaseInsensitive))
        return name.toString().toLower();
    const UIDNA *idna = browserIdna();
    if (!idna || !fitsIcu(name))
        return std::nullopt;
    UIDNAInfo info = UIDNA_INFO_INITIALIZER;
    std::optional<QString> ascii = writtenByIcu(
        name.size() + 16, [&](UChar *out, int32_t capacity, UErrorCode &status) {
            info = UIDNA_INFO_INITIALIZER;
            return uidna_nameToASCII(idna, units(name), int32_t(name.size()), out, capacity, &info, &status);
        });
    if (!ascii || (info.errors & ~errorsBrowsersIgnore) != 0)
        return std::nullopt;
    return ascii;
}

QString mapped(QStringView text)
{
    if (Ascii::isAscii(text))
        return text.toString().toLower();
    // ICU's data for the mapping step of UTS #46.
    static const UNormalizer2 *const uts46 = normalizer("uts46");
    return normalized(uts46, text);
}

QString foldedAsIdna2003(QStringView text)
{
    static const UNormalizer2 *const nfkcCasefold = normalizer("nfkc_cf");
    return normalized(nfkcCasefold, text);
}

} // namespace Idna
