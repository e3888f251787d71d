#include "model/LiveQuery.h"

#include "model/ModelContext.h"

LiveQuery::LiveQuery(ModelContext *context, FetchDescriptor descriptor, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_descriptor(std::move(descriptor))
{
    connect(context, &ModelContext::objectsDidChange, this, &LiveQuery::refresh);
    m_results = m_context->fetch(m_descriptor).items;
}

void LiveQuery::refresh()
{
    if (!m_context)
        return;
    ModelContext::FetchResult fetched = m_context->fetch(m_descriptor);
    if (!fetched.ok)
        return; // keep showing what we had; the next change tries again
    if (fetched.items == m_results)
        return;
    m_results = std::move(fetched.items);
    Q_EMIT resultsChanged();
}
