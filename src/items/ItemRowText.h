#pragma once

#include "model/ClipboardItem.h"

#include <QString>

// The words a row or tile shows for an item: a pin's label first, else the content by kind (the
// content of the item a reference stands for). One line each, never the whole text.
QString itemTitle(const ClipboardItem &item);
// A quieter second line (the address under a link's title, a file's folder); may be empty.
QString itemSubtitle(const ClipboardItem &item);
