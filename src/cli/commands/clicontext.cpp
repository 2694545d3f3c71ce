// SPDX-License-Identifier: Apache-2.0
// The steps the commands of linkvane-cli share.

#include "clicontext.h"

#include "command.h"
#include "interruption.h"
#include "latin1.h"
#include "operands.h"
#include "outcomes.h"
#include "outcometexts.h"
#include "secretinput.h"
#include "tagmessage.h"
#include "typedvalue.h"
#include "wait.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QTimer>

namespace lv {

CliContext::CliContext(QTextStream& out, QTextStream& err) : m_output(out, err)
{
    m_started.start();
}

void CliContext::noteRunStats(std::size_t devices, int parallel)
{
    if (!m_searchRun)
        return;
    m_output.note(QStringLiteral("stats: %1 devices listed; the search ended at %2 ms after the probe; %3 devices "
                                 "run, up to %4 at once; done at %5 ms after the probe, %6 ms after the start\n")
                      .arg(m_search->devices().size())
                      .arg(lastSearch().endedMs)
                      .arg(devices)
                      .arg(parallel)
                      .arg(sinceProbeMs())
                      .arg(sinceStartMs()));
}

int CliContext::fail(int code, const QString& message)
{
    m_output.error(message);
    return code;
}

bool CliContext::readGlobalOptions(const QCommandLineParser& parser)
{
    if (const std::optional<QString> refused = lv::readGlobalOptions(parser, m_options))
        return fail(kExitUsage, *refused), false;
    if (m_options.password)
        m_mask.addPassword(toLatin1(*m_options.password));
    m_output.setJson(m_options.json);
    m_output.setQuiet(m_options.quiet);
    m_mask.setEnabled(!m_options.showSecrets);
    if (m_options.verbose && !m_wireLog)
        m_wireLog = std::make_unique<WireLog>(m_output, m_mask);
    return true;
}

QString CliContext::setupPassword()
{
    if (!m_options.password && !m_passwordAsked) {
        m_passwordAsked = true;
        std::optional<QString> typed = promptForSecret(QStringLiteral("Setup password (Enter for none): "));
        if (typed && !isLatin1(*typed)) {
            m_output.error(QStringLiteral("the setup password must be single-byte (Latin-1) text; none is sent"));
            typed.reset();
        } else if (const std::optional<QString> why = typed ? secretRefusal(*typed) : std::nullopt) {
            m_output.error(QStringLiteral("the setup password ") + *why + QStringLiteral("; none is sent"));
            typed.reset();
        }
        if (typed) {
            m_mask.addPassword(toLatin1(*typed));
            m_options.password = typed;
        }
    }
    return m_options.password.value_or(QString());
}

QString CliContext::maskedText(std::string_view bytes) const
{
    return printableText(m_mask.masked(bytes));
}

QJsonValue CliContext::maskedJson(std::string_view bytes) const
{
    return jsonText(m_mask.masked(bytes));
}

void CliContext::startSession()
{
    if (m_search)
        return;
    m_state.gCmdPort = m_options.port;
    m_state.broadcast = m_options.broadcast;
    m_state.interfaceName = m_options.interfaceName;
    m_search = std::make_unique<DeviceSearch>(m_state);
    m_channel = std::make_unique<CommandChannel>(m_state);
    if (m_wireLog)
        m_wireLog->watch(*m_channel);
}

DeviceSearch& CliContext::search()
{
    startSession();
    return *m_search;
}

CommandChannel& CliContext::channel()
{
    startSession();
    return *m_channel;
}

std::optional<Failure> CliContext::runSearch(SearchEnds ends)
{
    search();
    ends.waitMs = m_options.waitMs;
    m_found.reset();
    m_searchRun = std::make_unique<SearchExchange>(*m_search, std::move(ends));
    m_searchRun->start();
    // Every socket the probe left through is logged, and what comes back to each.
    if (m_wireLog && (!m_searchRun->isFinished() || m_searchRun->result().sent()))
        for (UdpSocket* socket : m_search->sockets()) {
            m_wireLog->watchReceived(*socket);
            m_wireLog->sent(socket->localPort(),
                            QByteArray(kSearchProbe.data(), static_cast<qsizetype>(kSearchProbe.size())));
        }
    waitFor(m_searchRun.get(), &SearchExchange::finished, m_options.waitMs + 5000,
            [this] { return m_searchRun->isFinished(); });
    switch (m_searchRun->result().outcome) {
    case SearchResult::Outcome::NoInterface:
        return failureOf(m_searchRun->result(), {.interfaceName = m_state.interfaceName});
    case SearchResult::Outcome::NotSent:
        return failureOf(m_searchRun->result(), {.target = m_state.broadcast.toString(), .port = m_state.gCmdPort});
    case SearchResult::Outcome::Listed:
    case SearchResult::Outcome::NothingAnswered:
    case SearchResult::Outcome::Aborted:
        break;
    }
    return std::nullopt;
}

const FoundDevices& CliContext::found()
{
    if (!m_found)
        m_found = foundDevices(search());
    return *m_found;
}

Expected<const FoundDevice*> CliContext::resolve(const DeviceSelector& selector)
{
    const Expected<std::vector<const FoundDevice*>> found = resolveAll({selector});
    if (!found)
        return found.failure();
    return found->front();
}

Expected<std::vector<const FoundDevice*>> CliContext::resolveAll(const std::vector<DeviceSelector>& selectors)
{
    if (selectors.empty())
        return std::vector<const FoundDevice*>{};
    if (const std::optional<Failure> failed = runSearch())
        return *failed;
    return resolveSelectors(found(), selectors);
}

std::unique_ptr<DeviceJob> CliContext::job(DeviceTask task, JobSettings settings)
{
    settings.timeoutMs = m_options.timeoutMs;
    settings.retries = m_options.retries;
    settings.stops = &Interruption::count;
    if (m_wireLog)
        settings.onChannel = [log = m_wireLog.get()](CommandChannel& channel) { log->watch(channel); };
    return std::make_unique<DeviceJob>(m_state, std::move(task), std::move(settings), m_mask);
}

void CliContext::runJobs(const DeviceJobs& jobs, int parallel, const std::function<void(DeviceJob&)>& finished)
{
    runDeviceJobs(jobs, parallel, finished, &Interruption::count);
}

FleetSession CliContext::fleetSession(int parallel)
{
    return {[this](DeviceTask task, JobSettings settings) { return job(std::move(task), std::move(settings)); },
            [this, parallel](const DeviceJobs& jobs, const std::function<void(DeviceJob&)>& finished) {
                runJobs(jobs, parallel, finished);
            },
            [this] { return setupPassword(); }};
}

Expected<DeviceRun> CliContext::runDevice(const DeviceSelector& selector, const QString& named, SetEntries set,
                                          JobSettings settings)
{
    const Expected<const FoundDevice*> device = resolve(selector);
    if (!device)
        return device.failure();
    if (!*device)
        return Failure{kExitNotFound, notFoundText(Audience::Cli, printableName(named))};
    DeviceTask task;
    task.named = named;
    // The device's commands leave through the interface it answered on.
    task.device = (*device)->ref;
    task.macText = (*device)->answer.macText;
    task.password = toLatin1(setupPassword());
    task.set = std::move(set);
    DeviceJobs jobs;
    jobs.push_back(job(std::move(task), std::move(settings)));
    runJobs(jobs, 1);
    DeviceRun run{(*device)->answer, jobs.front()->outcome()};
    const ConfigRequestResult& request = run.outcome.request();
    const QString mac = fromLatin1(run.device.macText);
    if (const CommandResult failed = failureOf(request, {.device = mac, .timeoutMs = m_options.timeoutMs}))
        return *failed;
    return run;
}

std::unique_ptr<DeviceJob> loadJob(CliContext& context, const FoundDevice& device, const QString& named)
{
    DeviceTask task;
    task.named = named;
    task.device = device.ref;
    task.macText = device.answer.macText;
    task.password = toLatin1(context.setupPassword());
    return context.job(std::move(task), {.mode = JobSettings::Mode::Load});
}

} // namespace lv
