#include "BenchPanelEnvironment.h"

#include "common/NotificationCenter.h"
#include "enrichment/FileAvailabilityService.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

BenchPanelEnvironment::BenchPanelEnvironment(QWidget *window)
    : m_window(window)
{ }

void BenchPanelEnvironment::hidePanel(bool)
{
    if (m_window)
        m_window->hide();
}

Qt::KeyboardModifiers BenchPanelEnvironment::queryKeyboardModifiers() const
{
    return QGuiApplication::queryKeyboardModifiers();
}

QRectF BenchPanelEnvironment::panelFrame() const
{
    return m_window ? QRectF(m_window->frameGeometry()) : QRectF();
}

QRectF BenchPanelEnvironment::screenVisibleFrame() const
{
    if (m_window && m_window->screen())
        return m_window->screen()->availableGeometry();
    return QRectF(0, 0, 1920, 1080);
}

void BenchPanelEnvironment::ensureMinimumWidth(double width)
{
    if (!m_window)
        return;
    m_window->setMinimumSize(int(std::ceil(width)), 300);
}

void BenchPanelEnvironment::resizeForHistoryToggle(bool, int, double, std::function<void()> completion)
{
    if (completion)
        completion();
}

QList<CodeLine> BenchPanelEnvironment::codeLines(const ClipboardItem &item, int maxLines, const QPalette &)
{
    return unhighlightedCodeLines(item, maxLines);
}

bool BenchPanelEnvironment::isFileAvailable(const ClipboardItem &item)
{
    return FileAvailabilityService::shared().isAvailable(item);
}

void BenchPanelEnvironment::refreshMountedVolumes()
{
    FileAvailabilityService::shared().refreshMountedVolumes();
}
