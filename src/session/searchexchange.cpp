// SPDX-License-Identifier: Apache-2.0
// The device search as an exchange that ends with one result.

#include "searchexchange.h"

namespace lv {

SearchExchange::SearchExchange(DeviceSearch& search, SearchEnds ends, QObject* parent)
    : Exchange(parent), m_search(search), m_ends(std::move(ends))
{
    // The bounds are promises to the operator and to scripts; a coarse timer may fire up to 5 % early.
    for (QTimer* timer : {&m_wait, &m_idle}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_wait, &QTimer::timeout, this, [this] {
        m_result.wholeWait = true;
        finish();
    });
    connect(&m_idle, &QTimer::timeout, this, [this] { finish(); });
    connect(&m_search, &DeviceSearch::deviceAdded, this, &SearchExchange::onDeviceAdded);
}

void SearchExchange::start()
{
    m_running = true;
    m_clock.start();
    m_result.outcome = SearchResult::Outcome::NothingAnswered;
    m_result.wholeWait = false;
    const bool sent = m_search.start();
    // Answers already waiting may have ended the search while the probe went out.
    if (!m_running)
        return;
    if (!sent) {
        const bool named = !m_search.state().interfaceName.isEmpty();
        return finish(named && m_search.probeInterfaces().empty() ? Outcome::NoInterface : Outcome::NotSent);
    }
    // A LAN that stays quiet for the idle time is done too, also before the first answer; a quiet spell
    // as long as the wait is the wait.
    if (quietEnds())
        m_idle.start(m_ends.idleMs);
    m_wait.start(m_ends.waitMs);
}

void SearchExchange::onDeviceAdded(int)
{
    if (!m_running)
        return;
    m_result.lastDeviceMs = m_clock.elapsed();
    if (m_ends.expect > 0 && static_cast<int>(m_search.devices().size()) >= m_ends.expect)
        return finish();
    if (quietEnds())
        m_idle.start(m_ends.idleMs);
}

void SearchExchange::finish(std::optional<Outcome> outcome)
{
    if (!m_running)
        return;
    if (outcome)
        m_result.outcome = *outcome;
    m_running = false;
    m_wait.stop();
    m_idle.stop();
    m_result.endedMs = m_clock.elapsed();
    m_result.devices = static_cast<int>(m_search.devices().size());
    m_result.conflicts = m_search.conflictCount();
    if (m_result.outcome == SearchResult::Outcome::NothingAnswered && m_result.devices > 0)
        m_result.outcome = SearchResult::Outcome::Listed;
    markFinished();
}

} // namespace lv
