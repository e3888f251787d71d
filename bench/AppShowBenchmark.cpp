// The panel's warm show in the app as it runs: its own program in a process of its own over a
// history an earlier run left, the shortcut pressed through the X server, and the time from the
// shortcut's release to the first picture the app draws into the shown panel's window, as the
// server sees it (the Damage extension, on a connection of the benchmark's own). Warm: the
// panel was shown and hidden once before, and the app has settled after each hide.
#include "AppUnderBench.h"

#include "model/ClipboardItem.h"
#include "platform/X11Connection.h"
#include "platform/X11SyntheticKeyboard.h"

#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>

#include <poll.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr quint32 controlL = 0xffe3;
constexpr quint32 space = 0x20;

// The panel's window seen from a connection of its own: its mapping and the drawing into it.
class WindowWatch final
{
public:
    explicit WindowWatch(quint32 window)
        : m_connection(xcb_connect(nullptr, nullptr))
        , m_window(window)
    {
        if (xcb_connection_has_error(m_connection))
            return;
        const xcb_query_extension_reply_t *damage = xcb_get_extension_data(m_connection, &xcb_damage_id);
        if (!damage || !damage->present)
            return;
        m_damageEvent = damage->first_event;
        free(xcb_damage_query_version_reply(
            m_connection, xcb_damage_query_version(m_connection, 1, 1), nullptr));
        const quint32 mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_window, XCB_CW_EVENT_MASK, &mask);
        m_damage = xcb_generate_id(m_connection);
        xcb_damage_create(m_connection, m_damage, m_window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
        m_valid = true;
    }
    ~WindowWatch()
    {
        if (m_valid)
            xcb_damage_destroy(m_connection, m_damage);
        xcb_disconnect(m_connection);
    }
    WindowWatch(const WindowWatch &) = delete;
    WindowWatch &operator=(const WindowWatch &) = delete;

    bool isValid() const { return m_valid; }

    // Forgets what was drawn and seen so far.
    void reset()
    {
        xcb_damage_subtract(m_connection, m_damage, XCB_NONE, XCB_NONE);
        free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
            free(event);
        m_mapped = false;
    }

    // When the window was first drawn into after it was mapped; nothing when that did not come
    // within the limit.
    std::optional<Clock::time_point> drawnAfterMap(std::chrono::milliseconds limit)
    {
        std::optional<Clock::time_point> drawn;
        waitFor(limit, [&](const xcb_generic_event_t &event) {
            const int type = event.response_type & 0x7f;
            if (type == XCB_MAP_NOTIFY)
                m_mapped = true;
            else if (type == m_damageEvent + XCB_DAMAGE_NOTIFY && m_mapped)
                drawn = Clock::now();
            return drawn.has_value();
        });
        return drawn;
    }

    bool unmapped(std::chrono::milliseconds limit)
    {
        return waitFor(limit, [](const xcb_generic_event_t &event) {
            return (event.response_type & 0x7f) == XCB_UNMAP_NOTIFY;
        });
    }

private:
    template <typename Done> bool waitFor(std::chrono::milliseconds limit, Done done)
    {
        const Clock::time_point end = Clock::now() + limit;
        pollfd socket { xcb_get_file_descriptor(m_connection), POLLIN, 0 };
        while (Clock::now() < end) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                const bool finished = done(*event);
                free(event);
                if (finished)
                    return true;
            }
            if (xcb_connection_has_error(m_connection))
                return false;
            poll(&socket, 1, 1);
        }
        return false;
    }

    xcb_connection_t *m_connection;
    xcb_window_t m_window;
    xcb_damage_damage_t m_damage = 0;
    quint8 m_damageEvent = 0;
    bool m_valid = false;
    bool m_mapped = false;
};

// A history of `count` items of the everyday kinds (texts, links, code, colours) within the
// capture's retention, none later than now, with a limit that keeps them all.
QList<ClipboardItemPtr> history(int count)
{
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-2 * 3600);
    const ClipboardItemType kinds[] = { ClipboardItemType::text, ClipboardItemType::link,
        ClipboardItemType::code, ClipboardItemType::text, ClipboardItemType::color };
    QList<ClipboardItemPtr> items;
    for (int i = 0; i < count; ++i) {
        const ClipboardItemType kind = kinds[i % 5];
        ClipboardItem::Content content;
        if (kind == ClipboardItemType::link)
            content.text = QStringLiteral("https://example.org/notes/%1?page=2").arg(i);
        else if (kind == ClipboardItemType::code)
            content.text = QStringLiteral("def item_%1(value):\n    return value * %1\n").arg(i);
        else if (kind == ClipboardItemType::color)
            content.colorHex = QStringLiteral("#%1").arg(i % 0xffffff, 6, 16, QLatin1Char('0'));
        else
            content.text = QStringLiteral("Item %1 with a few ordinary words").arg(i);
        if (kind == ClipboardItemType::color)
            content.text = *content.colorHex;
        ClipboardItemPtr item = ClipboardItem::create(kind, content);
        item->setTimestamp(start.addSecs(i));
        items.append(item);
    }
    return items;
}

// Processor time the process has used on all its threads, in milliseconds (the scheduler's
// count, finer than the clock ticks of /proc/PID/stat).
double processorMilliseconds(qint64 pid)
{
    double nanoseconds = 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks + QLatin1Char('/') + task + QStringLiteral("/schedstat"));
        if (file.open(QIODevice::ReadOnly))
            nanoseconds += file.readAll().split(' ').value(0).toDouble();
    }
    return nanoseconds / 1e6;
}

void pressShortcut(X11SyntheticKeyboard &keys)
{
    keys.sendKeys({ { controlL, true }, { space, true }, { space, false }, { controlL, false } });
}

// Control+Space released to the first picture in the shown panel, over 250 and 5,000 items; and
// the app's processor time for each show, from the release until it has settled (the work the
// show made, whether before or after its first picture).
void BM_AppPanelShowWarm(benchmark::State &state)
{
    if (!AppUnderBench::hasDisplay()) {
        state.SkipWithError("needs an X server (scripts/with-xserver.sh)");
        return;
    }
    const int count = int(state.range(0));
    AppUnderBench app;
    if (!app.writeSettings({ { QStringLiteral("historyLimit"), qint64(count) } })
        || !app.seedStore(history(count)) || !app.start() || !app.settles()) {
        state.SkipWithError("the app did not start");
        return;
    }
    // The first show makes the window; it is the one watched from then on.
    if (!app.showPanel() || !app.settles(std::chrono::seconds(1))) {
        state.SkipWithError("the panel was not shown");
        return;
    }
    WindowWatch watch(quint32(app.panelWindow()));
    X11SyntheticKeyboard keys(*X11Connection::shared());
    pressShortcut(keys);
    if (!watch.isValid() || !watch.unmapped(std::chrono::seconds(5))
        || !app.settles(std::chrono::seconds(1))) {
        state.SkipWithError("the panel's window could not be watched or hidden");
        return;
    }
    double processorMs = 0;
    for (auto _ : state) {
        watch.reset();
        // The press first (not timed), then the release that shows the panel.
        keys.sendKeys({ { controlL, true }, { space, true } });
        app.settles(std::chrono::milliseconds(50));
        const double processorBefore = processorMilliseconds(app.pid());
        const Clock::time_point released = Clock::now();
        keys.sendKeys({ { space, false }, { controlL, false } });
        const std::optional<Clock::time_point> drawn = watch.drawnAfterMap(std::chrono::seconds(5));
        if (!drawn) {
            state.SkipWithError("the panel was not drawn");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(*drawn - released).count());
        app.settles(std::chrono::seconds(1));
        processorMs += processorMilliseconds(app.pid()) - processorBefore;
        pressShortcut(keys);
        if (!watch.unmapped(std::chrono::seconds(5)) || !app.settles(std::chrono::seconds(1))) {
            state.SkipWithError("the panel did not hide");
            break;
        }
    }
    state.counters["app_cpu_ms_per_show"]
        = benchmark::Counter(processorMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_AppPanelShowWarm)
    ->Arg(250)
    ->Arg(5000)
    ->UseManualTime()
    ->Iterations(15)
    ->Unit(benchmark::kMillisecond);

} // namespace
