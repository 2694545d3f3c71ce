// SPDX-License-Identifier: Apache-2.0
#pragma once

// The device search as one exchange: the probe, then answers listed for a while, then one typed result.
// The list itself is the DeviceSearch's, which goes on taking late answers until the next search; this
// object only decides when the search is over for whoever asked (the window's status bar, a CLI command)
// and says how it ended. The window listens for a few seconds; a command may end sooner, after a number
// of devices, a quiet spell or once the devices it looks for have answered.

#include "devicesearch.h"
#include "exchange.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

namespace lv {

// When a search is over.
struct SearchEnds {
    int waitMs = 1000; // the longest it listens
    int expect = 0;    // over once this many devices are listed (0: no count)
    int idleMs = -1;   // over this long after the last new answer, or after the probe when none came
                       // (below 0: no quiet end); never later than waitMs
    // Over once it holds for a newly listed device (its index), or graceMs after that: answers that come
    // in the grace are still listed (and passed to `stop`), so a second device answering for the same
    // name is seen. Never later than waitMs.
    std::function<bool(int)> stop;
    int graceMs = 0;
};

struct SearchResult {
    Q_GADGET
public:
    enum class Outcome {
        Listed,          // at least one device answered
        NothingAnswered, // the probe went out and nothing answered in time
        NotSent,         // the probe could not be sent
        NoInterface,     // the interface the search keeps to is not there: nothing was sent
        Aborted,         // ended by abort()
    };
    Q_ENUM(Outcome)

    Outcome outcome = Outcome::NotSent;
    int devices = 0;           // listed when the search ended
    int conflicts = 0;         // of those, the ones that share their IP address with another MAC
    qint64 lastDeviceMs = -1;  // when the last new device came, after the probe (-1: none)
    qint64 endedMs = -1;       // when the search ended, after the probe

    bool sent() const { return outcome != Outcome::NotSent && outcome != Outcome::NoInterface; }
};

class SearchExchange final : public Exchange {
    Q_OBJECT
public:
    using Outcome = SearchResult::Outcome;

    SearchExchange(DeviceSearch& search, SearchEnds ends, QObject* parent = nullptr);

    // Clears the list and sends the probe; finished() follows (at once when nothing could be sent, or when
    // answers already waiting end it).
    void start() override;
    // Ends the search for whoever asked; the list goes on taking late answers as always.
    void abort() override { finish(Outcome::Aborted); }
    int boundMs() const override { return m_ends.waitMs; }
    const SearchResult& result() const { return m_result; }

    bool running() const { return m_running; }
    // Milliseconds since the probe.
    qint64 sinceProbeMs() const { return m_clock.elapsed(); }
    DeviceSearch& devices() { return m_search; }

private:
    void onDeviceAdded(int index);
    void finish(std::optional<Outcome> outcome = std::nullopt);

    DeviceSearch& m_search;
    SearchEnds m_ends;
    QTimer m_wait;
    QTimer m_idle;
    QTimer m_grace;
    QElapsedTimer m_clock;
    bool m_running = false;
    SearchResult m_result;
};

} // namespace lv

Q_DECLARE_METATYPE(lv::SearchResult)
