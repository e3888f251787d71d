#pragma once

#include <QWidget>

// A one-line notice under the search strip: the update notice, or the request to review or
// share the app. Every way of closing it runs dismissed().
class PanelBannerView final : public QWidget
{
    Q_OBJECT
public:
    enum class BannerType { reviewOrShare, updateSuccess };

    explicit PanelBannerView(BannerType type, bool isAppStore = false, QWidget *parent = nullptr);

    BannerType type() const { return m_type; }
    QString message() const;
    // "Review", "Share", or nothing for the update notice.
    QString actionTitle() const;
    QSize sizeHint() const override;
    // Where the action button is drawn; empty for the update notice.
    QRectF actionRect() const;

Q_SIGNALS:
    void actionTriggered();
    void dismissed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QRectF closeRect() const;
    QColor kindColor() const;

    BannerType m_type;
    bool m_isAppStore;
};
