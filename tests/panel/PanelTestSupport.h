#pragma once

#include "columns/CategoryColumn.h"
#include "model/AppSettings.h"
#include "model/StoreTestSupport.h"
#include "panel/ClipboardPanelView.h"
#include "panel/FakePanelRoles.h"
#include "panel/OwnRowStates.h"
#include "panel/PanelController.h"
#include "platform/UserDefaults.h"

// A fresh store plus what a panel needs around it: settings over their own file, recording
// roles, its own row states and a panel controller without a window.
class PanelStoreTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        m_defaults = std::make_unique<UserDefaults>(m_folder->path() + QStringLiteral("/defaults.json"));
        m_settings = std::make_unique<AppSettings>(*m_defaults);
    }

    std::unique_ptr<UserDefaults> m_defaults;
    std::unique_ptr<AppSettings> m_settings;
    FakePanelRoles m_env;
    OwnRowStates m_rowStates;
    PanelController m_controller { nullptr, false };
};

// The titles of the columns a panel shows, in order.
inline QStringList shownColumnTitles(const ClipboardPanelView &view)
{
    QStringList titles;
    for (CategoryColumn *column : view.columns())
        titles.append(column->config().title);
    return titles;
}

inline CategoryColumn *shownColumn(const ClipboardPanelView &view, const QString &title)
{
    for (CategoryColumn *column : view.columns()) {
        if (column->config().title == title)
            return column;
    }
    return nullptr;
}
