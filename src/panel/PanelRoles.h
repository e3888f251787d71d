#pragma once

class CodeHighlighting;
class HistoryResizer;
class ItemAvailability;
class ItemMenuHost;
class ItemPreviews;
class PanelPasteboard;
class PanelShell;
class PanelWindow;
class ProductLinks;
class StoreMaintenance;

// Everything the panel asks of what lies outside it, one interface per role. The shell hands
// the panel one set; each part of the panel keeps only the roles it uses. The roles outlive
// the panel.
struct PanelRoles
{
    PanelShell &shell;
    PanelWindow &window;
    HistoryResizer &historyResizer;
    PanelPasteboard &pasteboard;
    ItemPreviews &previews;
    ItemMenuHost &menus;
    CodeHighlighting &highlighting;
    ItemAvailability &files;
    StoreMaintenance &store;
    ProductLinks &links;
};
