// SPDX-License-Identifier: Apache-2.0
#pragma once

// The one bounded wait of the program: an event loop that ends when a signal makes `done` true or
// when the time is up. Events keep running meanwhile and no CPU is burnt.

#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace lv {

// Waits until `done()` holds, checking it after each emission of `signal` by `sender`, or until
// `timeoutMs` passed. Returns `done()` at the end. Without a sender it simply lets events run for
// `timeoutMs`.
template <typename Sender, typename Signal>
bool waitFor(const Sender* sender, Signal signal, int timeoutMs, const std::function<bool()>& done)
{
    if (done && done())
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the bounds are promises to the operator and to scripts.
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (sender)
        QObject::connect(sender, signal, &loop, [&] {
            if (!done || done())
                loop.quit();
        });
    timer.start(timeoutMs);
    loop.exec();
    return done && done();
}

// Lets events run for `ms` milliseconds.
inline void waitMs(int ms)
{
    waitFor(static_cast<const QTimer*>(nullptr), &QTimer::timeout, ms, {});
}

} // namespace lv
