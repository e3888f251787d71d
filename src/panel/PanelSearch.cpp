#include "panel/PanelSearch.h"

#include "panel/EmojiText.h"

void PanelSearch::setText(const QString &text)
{
    if (m_text == text)
        return;
    m_text = text;
    Q_EMIT textChanged(text);
    if (m_isEmojiMode) {
        if (text.isEmpty())
            return;
        setEmojiMode(false);
        if (containsEmoji(text)) {
            setText(QString());
            Q_EMIT emojiTyped(text);
            return;
        }
    }
    const quint64 generation = ++m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == m_generation)
                Q_EMIT settled();
        },
        Qt::QueuedConnection);
    Q_EMIT edited();
}

void PanelSearch::setEmojiMode(bool emojiMode)
{
    if (m_isEmojiMode == emojiMode)
        return;
    m_isEmojiMode = emojiMode;
    Q_EMIT emojiModeChanged(emojiMode);
}
