#pragma once

#include "model/ClipboardItem.h"

#include <QObject>

#include <chrono>

class Clock;
class CodeHighlighting;
class ModelContext;
class PanelAnimations;
class PanelCategoryLists;
class PanelController;
class PanelPasteboard;
class PanelShell;
class PanelItems;
class PanelSearch;
class PanelToast;
class StoreMaintenance;

// What the panel does to the store and the clipboard: choosing and pasting, deleting,
// pinning, clearing (after the user confirmed), each change saved at once so that a crash
// cannot undo it, and each performed as the panel animates it. Main thread only.
class PanelItemActions final : public QObject
{
    Q_OBJECT

public:
    struct Parts
    {
        ModelContext &context;
        PanelShell &shell;
        PanelPasteboard &pasteboard;
        CodeHighlighting &highlighting;
        StoreMaintenance &store;
        PanelController &controller;
        PanelItems &items;
        PanelCategoryLists &lists;
        PanelSearch &search;
        PanelToast &toast;
        PanelAnimations &animations;
        Clock &clock;
    };
    explicit PanelItemActions(Parts parts, QObject *parent = nullptr);

    // Pastes the item into the window that was active before the panel (reporting deleted files).
    void chooseItem(const ClipboardItemPtr &item);
    // Pastes a bare text: an emoji, a single-character pin, a colour in a chosen notation.
    void insertText(const QString &text);
    // Hidden at once, deleted once its row has faded out.
    void deleteItemAfterFade(const ClipboardItemPtr &item);
    void togglePin(const ClipboardItemPtr &item);
    // A column's pins dragged into a new order: their pin times are rewritten so that this is the
    // stored order, in every column and after a restart.
    void reorderPins(const QList<ClipboardItemPtr> &pinsInNewOrder);
    // A pin's label, saved at once and searchable at once; an empty label removes it.
    void setLabel(const ClipboardItemPtr &item, const QString &label);
    // Deletes the column's unpinned items.
    void clearColumn(const QString &title, const QList<ClipboardItemPtr> &items);

    // The question before clearing the whole history.
    bool showClearConfirmation() const { return m_showClearConfirmation; }
    void setShowClearConfirmation(bool show);
    // Deletes every unpinned item (the user answered the question with Clear).
    void clearHistoryConfirmed();

Q_SIGNALS:
    void showClearConfirmationChanged(bool show);

private:
    void deleteItemWithId(const QUuid &id);
    void deleteReference(const ClipboardItemPtr &item);
    void deleteItemWithMissingFiles(const ClipboardItemPtr &item, int fileCount);
    void flipPinAndSave(const ClipboardItemPtr &item);
    void flipPin(const ClipboardItemPtr &item, bool wasPinned);
    void getOutOfTheWay();
    void schedulePaste(std::chrono::milliseconds delay);
    void save();
    void saveAndCheckpoint();
    void saveAndCompact();

    Parts m_parts;
    bool m_showClearConfirmation = false;
};
