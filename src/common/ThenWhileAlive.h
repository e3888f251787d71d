#pragma once

#include <QCoreApplication>
#include <QFuture>
#include <QObject>
#include <QPointer>

#include <type_traits>
#include <utility>

// Continues a future on the main thread with `function`, but only while `owner` lives.
//
// `future.then(owner, function)` is not enough for an owner that can go before the work is
// done: Qt 6.4 asserts that the context still exists when the future finishes, which aborts a
// debug build. The continuation is given to the application object instead, which outlives
// all work, and the owner is looked at there, on the main thread where it lives and dies, so
// it cannot go between the look and the call.
//
// The function takes the future's result (nothing for a QFuture<void>) and returns nothing:
// with its owner gone there is no one to hand a result to. Dropping it releases what it holds
// (a promise it was to fulfil is cancelled). The future returned finishes once the function ran
// or was skipped; it is cancelled, without the function running, when `future` was.
template <typename T, typename Function>
QFuture<void> thenWhileAlive(QFuture<T> future, const QObject *owner, Function &&function)
{
    QPointer<const QObject> alive(owner);
    if constexpr (std::is_void_v<T>) {
        static_assert(std::is_void_v<std::invoke_result_t<std::decay_t<Function> &>>,
            "the continuation returns nothing: its owner may be gone");
        return future.then(
            QCoreApplication::instance(), [alive, function = std::forward<Function>(function)]() mutable {
                if (alive)
                    function();
            });
    } else {
        static_assert(std::is_void_v<std::invoke_result_t<std::decay_t<Function> &, const T &>>,
            "the continuation returns nothing: its owner may be gone");
        return future.then(QCoreApplication::instance(),
            [alive, function = std::forward<Function>(function)](const T &result) mutable {
                if (alive)
                    function(result);
            });
    }
}
