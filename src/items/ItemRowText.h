#pragma once

#include "model/ClipboardItem.h"

#include <QColor>
#include <QString>

class QPalette;

// The words a row or tile shows for an item: a pin's label first, else the content by kind (the
// content of the item a reference stands for). One line each, never the whole text.
QString itemTitle(const ClipboardItem &item);
// A quieter second line (the address under a link's title, a file's folder); may be empty.
QString itemSubtitle(const ClipboardItem &item);

// The colour at the given opacity.
QColor withAlpha(QColor color, double alpha);

// The shared tints of the columns and their rows: the appearance's text colour ("primary") at a
// fixed opacity, so that they follow light and dark alike.
QColor primaryTint04(const QPalette &palette);
QColor primaryTint05(const QPalette &palette);
QColor primaryTint075(const QPalette &palette);
QColor primaryTint65(const QPalette &palette);
