#include "capture/ClipboardMonitor.h"

#include "model/ModelContainer.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"

namespace {
QPointer<ClipboardMonitor> g_shared;
} // namespace

ClipboardMonitor *ClipboardMonitor::shared() { return g_shared.data(); }

ClipboardMonitor::ClipboardMonitor(ModelContainer &container, Pasteboard &pasteboard, Workspace &workspace, QObject *parent)
    : QObject(parent), m_container(container), m_pasteboard(pasteboard), m_workspace(workspace),
      m_databaseActor(std::make_unique<ClipboardDatabaseActor>(container)), m_lastChangeCount(pasteboard.changeCount())
{
    g_shared = this;
}

ClipboardMonitor::~ClipboardMonitor() = default;

void ClipboardMonitor::startMonitoring() {}
