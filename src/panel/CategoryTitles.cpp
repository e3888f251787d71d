#include "panel/CategoryTitles.h"

QString categoryTitle(ClipboardItemType type)
{
    switch (type) {
    case ClipboardItemType::text:
        return CategoryTitle::text;
    case ClipboardItemType::link:
        return CategoryTitle::links;
    case ClipboardItemType::file:
        return CategoryTitle::files;
    case ClipboardItemType::color:
        return CategoryTitle::colors;
    case ClipboardItemType::media:
        return CategoryTitle::media;
    case ClipboardItemType::code:
        return CategoryTitle::code;
    }
    return CategoryTitle::text;
}

bool hasViewModeToggle(const QString &title)
{
    return title == CategoryTitle::files || title == CategoryTitle::media || title == CategoryTitle::colors;
}
