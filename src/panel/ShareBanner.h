#pragma once

#include "panel/FadePresence.h"

#include <QObject>
#include <QUrl>

class AppSettings;
class ProductLinks;

// The panel's request to share the app ("Share" opens the product's web page). It is made when
// the panel comes on screen with a history grown to some size, only when the build names a web
// page, never beside the update notice, and never again once the user shared or closed it.
// Main thread only.
class ShareBanner final : public QObject
{
    Q_OBJECT

public:
    // Items in the history before the app asks: it has been in use for a while by then.
    static constexpr qsizetype historyCountToAsk = 25;

    static bool isDue(const QUrl &homepage, bool updateBannerShown, bool dismissed, qsizetype historyCount);

    ShareBanner(ProductLinks &links, AppSettings &settings, Clock &clock, QObject *parent = nullptr);

    // The panel comes on screen: the request comes (fading in) when it is due.
    void panelWillShow(qsizetype historyCount, bool updateBannerShown);
    // "Share": the web page opens in the desktop's browser. The banner closes through dismiss().
    void share();
    // Closed, after "Share" or by its close button: it fades out and is not made again.
    void dismiss();

    const FadePresence &presence() const { return m_presence; }

Q_SIGNALS:
    void changed();

private:
    ProductLinks &m_links;
    AppSettings &m_settings;
    FadePresence m_presence;
};
