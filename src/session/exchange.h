// SPDX-License-Identifier: Apache-2.0
#pragma once

// The contract every exchange with a device keeps (the search, the configuration request, the Update,
// the verify, the MAC change), in the manner of QDnsLookup and QNetworkReply: it is constructed with
// the channel it runs on, the device it is for and its parameters, and sends nothing until start();
// finished() follows exactly once, also after abort(), and result() then holds a typed value whose
// Q_ENUM outcome says how it ended (Aborted after abort()). What can be derived from the outcome (sent,
// answered, timed out) is a function of the result, never a flag stored beside it.
//
// A window or a single CLI command runs one with runExchange() ("start, then wait for finished"); a
// fleet starts many and reacts to each finished().

#include "wait.h"

#include <QObject>

namespace lv {

class Exchange : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Sends the first datagram; finished() follows on the event loop (at once when nothing could be
    // sent). Called once.
    virtual void start() = 0;
    // Ends a running exchange with the outcome Aborted: nothing more is sent or read. Nothing happens
    // once it has finished.
    virtual void abort() = 0;
    // The longest start() to finished() may take, by the exchange's own timers.
    virtual int boundMs() const = 0;

    bool isFinished() const { return m_finished; }

Q_SIGNALS:
    void finished();

protected:
    // Marks the exchange finished and signals it: once.
    void markFinished()
    {
        if (m_finished)
            return;
        m_finished = true;
        Q_EMIT finished();
    }

private:
    bool m_finished = false;
};

// Starts the exchange and lets events run until it has finished, then gives a copy of its result (some
// results are derived from another's, so there may be none to refer to). Its own timers bound it; the
// wait's margin only guards against an exchange that never ends (it is then aborted).
template <typename E> auto runExchange(E& exchange)
{
    constexpr int kGuardMarginMs = 5000;
    exchange.start();
    if (!waitFor(&exchange, &Exchange::finished, exchange.boundMs() + kGuardMarginMs,
                 [&exchange] { return exchange.isFinished(); }))
        exchange.abort();
    return exchange.result();
}

} // namespace lv
