#pragma once

#include "common/AnimatedValue.h"

#include <QObject>
#include <QString>

class PanelAnimations;

// One content of the panel giving way to another (a tab's column to the next tab's, a column's
// list to its grid), without widgets: at 0 what was there shows, at 1 what is there now. The
// view pictures the old content when the change reaches it and fades the picture out over the
// new content as this says. Main thread only.
class CrossFade final : public QObject
{
    Q_OBJECT

public:
    explicit CrossFade(PanelAnimations &animations, QObject *parent = nullptr);

    // The content named subject changes now: it fades along the change being performed (at
    // once outside one). A fade under way starts again from the content as it is drawn.
    void start(const QString &subject);

    const QString &subject() const { return m_subject; }
    double progress() const { return m_progress.value(); }
    bool isRunning() const { return m_progress.isRunning(); }

Q_SIGNALS:
    void changed();

private:
    PanelAnimations &m_animations;
    AnimatedValue m_progress;
    QString m_subject;
};
