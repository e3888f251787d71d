#include "settings/SettingsView.h"

#include "common/NotificationCenter.h"
#include "model/AppSettings.h"
#include "settings/AppearanceTab.h"
#include "settings/ColorsTab.h"
#include "settings/ExclusionsTab.h"
#include "settings/GeneralTab.h"
#include "settings/HistoryTab.h"
#include "settings/HotkeyTab.h"
#include "settings/SettingsForm.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>

namespace {

struct TabLook
{
    const char *title;
    // Icons of the freedesktop naming scheme, most specific first.
    QStringList icons;
};

const TabLook &tabLook(int index)
{
    static const TabLook looks[] = {
        { "General", { QStringLiteral("preferences-system"), QStringLiteral("configure") } },
        { "Appearance",
            { QStringLiteral("preferences-desktop-theme"), QStringLiteral("preferences-desktop") } },
        { "Colors", { QStringLiteral("preferences-desktop-color"), QStringLiteral("color-management") } },
        { "History", { QStringLiteral("document-open-recent"), QStringLiteral("appointment-soon") } },
        { "Hotkey", { QStringLiteral("preferences-desktop-keyboard"), QStringLiteral("input-keyboard") } },
        { "Exclusions", { QStringLiteral("action-unavailable"), QStringLiteral("dialog-cancel") } },
    };
    return looks[index];
}

QIcon tabIcon(int index)
{
    for (const QString &name : tabLook(index).icons) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return {};
}

} // namespace

SettingsView::SettingsView(Services services, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TindlewickSettings"));
    m_tabs = new QTabWidget(this);
    m_tabs->setDocumentMode(false);
    m_tabs->setUsesScrollButtons(false);
    // Squeezed by a small screen, the titles shorten rather than leave the bar.
    m_tabs->setElideMode(Qt::ElideRight);
    m_general = new GeneralTab(services.settings);
    m_general->setCheckForUpdatesAction(services.checkForUpdates);
    m_appearance = new AppearanceTab(services.settings);
    m_colors = new ColorsTab(services.settings);
    m_history = new HistoryTab(services.settings, services.modelContext);
    m_history->setReleaseHighlighter(services.releaseHighlighter);
    m_hotkey = new HotkeyTab(services.settings, services.shortcuts, services.togglePanel);
    m_exclusions = new ExclusionsTab(services.settings);
    const QList<QWidget *> pages { m_general, m_appearance, m_colors, m_history, m_hotkey, m_exclusions };
    for (int i = 0; i < pages.size(); ++i)
        m_tabs->addTab(pages[i], tabIcon(i), tabTitle(i));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    // The window takes the size its content needs, and no other: the tab view's own size, or
    // more where its tab titles or pages need it (a larger font, a theme with wider tabs), so
    // that every tab stays within reach and no page is cut.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_tabs);
    // Below the tabs, whichever is shown: a save can fail on any of them.
    m_saveError = SettingsForm::errorLabel(this);
    layout->addWidget(m_saveError);
    AppSettings &settings = services.settings;
    showSaveError(settings.saveError());
    connect(&settings, &AppSettings::saveErrorChanged, this, &SettingsView::showSaveError);
    fitIntoScreen();
    setWindowTitle(windowTitleFor(general));

    connect(m_tabs, &QTabWidget::currentChanged, this, &SettingsView::tabShown);
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(Notifications::settingsSelectTab, this, [this](const QVariantMap &userInfo) {
        if (const std::optional<qint64> tab = requestedTab(userInfo))
            setSelectedTab(*tab);
    });
    center.addObserver(
        Notifications::openSettingsDebug, this, [this](const QVariantMap &) { Q_EMIT debugRequested(); });
}

SettingsView::~SettingsView() = default;

QString SettingsView::tabTitle(int index)
{
    if (index < 0 || index >= tabCount)
        return {};
    return QString::fromLatin1(tabLook(index).title);
}

QString SettingsView::windowTitleFor(int index)
{
    const QString tab = tabTitle(index);
    return tab.isEmpty() ? QStringLiteral("Tindlewick Settings")
                         : tab + QStringLiteral(" — Tindlewick Settings");
}

std::optional<qint64> SettingsView::requestedTab(const QVariantMap &userInfo)
{
    const auto entry = userInfo.constFind(Notifications::tabKey);
    if (entry == userInfo.constEnd())
        return std::nullopt;
    const QVariant &value = *entry;
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong unsignedValue = value.toULongLong();
        if (unsignedValue > qulonglong(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return qint64(unsignedValue);
    }
    default:
        return std::nullopt;
    }
}

void SettingsView::setSelectedTab(qint64 tab)
{
    if (tab == m_selectedTab)
        return;
    m_selectedTab = tab;
    if (tab >= 0 && tab < tabCount && m_tabs->currentIndex() != int(tab))
        m_tabs->setCurrentIndex(int(tab));
    Q_EMIT selectedTabChanged(tab);
    scheduleEndEditing();
}

void SettingsView::tabShown(int index)
{
    setWindowTitle(windowTitleFor(index));
    setSelectedTab(index);
}

void SettingsView::fitIntoScreen()
{
    const QScreen *shownOn = screen();
    if (!shownOn)
        return;
    // Room for the window manager's title bar, which Qt learns of only once the window is shown.
    const QMargins margins = layout()->contentsMargins();
    const QSize room = shownOn->availableGeometry().size()
        - QSize(margins.left() + margins.right(),
            margins.top() + margins.bottom() + style()->pixelMetric(QStyle::PM_TitleBarHeight));
    // Beyond that the pages scroll.
    m_tabs->setMaximumSize(room);
    m_tabs->setMinimumSize(QSize(tabViewWidth, tabViewHeight).boundedTo(room));
}

void SettingsView::showSaveError(const QString &error)
{
    SettingsForm::showMessage(m_saveError,
        error.isEmpty() ? QString()
                        : QStringLiteral("Your settings could not be saved: %1. Tindlewick keeps them and "
                                         "saves them as soon as it can.")
                              .arg(error));
}

void SettingsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    scheduleEndEditing();
}

void SettingsView::scheduleEndEditing()
{
    // After the change that asked for it has been laid out and focused.
    QTimer::singleShot(0, this, &SettingsView::endEditing);
}

void SettingsView::endEditing()
{
    QWidget *focus = QApplication::focusWidget();
    if (focus && focus->window() == window() && qobject_cast<QLineEdit *>(focus))
        focus->clearFocus();
}
