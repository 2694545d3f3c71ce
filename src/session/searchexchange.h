// SPDX-License-Identifier: Apache-2.0
#pragma once

// The device search as one exchange: the probe, then answers listed for a while, then one typed result.
// The list itself is the DeviceSearch's, which goes on taking late answers until the next search; this
// object only decides when the search is over for whoever asked (the window's status bar, a CLI command)
// and says how it ended. The window listens for a few seconds; a listing may end sooner, after a number
// of devices or a quiet spell. A command that names a device always listens for the whole wait: another
// host that sends the device's answer too may be the first to send it.

#include "devicesearch.h"
#include "exchange.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QObject>
#include <QTimer>

#include <optional>

namespace lv {

// When a search is over.
struct SearchEnds {
    int waitMs = 1000; // the longest it listens
    int expect = 0;    // over once this many devices are listed (0: no count)
    int idleMs = -1;   // over this long after the last new answer, or after the probe when none came
                       // (below 0: no quiet end); never later than waitMs
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
    int devices = 0;          // listed when the search ended
    int conflicts = 0;        // of those, the ones that share their IP address with another MAC
    qint64 lastDeviceMs = -1; // when the last new device came, after the probe (-1: none)
    qint64 endedMs = -1;      // when the search ended, after the probe
    // It listened for the whole wait. A search ended sooner cannot tell that a listed device is in no
    // conflict: the other answer may have been on its way.
    bool wholeWait = false;

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
    // Whether a quiet spell ends the search before its wait.
    bool quietEnds() const { return m_ends.idleMs >= 0 && m_ends.idleMs < m_ends.waitMs; }
    void finish(std::optional<Outcome> outcome = std::nullopt);

    DeviceSearch& m_search;
    SearchEnds m_ends;
    QTimer m_wait;
    QTimer m_idle;
    QElapsedTimer m_clock;
    bool m_running = false;
    SearchResult m_result;
};

} // namespace lv

Q_DECLARE_METATYPE(lv::SearchResult)
