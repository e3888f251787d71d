#pragma once

#include "model/ClipboardItem.h"

#include <QRectF>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>
#include <ostream>
#include <tuple>
#include <variant>

class QMenu;

// One call the panel made on its roles, with its arguments, as the fake records it.
namespace PanelCalls {

struct HidePanel
{
    static constexpr const char *name = "hidePanel";
    bool restoreFocus = false;
    auto fields() const { return std::tie(restoreFocus); }
    bool operator==(const HidePanel &) const = default;
};
struct ResignPanelKey
{
    static constexpr const char *name = "resignPanelKey";
    bool operator==(const ResignPanelKey &) const = default;
};
struct ActivatePreviousApplication
{
    static constexpr const char *name = "activatePreviousApplication";
    bool operator==(const ActivatePreviousApplication &) const = default;
};
struct ShowCharacterPalette
{
    static constexpr const char *name = "showCharacterPalette";
    bool operator==(const ShowCharacterPalette &) const = default;
};
struct OpenSettings
{
    static constexpr const char *name = "openSettings";
    std::optional<int> tab;
    auto fields() const { return std::tie(tab); }
    bool operator==(const OpenSettings &) const = default;
};
struct QuitApplication
{
    static constexpr const char *name = "quitApplication";
    bool operator==(const QuitApplication &) const = default;
};
struct OpenUrl
{
    static constexpr const char *name = "openUrl";
    QUrl url;
    auto fields() const { return std::tie(url); }
    bool operator==(const OpenUrl &) const = default;
};
struct ShowPreview
{
    static constexpr const char *name = "showPreview";
    QUuid itemId;
    QRectF anchor;
    auto fields() const { return std::tie(itemId, anchor); }
    bool operator==(const ShowPreview &) const = default;
};
struct SchedulePreviewHide
{
    static constexpr const char *name = "schedulePreviewHide";
    bool operator==(const SchedulePreviewHide &) const = default;
};
struct HidePreview
{
    static constexpr const char *name = "hidePreview";
    bool animated = false;
    auto fields() const { return std::tie(animated); }
    bool operator==(const HidePreview &) const = default;
};
struct CopyItem
{
    static constexpr const char *name = "copyToPasteboard";
    ClipboardItemPtr item;
    bool plainTextOnly = false;
    auto fields() const { return std::tie(item, plainTextOnly); }
    bool operator==(const CopyItem &) const = default;
};
struct CopyString
{
    static constexpr const char *name = "copyStringToPasteboard";
    QString text;
    auto fields() const { return std::tie(text); }
    bool operator==(const CopyString &) const = default;
};
struct SimulatePaste
{
    static constexpr const char *name = "simulatePaste";
    bool operator==(const SimulatePaste &) const = default;
};
struct EnsureMinimumWidth
{
    static constexpr const char *name = "ensureMinimumWidth";
    double width = 0;
    auto fields() const { return std::tie(width); }
    bool operator==(const EnsureMinimumWidth &) const = default;
};
struct UpdateColumnCount
{
    static constexpr const char *name = "updateColumnCount";
    int columnCount = 0;
    double duration = 0;
    auto fields() const { return std::tie(columnCount, duration); }
    bool operator==(const UpdateColumnCount &) const = default;
};
struct LockToTabMode
{
    static constexpr const char *name = "lockToTabMode";
    int columnCount = 0;
    auto fields() const { return std::tie(columnCount); }
    bool operator==(const LockToTabMode &) const = default;
};
struct SetHostingWidth
{
    static constexpr const char *name = "setHostingWidth";
    std::optional<double> width;
    auto fields() const { return std::tie(width); }
    bool operator==(const SetHostingWidth &) const = default;
};
struct UnpinHostingWidth
{
    static constexpr const char *name = "unpinHostingWidth";
    bool operator==(const UnpinHostingWidth &) const = default;
};
struct ResizeForHistoryToggle
{
    static constexpr const char *name = "resizeForHistoryToggle";
    bool adding = false;
    int columnCount = 0;
    double duration = 0;
    auto fields() const { return std::tie(adding, columnCount, duration); }
    bool operator==(const ResizeForHistoryToggle &) const = default;
};
struct InvalidateHighlight
{
    static constexpr const char *name = "invalidateHighlightCache";
    QUuid itemId;
    auto fields() const { return std::tie(itemId); }
    bool operator==(const InvalidateHighlight &) const = default;
};
struct ReleaseHighlighter
{
    static constexpr const char *name = "releaseHighlighter";
    bool operator==(const ReleaseHighlighter &) const = default;
};
struct ClearHighlightCache
{
    static constexpr const char *name = "clearHighlightCache";
    bool operator==(const ClearHighlightCache &) const = default;
};
struct ItemMenuWillOpen
{
    static constexpr const char *name = "itemMenuWillOpen";
    QMenu *menu = nullptr;
    auto fields() const { return std::tie(menu); }
    bool operator==(const ItemMenuWillOpen &) const = default;
};
struct CheckpointStore
{
    static constexpr const char *name = "checkpointStore";
    bool operator==(const CheckpointStore &) const = default;
};
struct CompactStore
{
    static constexpr const char *name = "compactStore";
    bool operator==(const CompactStore &) const = default;
};
struct RefreshMountedVolumes
{
    static constexpr const char *name = "refreshMountedVolumes";
    bool operator==(const RefreshMountedVolumes &) const = default;
};

// Failure messages name the call and its arguments.
inline void printArgument(std::ostream &out, bool value)
{
    out << (value ? "true" : "false");
}
inline void printArgument(std::ostream &out, int value)
{
    out << value;
}
inline void printArgument(std::ostream &out, double value)
{
    out << value;
}
template <typename Value> void printArgument(std::ostream &out, const std::optional<Value> &value)
{
    if (value)
        out << *value;
    else
        out << "none";
}
inline void printArgument(std::ostream &out, const QString &value)
{
    out << '"' << value.toStdString() << '"';
}
inline void printArgument(std::ostream &out, const QUrl &value)
{
    out << value.toString().toStdString();
}
inline void printArgument(std::ostream &out, const QUuid &value)
{
    out << value.toString(QUuid::WithoutBraces).toStdString();
}
inline void printArgument(std::ostream &out, const QRectF &value)
{
    out << value.x() << ',' << value.y() << ' ' << value.width() << 'x' << value.height();
}
inline void printArgument(std::ostream &out, const ClipboardItemPtr &value)
{
    out << (value ? value->id().toString(QUuid::WithoutBraces).toStdString() : std::string("no item"));
}
inline void printArgument(std::ostream &out, const QMenu *value)
{
    out << static_cast<const void *>(value);
}

template <typename Call>
requires requires
{
    Call::name;
}
void PrintTo(const Call &call, std::ostream *out)
{
    *out << Call::name << '(';
    if constexpr (requires { call.fields(); }) {
        bool first = true;
        std::apply(
            [&](const auto &...argument) {
                ((*out << (first ? "" : ", "), printArgument(*out, argument), first = false), ...);
            },
            call.fields());
    }
    *out << ')';
}

} // namespace PanelCalls

using PanelCall = std::variant<PanelCalls::HidePanel, PanelCalls::ResignPanelKey,
    PanelCalls::ActivatePreviousApplication, PanelCalls::ShowCharacterPalette, PanelCalls::OpenSettings,
    PanelCalls::QuitApplication, PanelCalls::OpenUrl, PanelCalls::ShowPreview,
    PanelCalls::SchedulePreviewHide, PanelCalls::HidePreview, PanelCalls::CopyItem, PanelCalls::CopyString,
    PanelCalls::SimulatePaste, PanelCalls::EnsureMinimumWidth, PanelCalls::UpdateColumnCount,
    PanelCalls::LockToTabMode, PanelCalls::SetHostingWidth, PanelCalls::UnpinHostingWidth,
    PanelCalls::ResizeForHistoryToggle, PanelCalls::InvalidateHighlight, PanelCalls::ReleaseHighlighter,
    PanelCalls::ClearHighlightCache, PanelCalls::ItemMenuWillOpen, PanelCalls::CheckpointStore,
    PanelCalls::CompactStore, PanelCalls::RefreshMountedVolumes>;
