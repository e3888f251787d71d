#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// What is kept of the title and the description a page gives about itself. A title is a
// line and a description a paragraph: white space of any kind (line breaks, tabs) runs
// together into one space, control characters (an escape, a bell) are dropped, and a text
// longer than its cap is cut at a user-perceived character with an ellipsis. A page may
// send a title of most of a megabyte; every row of the history that shows it would pay
// for it on every paint.
namespace LinkMetadataText {

inline constexpr qsizetype maxTitleCharacters = 300;
inline constexpr qsizetype maxDescriptionCharacters = 3000;

// Nothing when no visible character is left.
std::optional<QString> title(QStringView text);
std::optional<QString> description(QStringView text);

} // namespace LinkMetadataText
