#include "shell/IdleMemoryGiveBack.h"

#include "model/ClipboardDatabaseActor.h"
#include "model/ModelContext.h"
#include "platform/MemoryGiveBack.h"

#include <algorithm>

IdleMemoryGiveBack::IdleMemoryGiveBack(
    Clock &clock, ModelContext &mainContext, ClipboardDatabaseActor *actor, QObject *parent)
    : QObject(parent)
    , m_mainContext(mainContext)
    , m_actor(actor)
    , m_timer(clock, idleDelay, [this] { giveBack(); })
{ }

IdleMemoryGiveBack::~IdleMemoryGiveBack() = default;

void IdleMemoryGiveBack::request()
{
    const Clock::TimePoint now = m_timer.clock().now();
    if (!m_firstAsk)
        m_firstAsk = now;
    const auto leftToWait = std::chrono::duration_cast<Clock::Duration>(*m_firstAsk + longestWait - now);
    m_timer.start(std::clamp(leftToWait, Clock::Duration::zero(), Clock::Duration(idleDelay)));
}

void IdleMemoryGiveBack::itemsDeleted(int count)
{
    if (count >= bulkDeletion)
        request();
}

void IdleMemoryGiveBack::giveBack()
{
    m_firstAsk.reset();
    m_mainContext.releaseCachedPages();
    const auto trimHeaps = [this] {
        MemoryGiveBack::giveBack();
        Q_EMIT gaveBack();
    };
    // The actor's connection belongs to its thread; the heaps are trimmed once it let go.
    if (m_actor)
        m_actor->releaseCachedPages().then(this, trimHeaps);
    else
        trimHeaps();
}
