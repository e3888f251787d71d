#include "panel/ClearHistoryConfirmation.h"

#include "common/NotificationCenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

QString ClearHistoryConfirmation::title(bool clearAll, const std::optional<QString> &columnName)
{
    if (clearAll)
        return QStringLiteral("Clear Clipboard History?");
    if (!columnName)
        return QStringLiteral("Clear Column?");
    if (*columnName == QLatin1String("History"))
        return QStringLiteral("Clear Clipboard History?");
    return QStringLiteral("Clear ") + *columnName + QStringLiteral(" Column?");
}

QString ClearHistoryConfirmation::message()
{
    return QStringLiteral("This will permanently delete all unpinned items. Pinned items are preserved.");
}

ClearHistoryConfirmation *ClearHistoryConfirmation::ask(QWidget *parent, bool clearAll,
    const std::optional<QString> &columnName, std::function<void()> onClear, std::function<void()> finished)
{
    auto *confirmation = new ClearHistoryConfirmation;
    confirmation->m_onClear = std::move(onClear);
    confirmation->m_finished = std::move(finished);

    QWidget *over
        = QApplication::activeWindow() ? QApplication::activeWindow() : (parent ? parent->window() : nullptr);
    auto *box = new QMessageBox(over);
    confirmation->m_box = box;
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->setIcon(QMessageBox::Warning);
    box->setText(title(clearAll, columnName));
    box->setInformativeText(message());
    QPushButton *clear = box->addButton(QStringLiteral("Clear"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setEscapeButton(cancel);
    box->setDefaultButton(cancel);

    QObject::connect(box, &QMessageBox::finished, confirmation, [confirmation, box, clear] {
        const bool confirmed = box->clickedButton() == clear;
        if (confirmed && confirmation->m_onClear)
            confirmation->m_onClear();
        if (confirmation->m_finished)
            confirmation->m_finished();
        confirmation->deleteLater();
    });
    NotificationCenter::defaultCenter().addObserver(Notifications::panelDidHide, confirmation,
        [confirmation](const QVariantMap &) { confirmation->withdraw(); });

    box->adjustSize();
    if (over) {
        // Centred on the window, 20 points above its middle, never reaching below its bottom.
        const QRect frame = over->frameGeometry();
        const QSize size = box->sizeHint();
        const int x = frame.center().x() - size.width() / 2;
        const int y = std::min(frame.center().y() - size.height() / 2 - 20, frame.bottom() - size.height());
        box->move(x, y);
    }
    // show(), not open(): open() would make the question modal to its window alone, and the
    // app's other windows (the panel, the settings) would go on taking input under it.
    box->show();
    return confirmation;
}

void ClearHistoryConfirmation::withdraw()
{
    if (m_box)
        m_box->reject();
}
