#pragma once

#include <QObject>
#include <QPointer>

// The clipboard panel's shared state, watched by the panel window, the application
// delegate and the views inside the panel. Each published flag has a change signal that
// fires only when the value really changes. Main thread only.
class PanelController final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isPinned READ isPinned WRITE setIsPinned NOTIFY isPinnedChanged)
    Q_PROPERTY(bool inLiveResize READ inLiveResize WRITE setInLiveResize NOTIFY inLiveResizeChanged)
    Q_PROPERTY(bool isLockedInTabMode READ isLockedInTabMode WRITE setIsLockedInTabMode NOTIFY
            isLockedInTabModeChanged)

public:
    // panel: the window this controller belongs to, held weakly; its tab-mode lock is
    // copied through the published setter so observers hear of it.
    PanelController(QObject *panel, bool panelIsLockedInTabMode, QObject *parent = nullptr);

    QObject *panel() const { return m_panel; }

    // The user pinned the panel: it stays open when focus moves elsewhere.
    bool isPinned() const { return m_isPinned; }
    void setIsPinned(bool value);
    bool inLiveResize() const { return m_inLiveResize; }
    void setInLiveResize(bool value);
    // The panel shows tabs and will not widen to columns.
    bool isLockedInTabMode() const { return m_isLockedInTabMode; }
    void setIsLockedInTabMode(bool value);
    // Set while the History column animates; column-count changes are ignored meanwhile.
    // Not published.
    bool isHistoryToggling() const { return m_isHistoryToggling; }
    void setIsHistoryToggling(bool value) { m_isHistoryToggling = value; }

Q_SIGNALS:
    void isPinnedChanged(bool value);
    void inLiveResizeChanged(bool value);
    void isLockedInTabModeChanged(bool value);

private:
    QPointer<QObject> m_panel;
    bool m_isPinned = false;
    bool m_inLiveResize = false;
    bool m_isLockedInTabMode = false;
    bool m_isHistoryToggling = false;
};
