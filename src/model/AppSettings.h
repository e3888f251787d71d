#pragma once

#include "enrichment/ColorFormat.h"
#include "model/HighlightTheme.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class UserDefaults;
namespace UrlBlacklist {
class Matcher;
}

// Every user preference of the app, read once from the user-defaults store at start and
// written back at every assignment. A setter always writes its key and runs its side
// effect (a notification, a cache clear), also for an unchanged value; the property's
// change signal fires only when the value really changed. Main thread only.
class AppSettings final : public QObject
{
    Q_OBJECT
public:
    enum class HistoryRetention { thirtyMinutes = 1800, eightHours = 28800, sevenDays = 604800 };
    Q_ENUM(HistoryRetention)
    enum class ActivationMode { doubleTap, shortcut };
    Q_ENUM(ActivationMode)
    enum class DoubleTapModifier { option, command, control, shift };
    Q_ENUM(DoubleTapModifier)
    enum class ColumnViewMode { list, grid };
    Q_ENUM(ColumnViewMode)

    Q_PROPERTY(qint64 historyLimit READ historyLimit WRITE setHistoryLimit NOTIFY historyLimitChanged)
    Q_PROPERTY(HistoryRetention historyRetention READ historyRetention WRITE setHistoryRetention NOTIFY
            historyRetentionChanged)
    Q_PROPERTY(double fontSize READ fontSize WRITE setFontSize NOTIFY fontSizeChanged)
    Q_PROPERTY(bool useLiquidGlass READ useLiquidGlass WRITE setUseLiquidGlass NOTIFY useLiquidGlassChanged)
    Q_PROPERTY(bool detectCode READ detectCode WRITE setDetectCode NOTIFY detectCodeChanged)
    Q_PROPERTY(bool filterAdultContent READ filterAdultContent WRITE setFilterAdultContent NOTIFY
            filterAdultContentChanged)
    Q_PROPERTY(
        bool filterPasswords READ filterPasswords WRITE setFilterPasswords NOTIFY filterPasswordsChanged)
    Q_PROPERTY(bool removeTrackingParameters READ removeTrackingParameters WRITE setRemoveTrackingParameters
            NOTIFY removeTrackingParametersChanged)
    Q_PROPERTY(QString excludedURLPatterns READ excludedURLPatterns WRITE setExcludedURLPatterns NOTIFY
            excludedURLPatternsChanged)
    Q_PROPERTY(ActivationMode activationMode READ activationMode WRITE setActivationMode NOTIFY
            activationModeChanged)
    Q_PROPERTY(DoubleTapModifier doubleTapModifier READ doubleTapModifier WRITE setDoubleTapModifier NOTIFY
            doubleTapModifierChanged)
    Q_PROPERTY(
        ColumnViewMode filesViewMode READ filesViewMode WRITE setFilesViewMode NOTIFY filesViewModeChanged)
    Q_PROPERTY(
        ColumnViewMode mediaViewMode READ mediaViewMode WRITE setMediaViewMode NOTIFY mediaViewModeChanged)
    Q_PROPERTY(ColumnViewMode colorsViewMode READ colorsViewMode WRITE setColorsViewMode NOTIFY
            colorsViewModeChanged)
    Q_PROPERTY(QStringList colorFormatOrder READ colorFormatOrder WRITE setColorFormatOrder NOTIFY
            colorFormatOrderChanged)
    Q_PROPERTY(
        QString lastSeenVersion READ lastSeenVersion WRITE setLastSeenVersion NOTIFY lastSeenVersionChanged)
    Q_PROPERTY(bool showUpdateSuccessBanner READ showUpdateSuccessBanner WRITE setShowUpdateSuccessBanner
            NOTIFY showUpdateSuccessBannerChanged)
    Q_PROPERTY(bool shareBannerDismissed READ shareBannerDismissed WRITE setShareBannerDismissed NOTIFY
            shareBannerDismissedChanged)
    Q_PROPERTY(bool debugShowTimestamps READ debugShowTimestamps WRITE setDebugShowTimestamps NOTIFY
            debugShowTimestampsChanged)
    Q_PROPERTY(bool debugShowCodeConfidenceLabels READ debugShowCodeConfidenceLabels WRITE
            setDebugShowCodeConfidenceLabels NOTIFY debugShowCodeConfidenceLabelsChanged)

    // The app's settings over the standard user-defaults store, created on first use.
    static AppSettings &shared();
    // Settings over another store (tests).
    explicit AppSettings(UserDefaults &defaults, QObject *parent = nullptr);

    static constexpr qint64 defaultHistoryLimit = 50;
    static constexpr double defaultFontSize = 13.0;
    static constexpr double minimumFontSize = 10.0;
    static constexpr double maximumFontSize = 16.0;
    static constexpr HighlightTheme defaultCodeTheme = HighlightTheme::github;

    qint64 historyLimit() const { return m_historyLimit; }
    void setHistoryLimit(qint64 value);
    HistoryRetention historyRetention() const { return m_historyRetention; }
    void setHistoryRetention(HistoryRetention value);
    double fontSize() const { return m_fontSize; }
    void setFontSize(double value);
    // Stored by its display name ("GitHub", "Xcode", ...).
    HighlightTheme codeTheme() const { return m_codeTheme; }
    void setCodeTheme(HighlightTheme theme);
    bool useLiquidGlass() const { return m_useLiquidGlass; }
    void setUseLiquidGlass(bool value);
    bool detectCode() const { return m_detectCode; }
    void setDetectCode(bool value);
    bool filterAdultContent() const { return m_filterAdultContent; }
    void setFilterAdultContent(bool value);
    bool filterPasswords() const { return m_filterPasswords; }
    void setFilterPasswords(bool value);
    bool removeTrackingParameters() const { return m_removeTrackingParameters; }
    void setRemoveTrackingParameters(bool value);
    QString excludedURLPatterns() const { return m_excludedURLPatterns; }
    void setExcludedURLPatterns(const QString &value);
    ActivationMode activationMode() const { return m_activationMode; }
    void setActivationMode(ActivationMode value);
    DoubleTapModifier doubleTapModifier() const { return m_doubleTapModifier; }
    void setDoubleTapModifier(DoubleTapModifier value);
    ColumnViewMode filesViewMode() const { return m_filesViewMode; }
    void setFilesViewMode(ColumnViewMode value);
    ColumnViewMode mediaViewMode() const { return m_mediaViewMode; }
    void setMediaViewMode(ColumnViewMode value);
    ColumnViewMode colorsViewMode() const { return m_colorsViewMode; }
    void setColorsViewMode(ColumnViewMode value);
    QStringList colorFormatOrder() const { return m_colorFormatOrder; }
    void setColorFormatOrder(const QStringList &value);
    QSet<QString> disabledColorFormats() const { return m_disabledColorFormats; }
    void setDisabledColorFormats(const QSet<QString> &value);
    QString lastSeenVersion() const { return m_lastSeenVersion; }
    void setLastSeenVersion(const QString &value);
    bool showUpdateSuccessBanner() const { return m_showUpdateSuccessBanner; }
    void setShowUpdateSuccessBanner(bool value);
    // The panel's request to share the app was answered or closed: it is not asked again.
    bool shareBannerDismissed() const { return m_shareBannerDismissed; }
    void setShareBannerDismissed(bool value);
    bool debugShowTimestamps() const { return m_debugShowTimestamps; }
    void setDebugShowTimestamps(bool value);
    bool debugShowCodeConfidenceLabels() const { return m_debugShowCodeConfidenceLabels; }
    void setDebugShowCodeConfidenceLabels(bool value);

    // The URL blacklist as trimmed, non-empty entries.
    QStringList excludedPatternList() const;
    // Whether the link is on the blacklist: an entry naming a site takes that host, its
    // subdomains and, with a path, what lies under that path (see UrlBlacklist).
    bool isURLExcluded(const QString &url) const;
    // The blacklist read for matching: read again when the list changes, and asked on any thread.
    std::shared_ptr<const UrlBlacklist::Matcher> urlBlacklist() const;
    // Every colour format in the user's order; formats the stored order lacks come last.
    QList<ColorFormatter::Format> orderedColorFormats() const;
    void toggleColorFormat(ColorFormatter::Format format);
    // Moves the formats at the given positions of orderedColorFormats() before the format
    // that stood at destination (the list's length means the end).
    void moveColorFormats(const QSet<int> &sourceOffsets, int destination);
    // Registers or removes the autostart entry; a failure prints one line and returns why.
    std::optional<QString> setLaunchAtLogin(bool enabled);
    // Why the settings are not on disk as they are set (the store tries again by itself); empty
    // while they are.
    QString saveError() const;

    // Runs before "codeThemeChanged" is posted on every theme assignment: the highlight
    // cache empties itself through it.
    void setCodeThemeWillChangeHandler(std::function<void()> handler)
    {
        m_codeThemeWillChange = std::move(handler);
    }

    static QString rawValue(ActivationMode mode);
    static QString rawValue(DoubleTapModifier modifier);
    static QString rawValue(ColumnViewMode mode);

Q_SIGNALS:
    void historyLimitChanged(qint64 value);
    void historyRetentionChanged(AppSettings::HistoryRetention value);
    void fontSizeChanged(double value);
    void codeThemeChanged(HighlightTheme value);
    void useLiquidGlassChanged(bool value);
    void detectCodeChanged(bool value);
    void filterAdultContentChanged(bool value);
    void filterPasswordsChanged(bool value);
    void removeTrackingParametersChanged(bool value);
    void excludedURLPatternsChanged(const QString &value);
    void activationModeChanged(AppSettings::ActivationMode value);
    void doubleTapModifierChanged(AppSettings::DoubleTapModifier value);
    void filesViewModeChanged(AppSettings::ColumnViewMode value);
    void mediaViewModeChanged(AppSettings::ColumnViewMode value);
    void colorsViewModeChanged(AppSettings::ColumnViewMode value);
    void colorFormatOrderChanged(const QStringList &value);
    void disabledColorFormatsChanged();
    void lastSeenVersionChanged(const QString &value);
    void showUpdateSuccessBannerChanged(bool value);
    void shareBannerDismissedChanged(bool value);
    void debugShowTimestampsChanged(bool value);
    void debugShowCodeConfidenceLabelsChanged(bool value);
    void saveErrorChanged(const QString &error);

private:
    // Every value from the user defaults, each read strictly: a missing, mistyped or
    // out-of-range value gives its default.
    void read();
    void readHistory();
    void readAppearance();
    void readFilters();
    void readUrlBlacklist();
    void readActivation();
    void readColorFormats();
    void readBookkeeping();
    // Stores value and emits the property's change signal when it differs from the old one.
    template <typename T, typename Signal> void announce(T &field, const T &value, Signal changed)
    {
        if (field == value)
            return;
        field = value;
        Q_EMIT(this->*changed)(value);
    }

    UserDefaults &m_defaults;
    std::function<void()> m_codeThemeWillChange;

    qint64 m_historyLimit = defaultHistoryLimit;
    HistoryRetention m_historyRetention = HistoryRetention::eightHours;
    double m_fontSize = 13.0;
    HighlightTheme m_codeTheme = defaultCodeTheme;
    bool m_useLiquidGlass = true;
    bool m_detectCode = true;
    bool m_filterAdultContent = true;
    bool m_filterPasswords = true;
    bool m_removeTrackingParameters = false;
    QString m_excludedURLPatterns;
    std::shared_ptr<const UrlBlacklist::Matcher> m_urlBlacklist;
    ActivationMode m_activationMode = ActivationMode::shortcut;
    DoubleTapModifier m_doubleTapModifier = DoubleTapModifier::option;
    ColumnViewMode m_filesViewMode = ColumnViewMode::list;
    ColumnViewMode m_mediaViewMode = ColumnViewMode::list;
    ColumnViewMode m_colorsViewMode = ColumnViewMode::list;
    QStringList m_colorFormatOrder;
    QSet<QString> m_disabledColorFormats;
    QString m_lastSeenVersion;
    bool m_showUpdateSuccessBanner = false;
    bool m_shareBannerDismissed = false;
    bool m_debugShowTimestamps = true;
    bool m_debugShowCodeConfidenceLabels = false;
};
