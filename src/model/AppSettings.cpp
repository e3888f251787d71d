#include "model/AppSettings.h"

#include "common/Diagnostics.h"
#include "common/NotificationCenter.h"
#include "model/UrlBlacklist.h"
#include "platform/LaunchAtLogin.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

QStringList defaultColorFormatOrder()
{
    QStringList order;
    for (ColorFormatter::Format format : ColorFormatter::allFormats)
        order.append(ColorFormatter::rawValue(format));
    return order;
}

void post(const QString &name)
{
    NotificationCenter::defaultCenter().post(name);
}

} // namespace

QString AppSettings::rawValue(ActivationMode mode)
{
    return mode == ActivationMode::doubleTap ? QStringLiteral("doubleTap") : QStringLiteral("shortcut");
}

QString AppSettings::rawValue(DoubleTapModifier modifier)
{
    switch (modifier) {
    case DoubleTapModifier::option:
        return QStringLiteral("option");
    case DoubleTapModifier::command:
        return QStringLiteral("command");
    case DoubleTapModifier::control:
        return QStringLiteral("control");
    case DoubleTapModifier::shift:
        return QStringLiteral("shift");
    }
    return QStringLiteral("option");
}

QString AppSettings::rawValue(ColumnViewMode mode)
{
    return mode == ColumnViewMode::grid ? QStringLiteral("grid") : QStringLiteral("list");
}

AppSettings &AppSettings::shared()
{
    static AppSettings *instance = [] {
        auto *settings = new AppSettings(UserDefaults::standard());
        if (QCoreApplication *app = QCoreApplication::instance())
            settings->moveToThread(app->thread());
        return settings;
    }();
    return *instance;
}

AppSettings::AppSettings(UserDefaults &defaults, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
{
    read();
    connect(&m_defaults, &UserDefaults::saveErrorChanged, this, &AppSettings::saveErrorChanged);
}

QString AppSettings::saveError() const
{
    return m_defaults.saveError();
}

void AppSettings::read()
{
    readHistory();
    readAppearance();
    readFilters();
    readActivation();
    readColorFormats();
    readBookkeeping();
}

void AppSettings::readHistory()
{
    // A limit below one is no limit anyone chose (the settings offer 50 to 200): read as
    // one, it would delete every unpinned item at the next start.
    const std::optional<qint64> limit = m_defaults.integer(QStringLiteral("historyLimit"));
    m_historyLimit = limit && *limit >= 1 ? *limit : defaultHistoryLimit;

    switch (m_defaults.integer(QStringLiteral("historyRetention")).value_or(0)) {
    case 1800:
        m_historyRetention = HistoryRetention::thirtyMinutes;
        break;
    case 604800:
        m_historyRetention = HistoryRetention::sevenDays;
        break;
    default:
        m_historyRetention = HistoryRetention::eightHours;
        break;
    }
}

void AppSettings::readAppearance()
{
    // The size is offered from 10 to 16 points; an edited file cannot make the code
    // unreadable or the rows enormous.
    m_fontSize = std::clamp(m_defaults.number(QStringLiteral("fontSize")).value_or(defaultFontSize),
        minimumFontSize, maximumFontSize);

    const std::optional<QString> theme = m_defaults.string(QStringLiteral("codeTheme"));
    m_codeTheme = (theme ? HighlightThemes::fromRawValue(*theme) : std::nullopt).value_or(defaultCodeTheme);
    m_useLiquidGlass = m_defaults.boolean(QStringLiteral("useLiquidGlass")).value_or(true);

    auto viewMode = [&](const QString &key) {
        return m_defaults.string(key) == QStringLiteral("grid") ? ColumnViewMode::grid : ColumnViewMode::list;
    };
    m_filesViewMode = viewMode(QStringLiteral("filesViewMode"));
    m_mediaViewMode = viewMode(QStringLiteral("mediaViewMode"));
    m_colorsViewMode = viewMode(QStringLiteral("colorsViewMode"));
}

void AppSettings::readFilters()
{
    m_detectCode = m_defaults.boolean(QStringLiteral("detectCode")).value_or(true);
    m_filterAdultContent = m_defaults.boolean(QStringLiteral("filterAdultContent")).value_or(true);
    m_filterPasswords = m_defaults.boolean(QStringLiteral("filterPasswords")).value_or(true);
    m_removeTrackingParameters
        = m_defaults.boolean(QStringLiteral("removeTrackingParameters")).value_or(false);
    m_excludedURLPatterns = m_defaults.string(QStringLiteral("excludedURLPatterns")).value_or(QString());
    readUrlBlacklist();
}

void AppSettings::readActivation()
{
    m_activationMode = m_defaults.string(QStringLiteral("activationMode")) == QStringLiteral("doubleTap")
        ? ActivationMode::doubleTap
        : ActivationMode::shortcut;
    m_doubleTapModifier = DoubleTapModifier::option;
    const std::optional<QString> modifier = m_defaults.string(QStringLiteral("doubleTapModifier"));
    for (DoubleTapModifier candidate : { DoubleTapModifier::option, DoubleTapModifier::command,
             DoubleTapModifier::control, DoubleTapModifier::shift }) {
        if (modifier == rawValue(candidate))
            m_doubleTapModifier = candidate;
    }
}

void AppSettings::readColorFormats()
{
    m_colorFormatOrder
        = m_defaults.stringList(QStringLiteral("colorFormatOrder")).value_or(defaultColorFormatOrder());
    const QStringList disabled
        = m_defaults.stringList(QStringLiteral("disabledColorFormats")).value_or(QStringList());
    m_disabledColorFormats = QSet<QString>(disabled.begin(), disabled.end());
}

void AppSettings::readBookkeeping()
{
    m_lastSeenVersion = m_defaults.string(QStringLiteral("lastSeenVersion")).value_or(QString());
    m_showUpdateSuccessBanner = false;
    m_shareBannerDismissed = m_defaults.boolean(QStringLiteral("shareBannerDismissed")).value_or(false);
    m_debugShowTimestamps = m_defaults.boolean(QStringLiteral("debugShowTimestamps")).value_or(true);
    m_debugShowCodeConfidenceLabels
        = m_defaults.boolean(QStringLiteral("debugShowCodeConfidenceLabels")).value_or(false);
}

void AppSettings::setHistoryLimit(qint64 value)
{
    announce(m_historyLimit, value, &AppSettings::historyLimitChanged);
    m_defaults.setInteger(QStringLiteral("historyLimit"), value);
}

void AppSettings::setHistoryRetention(HistoryRetention value)
{
    announce(m_historyRetention, value, &AppSettings::historyRetentionChanged);
    m_defaults.setInteger(QStringLiteral("historyRetention"), qint64(value));
}

void AppSettings::setFontSize(double value)
{
    announce(m_fontSize, value, &AppSettings::fontSizeChanged);
    m_defaults.setNumber(QStringLiteral("fontSize"), value);
}

void AppSettings::setCodeTheme(HighlightTheme theme)
{
    announce(m_codeTheme, theme, &AppSettings::codeThemeChanged);
    m_defaults.setString(QStringLiteral("codeTheme"), HighlightThemes::rawValue(theme));
    if (m_codeThemeWillChange)
        m_codeThemeWillChange();
    post(Notifications::codeThemeChanged);
}

void AppSettings::setUseLiquidGlass(bool value)
{
    announce(m_useLiquidGlass, value, &AppSettings::useLiquidGlassChanged);
    m_defaults.setBoolean(QStringLiteral("useLiquidGlass"), value);
    post(Notifications::liquidGlassSettingChanged);
}

void AppSettings::setDetectCode(bool value)
{
    announce(m_detectCode, value, &AppSettings::detectCodeChanged);
    m_defaults.setBoolean(QStringLiteral("detectCode"), value);
    post(Notifications::detectCodeSettingChanged);
}

void AppSettings::setFilterAdultContent(bool value)
{
    announce(m_filterAdultContent, value, &AppSettings::filterAdultContentChanged);
    m_defaults.setBoolean(QStringLiteral("filterAdultContent"), value);
}

void AppSettings::setFilterPasswords(bool value)
{
    announce(m_filterPasswords, value, &AppSettings::filterPasswordsChanged);
    m_defaults.setBoolean(QStringLiteral("filterPasswords"), value);
}

void AppSettings::setRemoveTrackingParameters(bool value)
{
    announce(m_removeTrackingParameters, value, &AppSettings::removeTrackingParametersChanged);
    m_defaults.setBoolean(QStringLiteral("removeTrackingParameters"), value);
}

void AppSettings::setExcludedURLPatterns(const QString &value)
{
    if (value != m_excludedURLPatterns) {
        m_excludedURLPatterns = value;
        readUrlBlacklist();
        Q_EMIT excludedURLPatternsChanged(value);
    }
    m_defaults.setString(QStringLiteral("excludedURLPatterns"), value);
}

void AppSettings::setActivationMode(ActivationMode value)
{
    announce(m_activationMode, value, &AppSettings::activationModeChanged);
    m_defaults.setString(QStringLiteral("activationMode"), rawValue(value));
    post(Notifications::activationModeChanged);
}

void AppSettings::setDoubleTapModifier(DoubleTapModifier value)
{
    announce(m_doubleTapModifier, value, &AppSettings::doubleTapModifierChanged);
    m_defaults.setString(QStringLiteral("doubleTapModifier"), rawValue(value));
    post(Notifications::activationModeChanged);
}

void AppSettings::setFilesViewMode(ColumnViewMode value)
{
    announce(m_filesViewMode, value, &AppSettings::filesViewModeChanged);
    m_defaults.setString(QStringLiteral("filesViewMode"), rawValue(value));
}

void AppSettings::setMediaViewMode(ColumnViewMode value)
{
    announce(m_mediaViewMode, value, &AppSettings::mediaViewModeChanged);
    m_defaults.setString(QStringLiteral("mediaViewMode"), rawValue(value));
}

void AppSettings::setColorsViewMode(ColumnViewMode value)
{
    announce(m_colorsViewMode, value, &AppSettings::colorsViewModeChanged);
    m_defaults.setString(QStringLiteral("colorsViewMode"), rawValue(value));
}

void AppSettings::setColorFormatOrder(const QStringList &value)
{
    announce(m_colorFormatOrder, value, &AppSettings::colorFormatOrderChanged);
    m_defaults.setStringList(QStringLiteral("colorFormatOrder"), value);
}

void AppSettings::setDisabledColorFormats(const QSet<QString> &value)
{
    if (m_disabledColorFormats != value) {
        m_disabledColorFormats = value;
        Q_EMIT disabledColorFormatsChanged();
    }
    m_defaults.setStringList(QStringLiteral("disabledColorFormats"), QStringList(value.begin(), value.end()));
}

void AppSettings::setLastSeenVersion(const QString &value)
{
    announce(m_lastSeenVersion, value, &AppSettings::lastSeenVersionChanged);
    m_defaults.setString(QStringLiteral("lastSeenVersion"), value);
}

void AppSettings::setShowUpdateSuccessBanner(bool value)
{
    announce(m_showUpdateSuccessBanner, value, &AppSettings::showUpdateSuccessBannerChanged);
}

void AppSettings::setShareBannerDismissed(bool value)
{
    announce(m_shareBannerDismissed, value, &AppSettings::shareBannerDismissedChanged);
    m_defaults.setBoolean(QStringLiteral("shareBannerDismissed"), value);
}

void AppSettings::setDebugShowTimestamps(bool value)
{
    announce(m_debugShowTimestamps, value, &AppSettings::debugShowTimestampsChanged);
    m_defaults.setBoolean(QStringLiteral("debugShowTimestamps"), value);
}

void AppSettings::setDebugShowCodeConfidenceLabels(bool value)
{
    announce(m_debugShowCodeConfidenceLabels, value, &AppSettings::debugShowCodeConfidenceLabelsChanged);
    m_defaults.setBoolean(QStringLiteral("debugShowCodeConfidenceLabels"), value);
}

QStringList AppSettings::excludedPatternList() const
{
    QStringList patterns;
    const QStringList pieces = m_excludedURLPatterns.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        qsizetype start = 0;
        qsizetype end = piece.size();
        while (start < end && (piece[start] == QLatin1Char(' ') || piece[start] == QLatin1Char('\t')))
            ++start;
        while (end > start && (piece[end - 1] == QLatin1Char(' ') || piece[end - 1] == QLatin1Char('\t')))
            --end;
        if (end > start)
            patterns.append(piece.mid(start, end - start));
    }
    return patterns;
}

bool AppSettings::isURLExcluded(const QString &url) const
{
    return urlBlacklist()->isExcluded(url);
}

std::shared_ptr<const UrlBlacklist::Matcher> AppSettings::urlBlacklist() const
{
    return m_urlBlacklist;
}

void AppSettings::readUrlBlacklist()
{
    // Reading ten thousand entries takes milliseconds: when the list changes (or the app starts),
    // never when a link is copied.
    m_urlBlacklist = std::make_shared<const UrlBlacklist::Matcher>(excludedPatternList());
}

QList<ColorFormatter::Format> AppSettings::orderedColorFormats() const
{
    QList<ColorFormatter::Format> formats;
    for (const QString &raw : m_colorFormatOrder) {
        const std::optional<ColorFormatter::Format> format = ColorFormatter::formatFromRawValue(raw);
        if (format && !formats.contains(*format))
            formats.append(*format);
    }
    for (ColorFormatter::Format format : ColorFormatter::allFormats) {
        if (!formats.contains(format))
            formats.append(format);
    }
    return formats;
}

void AppSettings::toggleColorFormat(ColorFormatter::Format format)
{
    const QString raw = ColorFormatter::rawValue(format);
    if (!m_disabledColorFormats.remove(raw))
        m_disabledColorFormats.insert(raw);
    Q_EMIT disabledColorFormatsChanged();
    m_defaults.setStringList(QStringLiteral("disabledColorFormats"),
        QStringList(m_disabledColorFormats.begin(), m_disabledColorFormats.end()));
}

void AppSettings::moveColorFormats(const QSet<int> &sourceOffsets, int destination)
{
    QStringList raws;
    for (ColorFormatter::Format format : orderedColorFormats())
        raws.append(ColorFormatter::rawValue(format));
    QStringList moved;
    QStringList kept;
    int destinationInKept = 0;
    for (int i = 0; i < raws.size(); ++i) {
        if (i == destination)
            destinationInKept = int(kept.size());
        if (sourceOffsets.contains(i))
            moved.append(raws[i]);
        else
            kept.append(raws[i]);
    }
    if (destination >= raws.size())
        destinationInKept = int(kept.size());
    else if (destination < 0)
        destinationInKept = 0;
    for (qsizetype i = 0; i < moved.size(); ++i)
        kept.insert(destinationInKept + i, moved[i]);
    setColorFormatOrder(kept);
}

std::optional<QString> AppSettings::setLaunchAtLogin(bool enabled)
{
    QString error;
    if (LaunchAtLogin::setEnabled(enabled, &error))
        return std::nullopt;
    printDiagnostic(QStringLiteral("Failed to %1 launch at login: %2")
                        .arg(enabled ? QStringLiteral("enable") : QStringLiteral("disable"), error));
    return error;
}
