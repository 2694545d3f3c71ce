// SPDX-License-Identifier: Apache-2.0
#pragma once

// What every command of linkvane-cli works with: the global options, the session (search and
// command channel, as the window has them), the output, and the steps that several commands share:
// the search, finding the device the operator named, and running it as a one-device job.

#include "command.h"
#include "commandchannel.h"
#include "devicejob.h"
#include "devicelist.h"
#include "devicesearch.h"
#include "deviceselector.h"
#include "exchanges.h"
#include "fleetrun.h"
#include "founddevices.h"
#include "globaloptions.h"
#include "output.h"
#include "searchexchange.h"
#include "secretmask.h"
#include "sessionstate.h"
#include "setupform.h"
#include "wirelog.h"

#include <QCommandLineOption>
#include <QElapsedTimer>
#include <QHostAddress>

#include <functional>
#include <memory>
#include <optional>

class QCommandLineParser;

namespace lv {

// A device the command line named, run as a one-device job: its search reply and what became of it.
struct DeviceRun {
    SearchReply device;
    DeviceOutcome outcome; // its configuration came whole; its form is null for models that open no window
};

class CliContext {
public:
    CliContext(QTextStream& out, QTextStream& err);

    // Reads the global options from a parser that holds them; false (and a message) when one is wrong.
    bool readGlobalOptions(const QCommandLineParser& parser);
    const GlobalOptions& options() const { return m_options; }
    Output& output() { return m_output; }
    SessionState& state() { return m_state; }
    DeviceSearch& search();
    CommandChannel& channel();

    // Prints the message and returns the exit code.
    int fail(int code, const QString& message);

    // The setup password for the configuration requests: the one the options gave, else one typed on
    // the terminal (asked once, only when standard input is one), else empty.
    QString setupPassword();
    // Secrets as shown: "***" unless --show-secrets.
    SecretMask& mask() { return m_mask; }
    const SecretMask& mask() const { return m_mask; }
    // Bytes for a person (escaped) and for JSON, with their secrets masked.
    QString maskedText(std::string_view bytes) const;
    QJsonValue maskedJson(std::string_view bytes) const;
    // The --verbose log; null without --verbose.
    WireLog* wireLog() { return m_wireLog.get(); }

    // Sends the probe and lets answers come in for --wait, or until `ends` says the search is over.
    // The failure when the probe could not be sent.
    std::optional<Failure> runSearch(SearchEnds ends = {});
    // How the last search ended, with its timing for --stats.
    const SearchResult& lastSearch() const { return m_searchRun->result(); }
    // Since the command started, for the closing summary of a fleet.
    qint64 sinceStartMs() const { return m_started.elapsed(); }
    // --stats of a fleet command: the search's timing, then how many devices ran and when the last ended.
    void noteRunStats(std::size_t devices, int parallel);
    qint64 sinceProbeMs() const { return m_searchRun->sinceProbeMs(); }
    // The devices the last search listed, each with its answer read once; read from the list when first
    // asked for after the search.
    const FoundDevices& found();
    // The device the selector names; null when none answered. A selector that two or more answers match
    // fails (exit 2, the candidates named). The search listens for the whole --wait however soon the
    // device answered: another host sending its answer may have been faster than it.
    Expected<const FoundDevice*> resolve(const DeviceSelector& selector);
    // One search for several devices: per selector the device it names, null for those that did not
    // answer; fails as resolve() does. A device whose answer came from two senders is refused as an
    // ambiguous one is.
    Expected<std::vector<const FoundDevice*>> resolveAll(const std::vector<DeviceSelector>& selectors);
    // A device's job on this session: its wire on the --verbose log, its waits and retries as the options
    // say, stopped by the signals an Interruption counts.
    std::unique_ptr<DeviceJob> job(DeviceTask task, JobSettings settings);
    // Runs the jobs, up to `parallel` at once; the signals an Interruption counts stop them.
    void runJobs(const DeviceJobs& jobs, int parallel, const std::function<void(DeviceJob&)>& finished = {});
    // The fleet's view of this session, running `parallel` jobs at once.
    FleetSession fleetSession(int parallel);
    // Finds the device the selector names (`named` as typed) and runs it as a job of the fleet runner with
    // the changes `set`: loaded, then changed and updated as the settings say. Fails when it is not found
    // or its configuration did not come whole.
    Expected<DeviceRun> runDevice(const DeviceSelector& selector, const QString& named, SetEntries set,
                                  JobSettings settings);

private:
    void startSession();

    QElapsedTimer m_started;
    GlobalOptions m_options;
    Output m_output;
    SecretMask m_mask;
    std::unique_ptr<WireLog> m_wireLog;
    bool m_passwordAsked = false;
    SessionState m_state;
    std::unique_ptr<DeviceSearch> m_search;
    std::unique_ptr<SearchExchange> m_searchRun;
    std::optional<FoundDevices> m_found;
    std::unique_ptr<CommandChannel> m_channel;
};

// A job that only asks the device for its configuration, with the options' password.
std::unique_ptr<DeviceJob> loadJob(CliContext& context, const FoundDevice& device, const QString& named = {});

} // namespace lv
