// SPDX-License-Identifier: Apache-2.0
// linkvane-cli apply.

#include "commands.h"
#include "optionnames.h"

#include "backupplan.h"
#include "clicontext.h"
#include "csvplan.h"
#include "devicejob.h"
#include "fieldreport.h"
#include "fleetplan.h"
#include "inputfile.h"
#include "interruption.h"
#include "latin1.h"
#include "operands.h"
#include "outcometexts.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <map>

namespace lv {

namespace {

QJsonValue orNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

const WindowDef* windowOf(const DeviceOutcome& o)
{
    return o.form ? &o.form->window() : nullptr;
}

// A result whose Update was sent and confirmed, or would be: its changes are listed.
bool listsChanges(const DeviceOutcome& o)
{
    const bool changed =
        o.result == FleetResult::WouldUpdate || o.result == FleetResult::Updated || o.result == FleetResult::Mismatch;
    return changed && o.plan;
}

QJsonObject outcomeJson(const CliContext& context, const DeviceOutcome& o)
{
    QJsonObject json{{QStringLiteral("device"), o.named},
                     {QStringLiteral("mac"), orNull(fromLatin1(o.macText))},
                     {QStringLiteral("window"), orNull(fromLatin1(o.window))},
                     {QStringLiteral("result"), fleetResultText(o.result)},
                     {QStringLiteral("sent"), o.sent ? context.maskedJson(*o.sent) : QJsonValue()},
                     {QStringLiteral("error"), orNull(o.error)},
                     {QStringLiteral("skipped"), QJsonArray::fromStringList(o.skipped)}};
    // Each field the Update changes (or would), as loaded and new.
    if (listsChanges(o))
        json.insert(QStringLiteral("fields"), changesJson(context, *o.plan, windowOf(o)));
    if (o.verify)
        json.insert(QStringLiteral("verify"), verifyJson(context, *o.verify, windowOf(o)));
    return json;
}

QJsonArray outcomesJson(const CliContext& context, const std::vector<const DeviceOutcome*>& outcomes)
{
    QJsonArray results;
    for (const DeviceOutcome* outcome : outcomes)
        results.append(outcomeJson(context, *outcome));
    return results;
}

// The columns of apply's text: the device as the plan names it, its result, MAC text and window, then
// what was sent or why not.
QString outcomeColumns(const QString& device, const QString& result, const QString& mac, const QString& window)
{
    return device.leftJustified(18) + QStringLiteral("  ") + result.leftJustified(12) + QStringLiteral("  ") +
           mac.leftJustified(17) + QStringLiteral("  ") + window.leftJustified(16) + QStringLiteral("  ");
}

QString outcomeHeader()
{
    return outcomeColumns(QStringLiteral("DEVICE"), QStringLiteral("RESULT"), QStringLiteral("MAC"),
                          QStringLiteral("WINDOW")) +
           QStringLiteral("DETAILS\n");
}

// One line per device, and below it the fields a dry run would change or a check found different.
QString outcomeLine(const CliContext& context, const DeviceOutcome& o)
{
    QString line = outcomeColumns(printableName(o.named), fleetResultText(o.result),
                                  o.macText.empty() ? QStringLiteral("-") : fromLatin1(o.macText),
                                  o.window.empty() ? QStringLiteral("-") : fromLatin1(o.window));
    if (o.sent)
        line += (o.result == FleetResult::WouldUpdate ? QStringLiteral("would send ") : QStringLiteral("sent ")) +
                context.maskedText(*o.sent);
    // A mismatch says so in its result column already; the fields that differ follow below.
    if (o.verify && o.result != FleetResult::Mismatch)
        line += o.verify->outcome == VerifyExchange::Outcome::NoAnswer
                    ? QStringLiteral("; the check got no answer")
                    : QStringLiteral("; ") + verifyResultName(o.verify->outcome);
    if (!o.error.isEmpty())
        line += (o.sent ? QStringLiteral("; ") : QString()) + o.error;
    if (!o.skipped.isEmpty())
        line += (o.sent || !o.error.isEmpty() ? QStringLiteral("; ") : QString()) + QStringLiteral("skipped: ") +
                printableName(o.skipped.join(QStringLiteral(", ")));
    line = line.trimmed() + QLatin1Char('\n');
    if (o.result == FleetResult::WouldUpdate && o.plan)
        line += changesText(context, *o.plan, windowOf(o), QStringLiteral("    "));
    if (o.verify)
        line += mismatchText(context, *o.verify, windowOf(o), QStringLiteral("    "));
    return line;
}

// The plan in the file, read and checked before anything goes on the wire. `format` is --format's value:
// json or csv; without it a name ending in .csv is a CSV plan and any other a JSON one.
Expected<FleetPlan> readPlan(const QString& path, const QString& format)
{
    if (!format.isEmpty() && format != QLatin1String("json") && format != QLatin1String("csv"))
        return Failure{kExitUsage, QStringLiteral("--format takes json or csv, not \"%1\"").arg(printableName(format))};
    const bool csv = format.isEmpty() ? path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)
                                      : format == QLatin1String("csv");
    QString error;
    const std::optional<QByteArray> bytes = readInputFile(path, kMaxPlanBytes, &error);
    if (!bytes)
        return Failure{kExitUsage, error};
    if (std::optional<FleetPlan> plan = csv ? parseCsvPlan(*bytes, &error) : parseFleetPlan(*bytes, &error))
        return std::move(*plan);
    return Failure{kExitUsage, QStringLiteral("%1: %2").arg(
                                   path == QLatin1String("-") ? QStringLiteral("standard input") : path, error)};
}

std::vector<DeviceSelector> selectorsOf(const FleetPlan& plan)
{
    std::vector<DeviceSelector> selectors;
    for (const PlanDevice& device : plan.devices)
        selectors.push_back(device.selector);
    return selectors;
}

// The plan's devices after the search: a job for each device found, and an outcome at once for those not
// found or named twice.
struct FleetRun {
    std::vector<DeviceOutcome> early; // settled by the search, in plan order
    std::vector<std::unique_ptr<DeviceJob>> jobs;
    std::vector<std::size_t> order; // plan index of each job

    // Every device's outcome in the plan's order.
    std::vector<const DeviceOutcome*> byPlan(std::size_t devices) const
    {
        std::vector<const DeviceOutcome*> out(devices, nullptr);
        for (std::size_t j = 0; j < jobs.size(); ++j)
            out[order[j]] = &jobs[j]->outcome();
        std::size_t e = 0;
        for (const DeviceOutcome*& slot : out)
            if (!slot)
                slot = &early[e++];
        return out;
    }
};

FleetRun planJobs(CliContext& context, const FleetPlan& plan, const std::vector<int>& found,
                  const JobSettings& settings)
{
    FleetRun run;
    std::map<int, QString> claimed; // list index -> how the plan named it first
    for (std::size_t i = 0; i < plan.devices.size(); ++i) {
        const PlanDevice& device = plan.devices[i];
        const int index = found[i];
        if (index < 0 || claimed.count(index)) {
            DeviceOutcome outcome;
            outcome.named = device.device;
            outcome.result = index < 0 ? FleetResult::NotFound : FleetResult::Refused;
            outcome.error = index < 0
                                ? notFoundText(Audience::Fleet, device.device)
                                : QStringLiteral("the plan names this device twice (also as %1)").arg(claimed[index]);
            run.early.push_back(std::move(outcome));
            continue;
        }
        claimed[index] = device.device;
        DeviceTask task;
        task.named = device.device;
        task.device = *context.search().deviceAt(index);
        // The plan's password first; only a device without one asks the options or the terminal.
        task.password = toLatin1(device.password ? *device.password : context.setupPassword());
        task.window = device.window;
        task.set = device.set;
        run.jobs.push_back(
            std::make_unique<DeviceJob>(context.state(), std::move(task), settings, context.mask(), context.wireLog()));
        run.order.push_back(i);
    }
    return run;
}

// --backup: every device of the plan read and changed as apply would but nothing sent, then the undo plan
// of what would change written. The failure when it could not be written (or a signal came): then nothing
// is sent at all. When no device would be sent anything, no backup is written and an existing one stays.
std::optional<Failure> writePlanBackup(CliContext& context, const FleetPlan& plan, const std::vector<int>& found,
                                       JobSettings settings, int parallel, const QString& path)
{
    settings.mode = JobSettings::Mode::DryRun;
    settings.verify = false;
    const FleetRun reading = planJobs(context, plan, found, settings);
    runDeviceJobs(reading.jobs, parallel, {});
    if (Interruption::signal() != 0)
        return Failure{static_cast<ExitCode>(Interruption::exitCode()),
                       QStringLiteral("interrupted while the backup was made; nothing was sent")};
    std::vector<QJsonObject> devices;
    bool holdsSecrets = false;
    for (std::size_t j = 0; j < reading.jobs.size(); ++j) {
        const DeviceOutcome& o = reading.jobs[j]->outcome();
        if (o.result != FleetResult::WouldUpdate || !o.plan || !o.form)
            continue;
        const PlanDevice& device = plan.devices[reading.order[j]];
        // Asked as planJobs asks it: the plan's password, else the options'.
        const std::string password = toLatin1(device.password ? *device.password : context.setupPassword());
        const BackupEntry entry = backupEntry({o.macText, &o.form->window(), o.request.reply, o.request.dispatch.portCount, password, *o.plan});
        devices.push_back(entry.json);
        holdsSecrets = holdsSecrets || entry.holdsSecrets;
    }
    if (devices.empty())
        return std::nullopt;
    if (const std::optional<QString> failed = writeBackup(path, devices))
        return Failure{kExitUsage, *failed + QStringLiteral("; nothing was sent")};
    if (holdsSecrets)
        context.output().note(backupSecretsNote(path));
    return std::nullopt;
}

JobSettings jobSettings(const CliContext& context, const QCommandLineParser& parser)
{
    JobSettings settings;
    settings.mode = isSet(parser, kOptDryRun) ? JobSettings::Mode::DryRun : JobSettings::Mode::Apply;
    settings.force = isSet(parser, kOptForce);
    settings.verify = isSet(parser, kOptVerify);
    settings.timeoutMs = context.options().timeoutMs;
    return settings;
}

} // namespace

CommandResult runApply(CliContext& context, const QCommandLineParser& parser)
{
    const QStringList operands = parser.positionalArguments();
    const Expected<int> parallel = parallelValue(parser);
    if (!parallel)
        return parallel.failure();
    if (operands.front() == QLatin1String("-") && context.options().passwordFromStdin)
        return Failure{kExitUsage,
                       QStringLiteral("the plan and --password-file cannot both be read from standard input")};
    const Expected<FleetPlan> plan = readPlan(operands.front(), valueOf(parser, kOptFormat));
    if (!plan)
        return plan.failure();
    // A backup path that cannot take the backup is refused before any device is asked anything.
    const Expected<std::optional<QString>> backupPath = backupOption(parser);
    if (!backupPath)
        return backupPath.failure();
    const bool backup = backupPath->has_value();
    const Expected<std::vector<int>> found = context.resolveAll(selectorsOf(*plan));
    if (!found)
        return found.failure();

    // Text lines come as the devices are settled; the JSON array follows the plan's order at the end.
    // From here on a signal stops the run instead of ending the process, so that every device is reported.
    const Interruption interruption;
    Output& out = context.output();
    const JobSettings settings = jobSettings(context, parser);
    // A dry run sends nothing: it neither needs a backup nor replaces one.
    if (backup && settings.mode == JobSettings::Mode::Apply)
        if (const std::optional<Failure> failed =
                writePlanBackup(context, *plan, *found, settings, *parallel, **backupPath))
            return failed;
    const FleetRun run = planJobs(context, *plan, *found, settings);
    if (!out.json())
        out.text(outcomeHeader());
    for (const DeviceOutcome& outcome : run.early)
        if (!out.json())
            out.text(outcomeLine(context, outcome));
    runDeviceJobs(run.jobs, *parallel, [&](DeviceJob& job) {
        DeviceOutcome& o = job.outcome();
        if (o.verify && o.form)
            maskVerifiedSecrets(context, o.form->window(), *o.verify);
        if (!out.json())
            out.text(outcomeLine(context, job.outcome()));
    });
    const std::vector<const DeviceOutcome*> results = run.byPlan(plan->devices.size());
    if (out.json())
        out.document(outcomesJson(context, results));
    if (Interruption::signal() != 0)
        return Failure{static_cast<ExitCode>(Interruption::exitCode()),
                       QStringLiteral("interrupted by signal %1: no device was started after it; each device's "
                                      "result says what it got")
                           .arg(Interruption::signal())};
    if (!std::all_of(results.begin(), results.end(), [](const DeviceOutcome* o) { return o->succeeded(); }))
        return Failure{kExitSomeFailed, {}};
    return std::nullopt;
}

} // namespace lv
