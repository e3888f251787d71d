#pragma once

#include "model/ClipboardItem.h"
#include "model/FetchDescriptor.h"

#include <QObject>
#include <QPointer>

class ModelContext;

// The results of a fetch kept current: it fetches again whenever its context reports
// that items were inserted, deleted or saved (by itself or by another context), at most
// once per pass of the event loop.
class LiveQuery final : public QObject
{
    Q_OBJECT
public:
    LiveQuery(ModelContext *context, FetchDescriptor descriptor, QObject *parent = nullptr);

    const QList<ClipboardItemPtr> &results() const { return m_results; }
    void refresh();

Q_SIGNALS:
    void resultsChanged();

private:
    QPointer<ModelContext> m_context;
    FetchDescriptor m_descriptor;
    QList<ClipboardItemPtr> m_results;
};
