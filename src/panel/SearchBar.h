#pragma once

#include "panel/SearchField.h"

#include <QWidget>

class DraggableOverlay;
class QToolButton;

// The strip at the top of the panel: magnifier, search field, clear button, the pin button (only
// while the panel is pinned) and a menu with "Pin"/"Unpin" and "Clear History".
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
    QToolButton *menuButton() const { return m_menuButton; }
    DraggableOverlay *dragOverlay() const { return m_overlay; }

Q_SIGNALS:
    void textEdited(const QString &text);
    void pinToggled(bool pinned);
    void clearHistoryRequested();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    SearchField *m_field;
    QToolButton *m_clearButton;
    QToolButton *m_pinButton;
    QToolButton *m_menuButton;
    DraggableOverlay *m_overlay;
    bool m_pinned = false;
    double m_fadeOpacity = 1.0;
};
