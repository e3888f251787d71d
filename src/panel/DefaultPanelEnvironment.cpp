#include "panel/DefaultPanelEnvironment.h"

#include "capture/ClipboardMonitor.h"
#include "common/NotificationCenter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QScreen>

#include <cmath>

namespace {

void ignoreOwnClipboardChange()
{
    if (ClipboardMonitor *monitor = ClipboardMonitor::shared())
        monitor->setIgnoreNextChange(true);
}

} // namespace

void DefaultPanelEnvironment::hidePanel(bool)
{
    if (m_window)
        m_window->hide();
}

void DefaultPanelEnvironment::copyToPasteboard(const ClipboardItemPtr &item, bool plainTextOnly)
{
    if (!item)
        return;
    ignoreOwnClipboardChange();
    const ClipboardItem &source = item->resolvedItem();
    auto contents = std::make_unique<QMimeData>();
    switch (source.type()) {
    case ClipboardItemType::file:
    case ClipboardItemType::media:
        if (const std::optional<QUrl> first = source.fileURL()) {
            QList<QUrl> urls{*first};
            for (const QString &further : source.additionalFileURLStrings().value_or(QStringList()))
                urls.append(QUrl(further));
            contents->setUrls(urls);
        } else if (const std::optional<QByteArray> image = source.mediaImageData()) {
            contents->setImageData(QImage::fromData(*image));
        }
        break;
    case ClipboardItemType::color:
        if (const std::optional<Color> color = source.colorValue())
            contents->setColorData(color->toQColor());
        contents->setText(source.textContent().value_or(source.colorHex().value_or(QString())));
        break;
    case ClipboardItemType::text:
    case ClipboardItemType::link:
    case ClipboardItemType::code:
        contents->setText(source.fullText().value_or(QString()));
        if (!plainTextOnly) {
            if (const std::optional<QString> html = source.htmlContent())
                contents->setHtml(*html);
        }
        break;
    }
    QGuiApplication::clipboard()->setMimeData(contents.release());
}

void DefaultPanelEnvironment::copyStringToPasteboard(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

Qt::KeyboardModifiers DefaultPanelEnvironment::queryKeyboardModifiers() const
{
    return QGuiApplication::queryKeyboardModifiers();
}

QRectF DefaultPanelEnvironment::panelFrame() const
{
    return m_window ? QRectF(m_window->frameGeometry()) : QRectF();
}

QRectF DefaultPanelEnvironment::screenVisibleFrame() const
{
    if (m_window && m_window->screen())
        return m_window->screen()->availableGeometry();
    return QRectF(0, 0, 1920, 1080);
}

void DefaultPanelEnvironment::ensureMinimumWidth(double width)
{
    if (!m_window)
        return;
    m_window->setMinimumSize(int(std::ceil(width)), 300);
}

void DefaultPanelEnvironment::resizeForHistoryToggle(bool, int, double, std::function<void()> completion)
{
    if (completion)
        completion();
}

QList<CodeLine> DefaultPanelEnvironment::codeLines(const ClipboardItem &item, int maxLines, bool)
{
    // The inline text holds far more than the few lines a row shows.
    return plainCodeLines(item.resolvedItem().textContent().value_or(QString()), maxLines);
}

bool DefaultPanelEnvironment::isFileAvailable(const ClipboardItem &item)
{
    const ClipboardItemType kind = item.type();
    if (kind != ClipboardItemType::file && kind != ClipboardItemType::media)
        return true;
    if (!item.fileURL())
        return true;
    return item.countAvailableFiles() > 0;
}

void DefaultPanelEnvironment::refreshMountedVolumes()
{
    NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
}
