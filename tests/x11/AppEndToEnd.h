#pragma once

// Driving the real app binary under the X server: a process of its own with a private home
// (settings and store), and the tools that play the user (the shortcut, keys, clicks, the
// windows' geometry).

#include "AppProcess.h"
#include "ExternalClipboard.h"
#include "X11TestSupport.h"

#include "model/ClipboardItem.h"
#include "model/FetchDescriptor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Whether the panel's search strip shows the selection colour: the previous search is
// selected (the panel does so a quarter second after it shows), so that typing replaces it.
inline bool searchTextSelected(const QRect &panel)
{
    const QImage screen = screenImage();
    const QColor selection = QApplication::palette().color(QPalette::Active, QPalette::Highlight);
    // The field sits in the strip's first 60 pixels, right of the magnifier.
    const QRect strip
        = QRect(panel.x() + 40, panel.y() + 8, panel.width() - 120, 56).intersected(screen.rect());
    for (int y = strip.top(); y <= strip.bottom(); ++y) {
        for (int x = strip.left(); x <= strip.right(); ++x) {
            if (screen.pixelColor(x, y) == selection)
                return true;
        }
    }
    return false;
}

class AppEndToEndTest : public X11Test
{
protected:
    void SetUp() override
    {
        X11Test::SetUp();
        ASSERT_TRUE(home.isValid());
        QDir().mkpath(home.path() + QStringLiteral("/data/Tindlewick"));
    }

    QString storePath() const { return home.path() + QStringLiteral("/data/Tindlewick/default.store"); }

    // Items in the store before the app starts (the capture's job once the app runs).
    void seedStore(const QList<ClipboardItemPtr> &items)
    {
        QString error;
        std::unique_ptr<ModelContainer> container = ModelContainer::open(storePath(), &error);
        ASSERT_TRUE(container) << error.toStdString();
        std::unique_ptr<ModelContext> context = container->makeContext();
        for (const ClipboardItemPtr &item : items)
            context->insert(item);
        ASSERT_TRUE(context->save().ok);
    }
    void seedStore(const QStringList &texts)
    {
        QList<ClipboardItemPtr> items;
        for (const QString &text : texts)
            items.append(ClipboardItem::create(ClipboardItemType::text, { .text = text }));
        seedStore(items);
    }

    // The settings file the app reads when it starts, as an earlier run or the user left it.
    void seedSettings(const QByteArray &json)
    {
        const QString configFolder = home.path() + QStringLiteral("/config/Tindlewick");
        ASSERT_TRUE(QDir().mkpath(configFolder));
        QFile settings(configFolder + QStringLiteral("/defaults.json"));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        ASSERT_EQ(settings.write(json), json.size());
    }

    void copyFromOutside(const QString &text) { ASSERT_TRUE(external.copyWithXclip(text.toUtf8())); }

    // The stored items as another process reads them now, newest first.
    QList<ClipboardItemPtr> storedItems()
    {
        // The context goes before the container it reads.
        m_readerContext.reset();
        m_readerStore.reset();
        QString error;
        m_readerStore = ModelContainer::open(storePath(), &error);
        if (!m_readerStore)
            return {};
        m_readerContext = m_readerStore->makeContext();
        return m_readerContext->fetch(FetchDescriptor::newestFirst()).items;
    }

    bool isFront(quint64 window) { return isActiveWindow(*workspace, window); }
    bool appIsFront(const AppProcess &app)
    {
        const auto front = workspace->frontmostApplication();
        return front && front->processIdentifier == app.pid();
    }
    quint64 frontWindow()
    {
        const auto front = workspace->frontmostApplication();
        return front ? front->windowId : 0;
    }

    // Presses Control+Space until the app's panel has the focus (the app needs a moment
    // after its start to take the shortcut).
    bool openPanel(AppProcess &app)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (!xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+space") }))
                return false;
            if (waitUntil([&] { return appIsFront(app); }, std::chrono::milliseconds(700)))
                return true;
            // A press sent before the app took its shortcut is lost and is sent again; but on a
            // busy machine the panel may just be slow, and another press would hide it again.
            // With the test hooks the app says when it has handled the press; the panel it
            // showed then gets a generous while to come to the front.
            if (app.hasTestHooks() && app.caughtUp()
                && waitUntil([&] { return appIsFront(app); }, std::chrono::seconds(5)))
                return true;
        }
        return false;
    }

    // Opens the panel and waits until the app has drawn it. Needs enableTestHooks().
    bool openPanelShown(AppProcess &app) { return openPanel(app) && app.caughtUp(); }

    // Shows the panel and hides it with Escape, as a start's check that the app answers its
    // shortcut (it watches the clipboard from then on too). The window manager names the panel
    // the active window before it is on screen with the keyboard; an Escape typed then goes
    // elsewhere and leaves the panel open for the test's next shortcut to hide.
    bool openThenDismissPanel(AppProcess &app)
    {
        if (!openPanel(app))
            return false;
        const quint64 panel = frontWindow();
        if (!waitUntil([&] { return isViewable(panel) && holdsKeyboard(panel); }))
            return false;
        if (app.hasTestHooks() && !app.caughtUp())
            return false;
        return pressKey(QStringLiteral("Escape")) && waitUntil([&] { return !isViewable(panel); });
    }

    // Whether the keys typed now reach the window: the window manager names a window the active
    // one a moment before it gives it the keyboard.
    static bool holdsKeyboard(quint64 window)
    {
        return toolOutput(QStringLiteral("xdotool"), { QStringLiteral("getwindowfocus") }).trimmed()
            == QString::number(window);
    }
    bool isViewable(quint64 window)
    {
        return toolOutput(QStringLiteral("xwininfo"), { QStringLiteral("-id"), QString::number(window) })
            .contains(QLatin1String("IsViewable"));
    }

    bool pressKey(const QString &key) { return xdotool({ QStringLiteral("key"), key }); }
    bool clickAt(const QPoint &point)
    {
        return xdotool({ QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
            QStringLiteral("click"), QStringLiteral("1") });
    }

    QTemporaryDir home;
    ExternalClipboard external;

private:
    std::unique_ptr<ModelContainer> m_readerStore;
    std::unique_ptr<ModelContext> m_readerContext;
};
