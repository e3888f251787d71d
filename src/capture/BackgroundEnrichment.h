#pragma once

#include "detection/HighlightCacheService.h"
#include "model/PersistentIdentifier.h"

#include <QByteArray>
#include <QFuture>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <optional>

class AppSettings;
class ClipboardMonitor;
class ModelContext;

// What is learnt about a stored item after its save, by work that finds the item again by
// its identifier and writes into it on the main thread: the highlighted lines of code, the
// large preview of a copied picture and the cover art of an audio file (a link's title and
// pictures come from LinkMetadataTask). It follows the monitor's requests for as long as the
// monitor exists; a step that finds the monitor or the item gone ends without effect.
// The slow parts (highlighting, scaling, reading tags) run off the main thread.
class BackgroundEnrichment final : public QObject
{
    Q_OBJECT
public:
    // Connects to the monitor's requests, including the refresh it asks for right after its
    // creation: make this right after the monitor. The settings give the theme to highlight
    // in and must outlive this object.
    BackgroundEnrichment(ClipboardMonitor &monitor, HighlightCacheService &highlights, AppSettings &settings,
        QObject *parent = nullptr);
    ~BackgroundEnrichment() override;

    // Whether code is highlighted for a dark appearance: the appearance the panel shows, so
    // that its rows find the lines made here (dark when none is set).
    void setAppearance(std::function<bool()> isDark) { m_isDark = std::move(isDark); }

    // The highlighted preview lines of a code item (CodePreviewLines of its text, in its
    // detected language, the current theme and appearance).
    void prepareCodePreview(PersistentIdentifier identifier,
        HighlightCacheService::Priority priority = HighlightCacheService::Priority::capture);
    // Highlights the stored code items again, newest first: all of them with force, else only
    // those without preview lines, at most refreshLimitWithoutForce. The items are chosen on
    // the monitor's database actor (their stored lines are read there, never here). A refresh
    // replaces one still under way; it hands out its items a few at a time, so the main
    // thread stays free.
    void refreshCodePreviews(bool force);
    // The 200-point square preview of a media item's picture. The futures of these tasks
    // finish once their work is written (or came to nothing).
    QFuture<void> generateMediaPreview(PersistentIdentifier identifier);
    // The cover art of an audio file, as the item's thumbnail and preview; none when the file
    // was not read within artworkReadLimit.
    QFuture<void> loadAudioArtworkTask(PersistentIdentifier identifier, const QUrl &fileURL);
    static constexpr std::chrono::milliseconds artworkReadLimit { 20'000 };
    void updateMediaThumbnails(PersistentIdentifier identifier, const QByteArray &thumbnail,
        const std::optional<QByteArray> &preview);

    static constexpr int refreshLimitWithoutForce = 201;
    // Items a refresh looks at in one turn of the event loop.
    static constexpr int refreshSliceSize = 16;

Q_SIGNALS:
    // A media preview or cover art was written into the item and saved.
    void itemEnriched(PersistentIdentifier identifier);
    // A refresh has looked at every item it takes; started is how many it handed on.
    void refreshScheduled(int started);

private:
    struct Refresh;
    ModelContext *context() const;
    ClipboardItemPtr find(PersistentIdentifier identifier) const;
    void continueRefresh(std::shared_ptr<Refresh> refresh);
    void save(PersistentIdentifier identifier);

    QPointer<ClipboardMonitor> m_monitor;
    HighlightCacheService &m_highlights;
    AppSettings &m_settings;
    std::function<bool()> m_isDark;
    quint64 m_refreshGeneration = 0;
};
