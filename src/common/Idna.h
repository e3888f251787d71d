#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Host names as browsers read them: Unicode's IDNA compatibility processing (UTS #46), done by
// ICU with the options of the web's URL standard. Any thread.
namespace Idna {

// The name in the ASCII form a browser looks up: full-width and other compatibility forms of
// letters, digits and full stops mapped ("ｐａｙｐａｌ．ｃｏｍ" is "paypal.com"), characters
// names leave out dropped (a soft hyphen), capitals lowered, labels outside ASCII in their
// "xn--" form. Empty labels, hyphens at the ends of a label and overlong names stay, as
// browsers keep them; a character no name may hold (U+FE52, a small full stop), a broken
// "xn--" label or a label breaking the rules of right-to-left scripts and joiners makes it
// nothing. ASCII punctuation ("_", "*", "/") stays for the caller to judge.
std::optional<QString> toAscii(QStringView name);

// The text with each character mapped as toAscii() maps it (one no name may hold becomes
// U+FFFD), nothing checked: whether a text holds a full stop of some form.
QString mapped(QStringView text);

// The text as IDNA 2003 read names (NFKC with case folding, ignorable characters left out), as
// programs that resolve names by it still read them: there the dots that browsers refuse
// (U+FE52) are full stops too.
QString foldedAsIdna2003(QStringView text);

} // namespace Idna
