#pragma once

#include "model/ClipboardItem.h"

#include <QKeySequence>
#include <QList>
#include <QString>

#include <functional>

class AppSettings;
class QMenu;
class QWidget;

// What a row's or tile's context menu offers: pinning, a pin's label, deleting, for a colour
// pasting it in each of the user's enabled notations and opening the settings of those
// notations, and for a picture whose file is SVG source pasting that source.
struct ItemMenuEntry
{
    enum class Action { togglePin, editLabel, remove, pasteText, customizeFormats };

    Action action = Action::togglePin;
    QString title;
    // The text to paste (pasteText only).
    QString value;
    QKeySequence shortcut;
    bool separatorBefore = false;
};

QList<ItemMenuEntry> itemMenuEntries(const ClipboardItem &item, const AppSettings &settings);
// The entry that pastes an SVG file's source (known only once the file has been read).
ItemMenuEntry svgCodeMenuEntry(const QString &svgCode);

// A menu of the entries; choosing one runs chosen with it.
QMenu *buildItemMenu(const QList<ItemMenuEntry> &entries, QWidget *parent,
    const std::function<void(const ItemMenuEntry &)> &chosen);
// Adds entries to a menu that may already be open.
void appendItemMenuEntries(QMenu *menu, const QList<ItemMenuEntry> &entries,
    const std::function<void(const ItemMenuEntry &)> &chosen);
