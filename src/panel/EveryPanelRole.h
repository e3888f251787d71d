#pragma once

#include "items/CodeHighlighting.h"
#include "panel/HistoryResizer.h"
#include "panel/ItemAvailability.h"
#include "panel/ItemMenuHost.h"
#include "panel/ItemPreviews.h"
#include "panel/PanelPasteboard.h"
#include "panel/PanelRoles.h"
#include "panel/PanelShell.h"
#include "panel/PanelWindow.h"
#include "panel/ProductLinks.h"
#include "panel/StoreMaintenance.h"

// One object that plays every role the panel asks for, as the stand-ins of tests and
// benchmarks do; roles() hands them to the panel.
class EveryPanelRole : public PanelShell,
                       public PanelWindow,
                       public HistoryResizer,
                       public PanelPasteboard,
                       public ItemPreviews,
                       public ItemMenuHost,
                       public CodeHighlighting,
                       public ItemAvailability,
                       public StoreMaintenance,
                       public ProductLinks
{
public:
    PanelRoles roles() { return { *this, *this, *this, *this, *this, *this, *this, *this, *this, *this }; }
};
