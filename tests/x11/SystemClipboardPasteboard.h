#pragma once

#include "platform/Pasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

// The X11 clipboard through Qt, for the tests that paste into another process. Writes
// only: what the tests need of it.
class SystemClipboardPasteboard final : public Pasteboard
{
public:
    qint64 changeCount() const override { return m_writes; }
    bool ownsContents() const override { return QGuiApplication::clipboard()->ownsClipboard(); }
    QStringList types() const override
    {
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        return data ? data->formats() : QStringList();
    }
    std::optional<QByteArray> data(const QString &type) const override
    {
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        if (!data || !data->hasFormat(type))
            return std::nullopt;
        return data->data(type);
    }
    void writeContents(std::unique_ptr<QMimeData> contents) override
    {
        ++m_writes;
        QGuiApplication::clipboard()->setMimeData(contents.release());
    }
    void clearContents() override
    {
        ++m_writes;
        QGuiApplication::clipboard()->clear();
    }

private:
    qint64 m_writes = 0;
};
