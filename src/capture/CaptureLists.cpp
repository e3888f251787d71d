#include "capture/CaptureLists.h"

#include "capture/ResourceList.h"
#include "capture/TrackingCleaner.h"

#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <memory>
#include <mutex>

namespace {

struct Reading
{
    std::once_flag started;
    // The result holds the lists for as long as the process runs.
    QFuture<std::shared_ptr<const CaptureLists>> lists;
    // Set once the lists are read: later questions go straight to them.
    std::atomic<const CaptureLists *> ready { nullptr };
};

// Making it reads nothing: the reading is a task of the pool, started by started().
Reading &reading()
{
    static Reading state;
    return state;
}

QFuture<std::shared_ptr<const CaptureLists>> started()
{
    Reading &state = reading();
    std::call_once(state.started, [&state] {
        state.lists
            = QtConcurrent::run([] { return std::make_shared<const CaptureLists>(CaptureLists::read()); });
    });
    return state.lists;
}

} // namespace

QFuture<void> CaptureLists::loaded()
{
    return QFuture<void>(started());
}

const CaptureLists &CaptureLists::shared()
{
    Reading &state = reading();
    if (const CaptureLists *lists = state.ready.load(std::memory_order_acquire))
        return *lists;
    const CaptureLists *read = started().result().get();
    state.ready.store(read, std::memory_order_release);
    return *read;
}

CaptureLists CaptureLists::read()
{
    CaptureLists lists;
    lists.passwordManagerApplications = ResourceList::loadLowerCased(QStringLiteral("password_manager_apps"));
    lists.passwordVaultAddresses = ResourceList::loadLowerCased(QStringLiteral("password_vault_urls"));
    lists.trackingParameters
        = TrackingCleaner::parametersByHost(ResourceList::load(QStringLiteral("tracking_hosts")));
    lists.colorSourceApplications = ResourceList::loadLowerCased(QStringLiteral("color_source_apps"));
    const QStringList adultDomains = ResourceList::loadLowerCased(QStringLiteral("adult_domains"));
    lists.adultDomains = QSet<QString>(adultDomains.begin(), adultDomains.end());
    lists.publicSuffixes = PublicSuffixList::read();
    return lists;
}
