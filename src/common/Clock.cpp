#include "common/Clock.h"

#include <QTimer>

namespace {

class SystemClock final : public Clock
{
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    void runAfter(Duration delay, QObject *context, std::function<void()> action) override
    {
        QTimer::singleShot(delay, context, std::move(action));
    }
};

} // namespace

Clock &Clock::system()
{
    static SystemClock clock;
    return clock;
}
