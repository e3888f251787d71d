#pragma once

#include <QObject>
#include <QString>

// The panel's search text, and the emoji mode that "/emoji" starts: in it the next text typed
// is pasted when it holds an emoji, and searched for otherwise. A burst of keystrokes settles
// once, on the turn of the event loop after the last. Main thread only.
class PanelSearch final : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    QString text() const { return m_text; }
    void setText(const QString &text);
    bool isSearching() const { return !m_text.isEmpty(); }

    bool isEmojiMode() const { return m_isEmojiMode; }
    void setEmojiMode(bool emojiMode);

Q_SIGNALS:
    void textChanged(const QString &text);
    // The text changed as a search (not an emoji picked in emoji mode).
    void edited();
    // The last edit of a burst, one turn of the event loop later.
    void settled();
    // An emoji typed in emoji mode: to be pasted, not searched (the text is empty again).
    void emojiTyped(const QString &emoji);
    void emojiModeChanged(bool emojiMode);

private:
    QString m_text;
    bool m_isEmojiMode = false;
    // Each keystroke cancels the settling of the one before.
    quint64 m_generation = 0;
};
