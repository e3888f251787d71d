#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class CrossFade;

// A picture of what a part of the panel showed before it changed, laid over the part and
// fading out while the part's new content fades in, as a cross-fade says; it goes once the fade
// has ended. The pointer goes through it to the new content.
class CrossFadeOverlay final : public QWidget
{
    Q_OBJECT

public:
    // picture: the part before the change; incoming: the widget with the new content (it may
    // go before the fade ends). Both over area, in parent's coordinates.
    CrossFadeOverlay(
        const QPixmap &picture, QWidget *incoming, const CrossFade &fade, QWidget *parent, const QRect &area);
    ~CrossFadeOverlay() override;

    void setIncoming(QWidget *incoming);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void follow();

    QPixmap m_picture;
    QPointer<QWidget> m_incoming;
    const CrossFade &m_fade;
};
