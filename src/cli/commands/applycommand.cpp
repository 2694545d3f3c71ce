// SPDX-License-Identifier: Apache-2.0
// linkvane-cli apply.

#include "commandlist.h"
#include "optionnames.h"

#include "backup.h"
#include "backupoption.h"
#include "clicontext.h"
#include "csvplan.h"
#include "devicejob.h"
#include "fieldreport.h"
#include "fleetreport.h"
#include "inputfile.h"
#include "interruption.h"
#include "latin1.h"
#include "operands.h"
#include "outcometexts.h"
#include "targets.h"
#include "valuetemplate.h"

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
                     {QStringLiteral("skipped"), QJsonArray::fromStringList(o.skipped)},
                     {QStringLiteral("tries"), o.tries}};
    // The model as the device named it, for a plan that selects by model.
    json.insert(QStringLiteral("model"),
                o.request.modelVersion.model.empty() ? QJsonValue() : jsonText(o.request.modelVersion.model));
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
    if (o.tries > 1)
        line += (line.endsWith(QStringLiteral("  ")) ? QString() : QStringLiteral("; ")) +
                QStringLiteral("after %1 tries").arg(o.tries);
    line = line.trimmed() + QLatin1Char('\n');
    if (o.result == FleetResult::WouldUpdate && o.plan)
        line += changesText(context, *o.plan, windowOf(o), QStringLiteral("    "));
    if (o.verify)
        line += mismatchText(context, *o.verify, windowOf(o), QStringLiteral("    "));
    return line;
}

// The plan in the file, read and checked before anything goes on the wire. `format` is --format's value.
Expected<Plan> readPlanFile(const QString& path, const QString& format)
{
    const std::optional<PlanFormat> as = planFormatFor(path, format);
    if (!as)
        return Failure{kExitUsage, QStringLiteral("--format takes json or csv, not \"%1\"").arg(printableName(format))};
    QString error;
    const std::optional<QByteArray> bytes = readInputFile(path, kMaxPlanBytes, &error);
    if (!bytes)
        return Failure{kExitUsage, error};
    if (std::optional<Plan> plan = readPlan(*bytes, *as, &error))
        return std::move(*plan);
    return Failure{kExitUsage, QStringLiteral("%1: %2").arg(
                                   path == QLatin1String("-") ? QStringLiteral("standard input") : path, error)};
}

// A device an entry of the plan reaches, or the outcome of one settled without a job.
struct FleetTarget {
    std::size_t entry = 0;               // the plan entry
    const FoundDevice* device = nullptr; // the device the search found; null when settled already
    int n = 1;                           // its position among the devices its entry reaches
    std::optional<DeviceOutcome> early;  // settled without a job: not found, named twice, no model
};

struct FleetTargets {
    std::vector<FleetTarget> targets; // in the plan's order, an entry's devices in MAC order
    int leftOut = 0;                  // devices the plan names that --select leaves out
};

// The outcome of a target settled without a job; a failed model probe's is the probe's own.
DeviceOutcome earlyOutcome(const Settled& settled, const std::map<const FoundDevice*, const DeviceOutcome*>& probed)
{
    DeviceOutcome outcome;
    outcome.named = settled.named;
    outcome.error = settled.error;
    outcome.macText = settled.macText;
    switch (settled.kind) {
    case Settled::Kind::NotFound:
        outcome.result = FleetResult::NotFound;
        break;
    case Settled::Kind::Refused:
        outcome.result = FleetResult::Refused;
        break;
    case Settled::Kind::ProbeFailed: {
        const DeviceOutcome& probe = *probed.at(settled.probed);
        outcome.result = probe.result;
        outcome.error = probe.error;
        outcome.macText = probe.macText;
        outcome.tries = probe.tries;
        break;
    }
    }
    return outcome;
}

// Searches (until --wait is over) and says what each entry reaches. `narrow` (--select) must match too,
// for named devices as well. The models a selection by model needs are asked first, all at once, up to
// `parallel`.
Expected<FleetTargets> fleetTargets(CliContext& context, const Plan& plan, const std::optional<DeviceSelection>& narrow,
                                    int parallel)
{
    // One search, for the whole wait, for named and selected devices alike.
    if (const std::optional<Failure> failed = context.runSearch())
        return *failed;
    const Expected<Reach> reached = reach(plan, context.found(), narrow);
    if (!reached)
        return reached.failure();
    std::vector<std::unique_ptr<DeviceJob>> probes;
    for (const Reach::Probe& probe : reached->probes)
        probes.push_back(loadJob(context, *probe.device, {}, probe.password));
    if (!probes.empty())
        runDeviceJobs(probes, parallel, {});
    std::map<const FoundDevice*, const DeviceOutcome*> probed;
    for (std::size_t i = 0; i < probes.size(); ++i)
        probed[reached->probes[i].device] = &probes[i]->outcome();
    const Targets found = targets(plan, *reached, [&probed](const FoundDevice& device) -> const ModelVersion* {
        const DeviceOutcome& probe = *probed.at(&device);
        return probe.request.outcome == ConfigRequest::Outcome::Answered ? &probe.request.modelVersion : nullptr;
    });
    FleetTargets result;
    result.leftOut = found.leftOut;
    for (const Target& target : found.targets)
        result.targets.push_back(
            {target.entry, target.device, target.n,
             target.settled ? std::optional<DeviceOutcome>(earlyOutcome(*target.settled, probed)) : std::nullopt});
    return result;
}

// The plan's devices after the search: a job for each device an entry reaches, and an outcome at once
// for those settled by the search, in the plan's order.
struct FleetRun {
    std::vector<FleetTarget> targets;
    std::vector<std::unique_ptr<DeviceJob>> jobs;
    std::vector<int> jobOf; // per target, its job; -1 when it was settled early

    const DeviceOutcome& outcome(std::size_t target) const
    {
        return jobOf[target] >= 0 ? jobs[static_cast<std::size_t>(jobOf[target])]->outcome() : *targets[target].early;
    }
    bool settled(std::size_t target) const
    {
        return jobOf[target] < 0 || jobs[static_cast<std::size_t>(jobOf[target])]->done();
    }
    std::vector<const DeviceOutcome*> byPlan() const
    {
        std::vector<const DeviceOutcome*> out;
        for (std::size_t t = 0; t < targets.size(); ++t)
            out.push_back(&outcome(t));
        return out;
    }
};

// The entries of a device's own set with their templates filled in for it.
SetEntries expanded(const SetEntries& set, const TemplateValues& values)
{
    SetEntries out = set;
    for (SetEntry& entry : out)
        entry.value = expandTemplates(entry.value, values);
    return out;
}

FleetRun planJobs(CliContext& context, const Plan& plan, const FleetTargets& targets, const JobSettings& settings)
{
    FleetRun run;
    for (const FleetTarget& target : targets.targets) {
        run.targets.push_back(FleetTarget{target.entry, target.device, target.n, std::nullopt});
        if (target.early) {
            DeviceOutcome copy;
            copy.named = target.early->named;
            copy.macText = target.early->macText;
            copy.result = target.early->result;
            copy.error = target.early->error;
            copy.tries = target.early->tries;
            run.targets.back().early = std::move(copy);
            run.jobOf.push_back(-1);
            continue;
        }
        const PlanEntry& device = plan.entries[target.entry];
        const SearchReply& answer = target.device->answer;
        DeviceTask task;
        task.named = device.selection ? fromLatin1(answer.macText) : device.device;
        task.device = target.device->ref;
        task.macText = answer.macText;
        // The plan's password first; only a device without one asks the options or the terminal.
        task.password = toLatin1(device.password ? *device.password : context.setupPassword());
        task.window = device.window;
        task.set = expanded(device.set, {target.n, answer.macText, answer.deviceId});
        run.jobOf.push_back(static_cast<int>(run.jobs.size()));
        run.jobs.push_back(
            std::make_unique<DeviceJob>(context.state(), std::move(task), settings, context.mask(), context.wireLog()));
    }
    return run;
}

// --backup: every device of the plan read and changed as apply would but nothing sent, then the undo plan
// of what would change written. The failure when it could not be written (or a signal came): then nothing
// is sent at all. When no device would be sent anything, no backup is written and an existing one stays.
std::optional<Failure> writePlanBackup(CliContext& context, const Plan& plan, const FleetTargets& targets,
                                       JobSettings settings, int parallel, const PrivateFile& file)
{
    settings.mode = JobSettings::Mode::DryRun;
    settings.verify = false;
    const FleetRun reading = planJobs(context, plan, targets, settings);
    runDeviceJobs(reading.jobs, parallel, {});
    if (Interruption::signal() != 0)
        return Failure{static_cast<ExitCode>(Interruption::exitCode()),
                       QStringLiteral("interrupted while the backup was made; nothing was sent")};
    std::vector<QJsonObject> devices;
    bool holdsSecrets = false;
    for (std::size_t t = 0; t < reading.targets.size(); ++t) {
        const DeviceOutcome& o = reading.outcome(t);
        if (o.result != FleetResult::WouldUpdate || !o.plan || !o.form)
            continue;
        const PlanEntry& device = plan.entries[reading.targets[t].entry];
        // Asked as planJobs asks it: the plan's password, else the options'.
        const std::string password = toLatin1(device.password ? *device.password : context.setupPassword());
        const BackupEntry entry = backupEntry(
            {o.macText, &o.form->window(), o.request.reply, o.request.dispatch.portCount, password, *o.plan});
        devices.push_back(entry.json);
        holdsSecrets = holdsSecrets || entry.holdsSecrets;
    }
    if (devices.empty())
        return std::nullopt;
    if (const std::optional<QString> failed = writeBackup(file, devices))
        return Failure{kExitUsage, *failed + QStringLiteral("; nothing was sent")};
    if (holdsSecrets)
        context.output().note(backupSecretsNote(file.path()));
    return std::nullopt;
}

JobSettings jobSettings(const CliContext& context, const QCommandLineParser& parser)
{
    JobSettings settings;
    settings.mode = isSet(parser, kOptDryRun) ? JobSettings::Mode::DryRun : JobSettings::Mode::Apply;
    settings.force = isSet(parser, kOptForce);
    settings.verify = isSet(parser, kOptVerify);
    settings.timeoutMs = context.options().timeoutMs;
    settings.retries = context.options().retries;
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
    const Expected<Plan> plan = readPlanFile(operands.front(), valueOf(parser, kOptFormat));
    if (!plan)
        return plan.failure();
    // A backup path that cannot take the backup is refused before any device is asked anything. Its folder is opened
    // here, before the search: a link put in place of it meanwhile cannot send the backup elsewhere.
    const Expected<std::optional<PrivateFile>> backup = backupOption(parser);
    if (!backup)
        return backup.failure();
    const Expected<std::optional<DeviceSelection>> narrow = selectOption(parser);
    if (!narrow)
        return narrow.failure();
    const Expected<FleetTargets> targets = fleetTargets(context, *plan, *narrow, *parallel);
    if (!targets)
        return targets.failure();

    // The text lines follow the plan's order, each written once it and every line before it are settled;
    // the JSON array follows the plan's order too, at the end.
    // From here on a signal stops the run instead of ending the process, so that every device is reported.
    const Interruption interruption;
    Output& out = context.output();
    const JobSettings settings = jobSettings(context, parser);
    // A dry run sends nothing: it neither needs a backup nor replaces one.
    if (backup->has_value() && settings.mode == JobSettings::Mode::Apply)
        if (const std::optional<Failure> failed =
                writePlanBackup(context, *plan, *targets, settings, *parallel, **backup))
            return failed;
    const FleetRun run = planJobs(context, *plan, *targets, settings);
    if (!out.json())
        out.text(outcomeHeader());
    std::size_t written = 0;
    const auto writeSettled = [&] {
        for (; written < run.targets.size() && run.settled(written); ++written)
            if (!out.json())
                out.text(outcomeLine(context, run.outcome(written)));
    };
    writeSettled();
    runDeviceJobs(run.jobs, *parallel, [&](DeviceJob& job) {
        DeviceOutcome& o = job.outcome();
        if (o.verify && o.form)
            maskVerifiedSecrets(context, o.form->window(), *o.verify);
        writeSettled();
    });
    const std::vector<const DeviceOutcome*> results = run.byPlan();
    if (out.json())
        out.document(outcomesJson(context, results));
    const QString summary = fleetSummary(results, targets->leftOut, context.sinceStartMs());
    if (out.json())
        out.note(summary + QLatin1Char('\n'));
    else
        out.text(summary + QLatin1Char('\n'));
    if (context.options().stats)
        context.noteRunStats(run.jobs.size(), *parallel);
    if (Interruption::signal() != 0)
        return Failure{static_cast<ExitCode>(Interruption::exitCode()),
                       QStringLiteral("interrupted by signal %1: no device was started after it; each device's "
                                      "result says what it got")
                           .arg(Interruption::signal())};
    if (!std::all_of(results.begin(), results.end(), [](const DeviceOutcome* o) { return o->succeeded(); }))
        return Failure{kExitSomeFailed, {}};
    return std::nullopt;
}

Command applyCommand()
{
    return {
        QStringLiteral("apply"),
        QStringLiteral("Configure every device of a plan"),
        QStringLiteral(
            "Configures every device of PLAN.json (or PLAN.csv) exactly as its window's Update would: one search, "
            "then up to --parallel devices at once, each asked for its configuration with its password, loaded, "
            "changed as the plan says and sent only what differs. Per device, in the plan's order: updated, "
            "unchanged (no set command sent), mismatch (--verify found a field other than sent), not found, no "
            "answer, refused (a tag, list label or port its window lacks: nothing is set) or interrupted (Ctrl-C "
            "came first); then a line that counts them. An entry may \"select\" devices instead of naming one, and "
            "values may number them: {n}, {n:03}, {n+10}, {mac}, {id}. Exit 0 when every device is updated or "
            "unchanged, 5 otherwise.\n\n"
            "Plan:\n"
            "  {\"defaults\": {\"password\": \"\", \"set\": {\"port1.baud\": \"115200\"}},\n"
            "   \"devices\": [{\"device\": \"00-50-C2-00-00-03\", \"set\": {\"deviceId\": \"Pump-7\"}},\n"
            "               {\"device\": \"192.168.1.41\", \"password\": \"secret\",\n"
            "                \"set\": {\"COM2_Baud\": \"19200\"}}]}\n"
            "A device is named by MAC text, MAC field or IP address; a field by its tag or its role (linkvane-cli "
            "help set lists the roles); its password and set entries override the defaults, which apply to each "
            "device only the fields its window has (the others are listed as skipped); \"window\" (as export writes "
            "it) refuses a device that opens another window. A secret "
            "field given as *** is left as it is. The password of a device is the plan's, else the one of "
            "--password, --password-file, LINKVANE_PASSWORD or the terminal."),
        {{QStringLiteral("PLAN.json"),
          QStringLiteral("the plan: a JSON file as export writes it (or CSV: see --format), - for standard "
                         "input (at most 64 MiB)"),
          QStringLiteral("PLAN.json")}},
        {{kOptParallel.name(), QStringLiteral("Up to N exchanges at once, each on its own socket (16)."),
          QStringLiteral("N")},
         {kOptSelect.name(),
          QStringLiteral("Only the devices that match EXPR: model=GLOB, id=GLOB, ip=CIDR or ip=FIRST-LAST, several "
                         "joined by \",\" must all match."),
          QStringLiteral("EXPR")},
         {kOptDryRun.name(),
          QStringLiteral("Search and ask every device for its configuration (both only read), then say what "
                         "would be sent; send no set command and change nothing on any device.")},
         {kOptForce.name(),
          QStringLiteral("Send the set command and the \"U \" commands also to devices that already match the plan.")},
         {kOptVerify.name(),
          QStringLiteral("After each device confirmed its Update, ask it for its configuration again (for up to "
                         "5 s, as a device may restart) and compare every field sent with what it reports; a "
                         "mismatch or no answer counts as failed (exit 5).")},
         {kOptBackup.name(),
          QStringLiteral("Before anything is sent, read every device of the plan and write to FILE (mode 0600, a "
                         "regular file or a new name) a plan that puts back what this one changes (each field as "
                         "loaded, passwords in clear). Nothing is sent if FILE cannot be written."),
          QStringLiteral("FILE")},
         {kOptFormat.name(),
          QStringLiteral("Read the plan as json or csv (a header row naming device, select, window, password "
                         "and the fields, then a row a device; an empty cell leaves the field alone). Default: "
                         "csv for a name ending in .csv, json otherwise."),
          QStringLiteral("FORMAT")}},
        runApply};
}

} // namespace lv
