#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

// The names by which distant parts of the app tell each other about the panel, the
// settings window and setting changes. Each constant's text is the name itself.
namespace Notifications {
inline const QString panelWillShow = QStringLiteral("panelWillShow");
inline const QString panelDidHide = QStringLiteral("panelDidHide");
inline const QString focusSearchAndType = QStringLiteral("focusSearchAndType");
inline const QString openSettingsRequest = QStringLiteral("openSettingsRequest");
inline const QString settingsSelectTab = QStringLiteral("settingsSelectTab");
inline const QString openSettingsDebug = QStringLiteral("openSettingsDebug");
inline const QString tabNavigateForward = QStringLiteral("tabNavigateForward");
inline const QString tabNavigateBackward = QStringLiteral("tabNavigateBackward");
inline const QString detectCodeSettingChanged = QStringLiteral("detectCodeSettingChanged");
inline const QString codeThemeChanged = QStringLiteral("codeThemeChanged");
inline const QString activationModeChanged = QStringLiteral("activationModeChanged");
inline const QString liquidGlassSettingChanged = QStringLiteral("liquidGlassSettingChanged");
inline const QString volumesDidChange = QStringLiteral("volumesDidChange");

// The one user-info key in use: the settings tab index of "settingsSelectTab".
inline const QString tabKey = QStringLiteral("tab");
} // namespace Notifications

// The process-wide notification centre. Observers always run on the main thread: a post
// from another thread is delivered there asynchronously, a post from the main thread
// reaches every observer before post() returns.
class NotificationCenter final : public QObject
{
    Q_OBJECT
public:
    static NotificationCenter &defaultCenter();

    void post(const QString &name, const QVariantMap &userInfo = {});

    // Runs handler for every post of name until context is destroyed or the returned
    // connection is disconnected.
    QMetaObject::Connection addObserver(
        const QString &name, const QObject *context, std::function<void(const QVariantMap &)> handler);

Q_SIGNALS:
    void notificationPosted(const QString &name, const QVariantMap &userInfo);

private:
    NotificationCenter() = default;
};
