#pragma once

#include <QUrl>

// The product's web page and the desktop's browser, for the panel's share banner. Main thread
// only.
class ProductLinks
{
public:
    virtual ~ProductLinks() = default;

    // The product's web page (a build setting); empty when the build names none.
    virtual QUrl productHomepage() const = 0;
    // Opens a web page with the desktop's browser.
    virtual void openUrl(const QUrl &url) = 0;
};
