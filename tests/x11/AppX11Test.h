#pragma once

// The running app under Xvfb as a test meets it: its own home with a store seeded before it
// starts, the shortcut that opens its panel, the panel's window as the window manager sees it,
// and the keys and clicks of the user (xdotool).

#include "AppProcess.h"
#include "X11TestSupport.h"

#include "model/ClipboardItem.h"
#include "model/FetchDescriptor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <functional>

struct Geometry
{
    QRect rect;
    bool valid = false;
};

class AppX11Test : public X11Test
{
protected:
    void SetUp() override
    {
        X11Test::SetUp();
        ASSERT_TRUE(home.isValid());
        QDir().mkpath(home.path() + QStringLiteral("/data/Tindlewick"));
    }

    QString storePath() const { return home.path() + QStringLiteral("/data/Tindlewick/default.store"); }

    // Items made by the test in the store before the app starts (the capture's job once the app
    // runs).
    void seedItems(const std::function<void(ModelContext &)> &fill)
    {
        QString error;
        std::unique_ptr<ModelContainer> container = ModelContainer::open(storePath(), &error);
        ASSERT_TRUE(container) << error.toStdString();
        std::unique_ptr<ModelContext> context = container->makeContext();
        fill(*context);
        ASSERT_TRUE(context->save().ok);
    }

    // The stored items as another process reads them now, newest first.
    QList<ClipboardItemPtr> storedItems()
    {
        // The context goes before the container it reads.
        m_readerContext.reset();
        m_reader.reset();
        QString error;
        m_reader = ModelContainer::open(storePath(), &error);
        if (!m_reader)
            return {};
        m_readerContext = m_reader->makeContext();
        return m_readerContext->fetch(FetchDescriptor::newestFirst()).items;
    }

    void seedStore(const QStringList &texts)
    {
        seedItems([&](ModelContext &context) {
            for (const QString &text : texts)
                context.insert(ClipboardItem::create(ClipboardItemType::text, { .text = text }));
        });
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
    bool openPanel(const AppProcess &app)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (!xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+space") }))
                return false;
            if (waitUntil([&] { return appIsFront(app); }, std::chrono::milliseconds(700)))
                return true;
        }
        return false;
    }

    bool isViewable(quint64 window)
    {
        return toolOutput(QStringLiteral("xwininfo"), { QStringLiteral("-id"), QString::number(window) })
            .contains(QLatin1String("IsViewable"));
    }

    Geometry windowGeometry(quint64 window)
    {
        const QString shell = toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window) });
        QHash<QString, int> values;
        for (const QString &line : shell.split(QLatin1Char('\n'))) {
            const QStringList parts = line.split(QLatin1Char('='));
            if (parts.size() == 2)
                values.insert(parts[0], parts[1].toInt());
        }
        if (!values.contains(QStringLiteral("WIDTH")))
            return {};
        return { QRect(values[QStringLiteral("X")], values[QStringLiteral("Y")],
                     values[QStringLiteral("WIDTH")], values[QStringLiteral("HEIGHT")]),
            true };
    }

    bool pressKey(const QString &key) { return xdotool({ QStringLiteral("key"), key }); }
    bool clickAt(const QPoint &point)
    {
        return xdotool({ QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
            QStringLiteral("click"), QStringLiteral("1") });
    }

    QTemporaryDir home;

private:
    // Declared in this order, the context is destroyed first.
    std::unique_ptr<ModelContainer> m_reader;
    std::unique_ptr<ModelContext> m_readerContext;
};
