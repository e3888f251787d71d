#pragma once

#include "panel/SearchField.h"
#include "panel/StripGlyph.h"

#include <QWidget>

#include <functional>

class DraggableOverlay;
class QAction;
class QToolButton;

// The strip at the top of the panel: magnifier, search field, clear button, the pin button (only
// while the panel is pinned; it shows the unpin glyph while the pointer is over it) and a menu
// with "Pin"/"Unpin" and "Clear History", each with its glyph, and, where no tray icon offers
// them, the app's own "Settings..." and "Quit Tindlewick".
class SearchBar final : public QWidget
{
    Q_OBJECT
public:
    explicit SearchBar(QWidget *parent = nullptr);

    SearchField *field() const { return m_field; }
    void setText(const QString &text);
    void setPinned(bool pinned);
    void setFadeOpacity(double opacity);
    bool isClearButtonShown() const;
    bool isPinButtonShown() const;
    bool isPinHovering() const { return m_pinHovering; }
    // The glyph the pin button shows now, and those of the menu's entries as the menu shows them.
    StripGlyph pinButtonGlyph() const;
    StripGlyph pinMenuGlyph() const;
    QToolButton *pinButton() const { return m_pinButton; }
    QToolButton *menuButton() const { return m_menuButton; }
    DraggableOverlay *dragOverlay() const { return m_overlay; }
    // Asked each time the menu opens: whether it offers "Settings..." and "Quit Tindlewick" too.
    void setAppEntriesWanted(std::function<bool()> wanted) { m_appEntriesWanted = std::move(wanted); }

Q_SIGNALS:
    void textEdited(const QString &text);
    void pinToggled(bool pinned);
    void clearHistoryRequested();
    void settingsRequested();
    void quitRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setPinHovering(bool hovering);
    // The glyphs again, in the ink of the current palette.
    void updateGlyphs();

    SearchField *m_field;
    QToolButton *m_clearButton;
    QToolButton *m_pinButton;
    QToolButton *m_menuButton;
    DraggableOverlay *m_overlay;
    QAction *m_pinAction;
    QAction *m_clearAction;
    QAction *m_appSeparator;
    QAction *m_settingsAction;
    QAction *m_quitAction;
    std::function<bool()> m_appEntriesWanted;
    bool m_pinned = false;
    bool m_pinHovering = false;
    double m_fadeOpacity = 1.0;
};
