// linkvane-cli apply.

#include "applycommand.h"

#include "clicontext.h"
#include "operands.h"
#include "devicejob.h"
#include "fleetplan.h"
#include "latin1.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

namespace lv {

namespace {

const QCommandLineOption& parallelOption()
{
    static const QCommandLineOption option(QStringLiteral("parallel"),
                                           QStringLiteral("Up to N exchanges at once, each on its own socket (16)."),
                                           QStringLiteral("N"));
    return option;
}

const QCommandLineOption& dryRunOption()
{
    static const QCommandLineOption option(
        QStringLiteral("dry-run"),
        QStringLiteral("Ask every device for its configuration and say what would be sent; send no set command."));
    return option;
}

const QCommandLineOption& forceOption()
{
    static const QCommandLineOption option(
        QStringLiteral("force"),
        QStringLiteral("Send the set command and the \"U \" commands also to devices that already match the plan."));
    return option;
}

bool succeeded(FleetResult result)
{
    return result == FleetResult::Updated || result == FleetResult::Unchanged || result == FleetResult::WouldUpdate;
}

QJsonValue orNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonObject outcomeJson(const CliContext& context, const DeviceOutcome& o)
{
    return QJsonObject{{QStringLiteral("device"), o.named},
                       {QStringLiteral("mac"), orNull(fromLatin1(o.macText))},
                       {QStringLiteral("window"), orNull(fromLatin1(o.window))},
                       {QStringLiteral("result"), fleetResultText(o.result)},
                       {QStringLiteral("sent"), o.sent ? context.maskedJson(*o.sent) : QJsonValue()},
                       {QStringLiteral("error"), orNull(o.error)}};
}

// One line per device: as the plan names it, the result, its MAC text and window, then what was sent
// or why not.
QString outcomeLine(const CliContext& context, const DeviceOutcome& o)
{
    QString line = o.named.leftJustified(18) + QLatin1Char(' ') + fleetResultText(o.result).leftJustified(12) +
                   (o.macText.empty() ? QStringLiteral("-") : fromLatin1(o.macText)).leftJustified(18) +
                   QLatin1Char(' ') + (o.window.empty() ? QStringLiteral("-") : fromLatin1(o.window)).leftJustified(16);
    if (o.sent)
        line += QStringLiteral(" sent ") + context.maskedText(*o.sent);
    if (!o.error.isEmpty())
        line += QLatin1Char(' ') + o.error;
    return line.trimmed() + QLatin1Char('\n');
}

} // namespace

QString ApplyCommand::description() const
{
    return QStringLiteral(
        "Configures every device of PLAN.json exactly as its window's Update would: one search, then up to "
        "--parallel devices at once, each asked for its configuration with its password, loaded, changed as "
        "the plan says and sent only what differs. Per device: updated, unchanged (no set command sent), not "
        "found, no answer, or refused (a tag, list label or port its window lacks: nothing is set). Exit 0 when "
        "every device is updated or unchanged, 5 otherwise.\n\n"
        "Plan: {\"defaults\": {\"password\": \"\", \"set\": {\"SIOBaud\": \"115200\"}},\n"
        "       \"devices\": [{\"device\": \"00-50-C2-00-00-03\", \"set\": {\"DeviceID\": \"Pump-7\"}},\n"
        "                   {\"device\": \"192.168.1.41\", \"password\": \"secret\", \"set\": {\"COM2_Baud\": "
        "\"19200\"}}]}\n"
        "A device is named by MAC text, MAC field or IP address; its password and set entries override the "
        "defaults; \"window\" (as export writes it) refuses a device that opens another window. A secret "
        "field given as *** is left as it is. The password of a device is the plan's, else the one of "
        "--password, --password-file, LINKVANE_PASSWORD or the terminal.");
}

QList<Operand> ApplyCommand::operands() const
{
    return {{QStringLiteral("PLAN.json"), QStringLiteral("the plan: a JSON file as export writes it"),
             QStringLiteral("PLAN.json")}};
}

QList<QCommandLineOption> ApplyCommand::options() const
{
    return {parallelOption(), dryRunOption(), forceOption()};
}

int ApplyCommand::execute(CliContext& context, const QCommandLineParser& parser)
{
    const QStringList operands = parser.positionalArguments();
    if (operands.size() != 1)
        return context.fail(kExitUsage, QStringLiteral("apply takes one PLAN.json"));
    const std::optional<int> parallel = parallelValue(parser, parallelOption());
    if (!parallel)
        return context.fail(kExitUsage, QString::fromLatin1(kParallelRange));
    JobSettings settings;
    settings.mode = parser.isSet(dryRunOption()) ? JobSettings::Mode::DryRun : JobSettings::Mode::Apply;
    settings.force = parser.isSet(forceOption());
    settings.timeoutMs = context.options().timeoutMs;

    // The whole plan is checked before anything goes on the wire.
    QFile file(operands.front());
    if (!file.open(QIODevice::ReadOnly))
        return context.fail(kExitUsage, QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
    QString error;
    const std::optional<FleetPlan> plan = parseFleetPlan(file.readAll(), &error);
    if (!plan)
        return context.fail(kExitUsage, QStringLiteral("%1: %2").arg(file.fileName(), error));

    std::vector<DeviceSelector> selectors;
    for (const PlanDevice& device : plan->devices)
        selectors.push_back(device.selector);
    const std::optional<std::vector<int>> found = context.resolveAll(selectors);
    if (!found)
        return kExitNoAnswer;

    Output& out = context.output();
    std::vector<DeviceOutcome> early; // not found or named twice: settled by the search
    std::vector<std::unique_ptr<DeviceJob>> jobs;
    std::vector<std::size_t> order; // plan index of each job
    std::map<int, QString> claimed; // list index -> how the plan named it first
    for (std::size_t i = 0; i < plan->devices.size(); ++i) {
        const PlanDevice& device = plan->devices[i];
        const int index = (*found)[i];
        if (index < 0 || claimed.count(index)) {
            DeviceOutcome outcome;
            outcome.named = device.device;
            if (index < 0) {
                outcome.result = FleetResult::NotFound;
                outcome.error = QStringLiteral("no answer to the search");
            } else {
                outcome.result = FleetResult::Refused;
                outcome.error = QStringLiteral("the plan names this device twice (also as %1)").arg(claimed[index]);
            }
            early.push_back(std::move(outcome));
            continue;
        }
        claimed[index] = device.device;
        DeviceTask task;
        task.named = device.device;
        task.device = {context.search().devices().raw(static_cast<std::size_t>(index)), context.search().interfaceOf(index)};
        // The plan's password first; only a device without one asks the options or the terminal.
        task.password = toLatin1(device.password ? *device.password : context.setupPassword());
        task.window = device.window;
        task.set = device.set;
        jobs.push_back(
            std::make_unique<DeviceJob>(context.state(), std::move(task), settings, context.mask(), context.wireLog()));
        order.push_back(i);
    }
    if (!out.json())
        for (const DeviceOutcome& outcome : early)
            out.text(outcomeLine(context, outcome));

    std::vector<DeviceJob*> pointers;
    for (const auto& job : jobs)
        pointers.push_back(job.get());
    runDeviceJobs(pointers, *parallel, [&](DeviceJob& job) {
        if (!out.json())
            out.text(outcomeLine(context, job.outcome()));
    });

    // The JSON array follows the plan's order.
    std::vector<const DeviceOutcome*> byPlan(plan->devices.size(), nullptr);
    for (std::size_t j = 0; j < jobs.size(); ++j)
        byPlan[order[j]] = &jobs[j]->outcome();
    std::size_t e = 0;
    for (const DeviceOutcome*& slot : byPlan)
        if (!slot)
            slot = &early[e++];
    bool allGood = true;
    QJsonArray results;
    for (const DeviceOutcome* outcome : byPlan) {
        allGood = allGood && succeeded(outcome->result);
        results.append(outcomeJson(context, *outcome));
    }
    if (out.json())
        out.document(results);
    return allGood ? kExitDone : kExitSomeFailed;
}

} // namespace lv
