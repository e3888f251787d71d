#pragma once

#include "common/ClockTimer.h"

#include <QObject>

#include <chrono>
#include <optional>

class ClipboardDatabaseActor;
class ModelContext;

// Gives memory back to the system once the app has gone idle after work that let go of much:
// the start-up (its pruning, the panel's first list), the models' loading, a bulk deletion, the
// panel's hiding, a copy. Each of these asks for it; the memory goes back idleDelay after the last ask,
// so that no hot path pays for it: first the store pages that the main context's and the
// database actor's connections keep, then every free page of the heaps. Asks that never stop
// for idleDelay (a script copying a text every few tenths of a second) have it go back
// longestWait after the first of them, and so on: what every copy leaves free would otherwise
// pile up for as long as the copies go on. Main thread only.
class IdleMemoryGiveBack final : public QObject
{
    Q_OBJECT
public:
    // Without an actor, only the main context's pages and the heaps are given back.
    IdleMemoryGiveBack(
        Clock &clock, ModelContext &mainContext, ClipboardDatabaseActor *actor, QObject *parent = nullptr);
    ~IdleMemoryGiveBack() override;

    void request();
    // Asks for it when a deletion left enough behind to be worth it.
    void itemsDeleted(int count);
    static constexpr std::chrono::milliseconds idleDelay { 1000 };
    static constexpr std::chrono::milliseconds longestWait { 10'000 };
    // A deletion of at least this many items leaves enough behind to give back.
    static constexpr int bulkDeletion = 100;

Q_SIGNALS:
    // The memory went back.
    void gaveBack();

private:
    void giveBack();

    ModelContext &m_mainContext;
    ClipboardDatabaseActor *m_actor;
    ClockTimer m_timer;
    // When the first ask since the last give-back came.
    std::optional<Clock::TimePoint> m_firstAsk;
};
