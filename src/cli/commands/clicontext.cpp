// SPDX-License-Identifier: Apache-2.0
// The global options of linkvane-cli and the steps its commands share.

#include "clicontext.h"

#include "command.h"
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

namespace {

enum GlobalOption {
    Port,
    Broadcast,
    Password,
    PasswordFile,
    Timeout,
    Wait,
    Json,
    Stats,
    ShowSecrets,
    Verbose,
    Quiet,
    Interface,
    Retries
};

} // namespace

const QList<QCommandLineOption>& globalOptionList()
{
    static const QList<QCommandLineOption> options = {
        {QStringLiteral("port"), QStringLiteral("Command port of the devices (65535)."), QStringLiteral("N")},
        {QStringLiteral("broadcast"), QStringLiteral("Where the commands go (255.255.255.255)."),
         QStringLiteral("ADDR")},
        {QStringLiteral("password"),
         QStringLiteral("Setup password sent with the configuration request (visible to every user of the "
                        "machine: prefer --password-file or LINKVANE_PASSWORD)."),
         QStringLiteral("TEXT")},
        {QStringLiteral("password-file"),
         QStringLiteral("Read the setup password from the first line of FILE (- for standard input). Without a "
                        "password option, LINKVANE_PASSWORD or a prompt on the terminal gives it; else it is empty."),
         QStringLiteral("FILE")},
        {QStringLiteral("timeout"), QStringLiteral("How long to wait for a device's answer (1000 ms)."),
         QStringLiteral("MS")},
        {QStringLiteral("wait"), QStringLiteral("How long the search listens for answers (1000 ms)."),
         QStringLiteral("MS")},
        {QStringLiteral("json"), QStringLiteral("Write one JSON document instead of text.")},
        {QStringLiteral("stats"), QStringLiteral("Write the search's timing on standard error.")},
        {QStringLiteral("show-secrets"), QStringLiteral("Show passwords and access codes as they are instead of ***.")},
        {QStringLiteral("verbose"),
         QStringLiteral("Write every datagram sent and received, with its time, on standard error.")},
        {QStringLiteral("quiet"),
         QStringLiteral("Write nothing on standard output and only errors on standard error; the exit status "
                        "tells the result.")},
        {QStringLiteral("interface"),
         QStringLiteral("The network interface the search and the commands keep to, or all (all)."),
         QStringLiteral("NAME|all")},
        {QStringLiteral("retries"),
         QStringLiteral("Send a configuration request or an Update that got no answer at all up to N times "
                        "more (0); a device that answered is never asked again."),
         QStringLiteral("N")},
    };
    return options;
}

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
    const auto& o = globalOptionList();
    if (parser.isSet(o[Port])) {
        const std::optional<int> port = strictNumber(parser.value(o[Port]), 0, 65535);
        if (!port)
            return fail(kExitUsage, QStringLiteral("--port needs a number from 0 to 65535")), false;
        m_options.port = static_cast<quint16>(*port);
    }
    if (parser.isSet(o[Broadcast])) {
        QHostAddress address;
        if (!address.setAddress(parser.value(o[Broadcast])))
            return fail(kExitUsage, QStringLiteral("--broadcast needs an IP address")), false;
        m_options.broadcast = address;
    }
    if (parser.isSet(o[Password])) {
        m_options.password = parser.value(o[Password]);
    } else if (parser.isSet(o[PasswordFile])) {
        QString error;
        m_options.password = firstLineOfFile(parser.value(o[PasswordFile]), &error);
        m_options.passwordFromStdin = parser.value(o[PasswordFile]) == QLatin1String("-");
        if (!m_options.password)
            return fail(kExitUsage, QStringLiteral("--password-file: ") + error), false;
    } else if (!m_options.password) {
        m_options.password = secretFromEnvironment(kPasswordVariable);
    }
    // The password travels as single-byte text; a character outside Latin-1 cannot be sent as typed.
    if (m_options.password && !isLatin1(*m_options.password))
        return fail(kExitUsage, QStringLiteral("the setup password must be single-byte (Latin-1) text")), false;
    if (const std::optional<QString> why = m_options.password ? secretRefusal(*m_options.password) : std::nullopt)
        return fail(kExitUsage, QStringLiteral("the setup password ") + *why), false;
    if (m_options.password)
        m_mask.addPassword(toLatin1(*m_options.password));
    if (parser.isSet(o[Timeout])) {
        const std::optional<int> ms = strictNumber(parser.value(o[Timeout]), 1, 600000);
        if (!ms)
            return fail(kExitUsage, QStringLiteral("--timeout needs milliseconds from 1 to 600000")), false;
        m_options.timeoutMs = *ms;
    }
    if (parser.isSet(o[Wait])) {
        const std::optional<int> ms = strictNumber(parser.value(o[Wait]), 0, 600000);
        if (!ms)
            return fail(kExitUsage, QStringLiteral("--wait needs milliseconds from 0 to 600000")), false;
        m_options.waitMs = *ms;
    }
    if (parser.isSet(o[Interface])) {
        const QString name = parser.value(o[Interface]);
        if (name.isEmpty())
            return fail(kExitUsage, QStringLiteral("--interface needs an interface name or all")), false;
        m_options.interfaceName = name == QLatin1String("all") ? QString() : name;
    }
    if (parser.isSet(o[Retries])) {
        const std::optional<int> retries = strictNumber(parser.value(o[Retries]), 0, 10);
        if (!retries)
            return fail(kExitUsage, QStringLiteral("--retries needs a number from 0 to 10")), false;
        m_options.retries = *retries;
    }
    m_options.json = m_options.json || parser.isSet(o[Json]);
    m_options.stats = m_options.stats || parser.isSet(o[Stats]);
    m_options.showSecrets = m_options.showSecrets || parser.isSet(o[ShowSecrets]);
    m_options.verbose = m_options.verbose || parser.isSet(o[Verbose]);
    m_options.quiet = m_options.quiet || parser.isSet(o[Quiet]);
    if (m_options.quiet && (m_options.verbose || m_options.stats))
        return fail(kExitUsage, QStringLiteral("--quiet cannot go with --verbose or --stats")), false;
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
        return Failure{exitCode(m_searchRun->result()),
                       describe(m_searchRun->result(), Audience::Cli, {.interfaceName = m_state.interfaceName})};
    case SearchResult::Outcome::NotSent:
        return Failure{exitCode(m_searchRun->result()),
                       describe(m_searchRun->result(), Audience::Cli,
                                {.target = m_state.broadcast.toString(), .port = m_state.gCmdPort})};
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
    settings.timeoutMs = m_options.timeoutMs;
    settings.retries = m_options.retries;
    std::vector<std::unique_ptr<DeviceJob>> jobs;
    jobs.push_back(std::make_unique<DeviceJob>(m_state, std::move(task), std::move(settings), m_mask, m_wireLog.get()));
    runDeviceJobs(jobs, 1, {});
    DeviceRun run{(*device)->answer, std::move(jobs.front()->outcome())};
    const ConfigRequestResult& request = run.outcome.request;
    const QString mac = fromLatin1(run.device.macText);
    if (isFailure(request))
        return Failure{exitCode(request),
                       describe(request, Audience::Cli, {.device = mac, .timeoutMs = m_options.timeoutMs})};
    return run;
}

std::unique_ptr<DeviceJob> loadJob(CliContext& context, const FoundDevice& device, const QString& named,
                                   const std::optional<QString>& password)
{
    DeviceTask task;
    task.named = named;
    task.device = device.ref;
    task.macText = device.answer.macText;
    task.password = toLatin1(password ? *password : context.setupPassword());
    JobSettings settings;
    settings.mode = JobSettings::Mode::Load;
    settings.timeoutMs = context.options().timeoutMs;
    settings.retries = context.options().retries;
    return std::make_unique<DeviceJob>(context.state(), std::move(task), settings, context.mask(), context.wireLog());
}

} // namespace lv
