#include "panel/ShareBanner.h"

#include "model/AppSettings.h"
#include "panel/ProductLinks.h"

namespace {

constexpr Clock::Duration fade(250);

} // namespace

bool ShareBanner::isDue(const QUrl &homepage, bool updateBannerShown, bool dismissed, qsizetype historyCount)
{
    return homepage.isValid() && !homepage.isEmpty() && !updateBannerShown && !dismissed
        && historyCount >= historyCountToAsk;
}

ShareBanner::ShareBanner(ProductLinks &links, AppSettings &settings, Clock &clock, QObject *parent)
    : QObject(parent)
    , m_links(links)
    , m_settings(settings)
    , m_presence(clock)
{
    connect(&m_presence, &FadePresence::changed, this, &ShareBanner::changed);
}

void ShareBanner::panelWillShow(qsizetype historyCount, bool updateBannerShown)
{
    const bool due = isDue(
        m_links.productHomepage(), updateBannerShown, m_settings.shareBannerDismissed(), historyCount);
    if (due && !m_presence.isShown())
        m_presence.show(fade);
    else if (!due && m_presence.isShown())
        m_presence.hide(Clock::Duration(0));
}

void ShareBanner::share()
{
    const QUrl homepage = m_links.productHomepage();
    if (!homepage.isEmpty())
        m_links.openUrl(homepage);
}

void ShareBanner::dismiss()
{
    m_settings.setShareBannerDismissed(true);
    m_presence.hide(fade);
}
