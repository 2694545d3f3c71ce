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
#include "fleetrun.h"
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
    return o.form() ? &o.form()->window() : nullptr;
}

// A result whose Update was sent and confirmed, or would be: its changes are listed.
bool listsChanges(const DeviceOutcome& o)
{
    const FleetResult result = o.result();
    const bool changed =
        result == FleetResult::WouldUpdate || result == FleetResult::Updated || result == FleetResult::Mismatch;
    return changed && o.plan();
}

QJsonObject outcomeJson(const CliContext& context, const DeviceOutcome& o)
{
    const std::optional<std::string> sent = o.sent();
    QJsonObject json{{QStringLiteral("device"), o.named},
                     {QStringLiteral("mac"), orNull(fromLatin1(o.macText))},
                     {QStringLiteral("window"), orNull(fromLatin1(o.window()))},
                     {QStringLiteral("result"), resultText(o.result())},
                     {QStringLiteral("sent"), sent ? context.maskedJson(*sent) : QJsonValue()},
                     {QStringLiteral("error"), orNull(o.error())},
                     {QStringLiteral("skipped"), QJsonArray::fromStringList(o.skipped())},
                     {QStringLiteral("tries"), o.tries()}};
    // The model as the device named it, for a plan that selects by model.
    const std::string& model = o.request().modelVersion.model;
    json.insert(QStringLiteral("model"), model.empty() ? QJsonValue() : jsonText(model));
    // Each field the Update changes (or would), as loaded and new.
    if (listsChanges(o))
        json.insert(QStringLiteral("fields"), changesJson(context, *o.plan(), windowOf(o)));
    if (o.steps.verify)
        json.insert(QStringLiteral("verify"), verifyJson(context, *o.steps.verify, windowOf(o)));
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
    const FleetResult result = o.result();
    const std::optional<std::string> sent = o.sent();
    const QString error = o.error();
    const QStringList skipped = o.skipped();
    const std::string window = o.window();
    const std::optional<VerifyResult>& verify = o.steps.verify;
    QString line = outcomeColumns(printableName(o.named), resultText(result),
                                  o.macText.empty() ? QStringLiteral("-") : fromLatin1(o.macText),
                                  window.empty() ? QStringLiteral("-") : fromLatin1(window));
    if (sent)
        line += (result == FleetResult::WouldUpdate ? QStringLiteral("would send ") : QStringLiteral("sent ")) +
                context.maskedText(*sent);
    // A mismatch says so in its result column already; the fields that differ follow below.
    if (verify && result != FleetResult::Mismatch)
        line += verify->outcome == VerifyExchange::Outcome::NoAnswer
                    ? QStringLiteral("; the check got no answer")
                    : QStringLiteral("; ") + verifyResultName(verify->outcome);
    if (!error.isEmpty())
        line += (sent ? QStringLiteral("; ") : QString()) + error;
    if (!skipped.isEmpty())
        line += (sent || !error.isEmpty() ? QStringLiteral("; ") : QString()) + QStringLiteral("skipped: ") +
                printableName(skipped.join(QStringLiteral(", ")));
    if (o.tries() > 1)
        line += (line.endsWith(QStringLiteral("  ")) ? QString() : QStringLiteral("; ")) +
                QStringLiteral("after %1 tries").arg(o.tries());
    line = line.trimmed() + QLatin1Char('\n');
    if (result == FleetResult::WouldUpdate && o.plan())
        line += changesText(context, *o.plan(), windowOf(o), QStringLiteral("    "));
    if (verify)
        line += mismatchText(context, *verify, windowOf(o), QStringLiteral("    "));
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

// --backup: every device of the plan read and changed as apply would but nothing sent, then the undo plan
// of what would change written. The failure when it could not be written (or a signal came): then nothing
// is sent at all. When no device would be sent anything, no backup is written and an existing one stays.
std::optional<Failure> writePlanBackup(CliContext& context, const FleetSession& session, const Plan& plan,
                                       const PlanTargets& targets, JobSettings settings, const PrivateFile& file)
{
    settings.mode = JobSettings::Mode::DryRun;
    settings.verify = false;
    const FleetRun reading = planJobs(session, plan, targets, settings);
    session.run(reading.jobs, {});
    if (Interruption::signal() != 0)
        return Failure{static_cast<ExitCode>(Interruption::exitCode()),
                       QStringLiteral("interrupted while the backup was made; nothing was sent")};
    const std::vector<BackupEntry> devices = undoEntries(reading, plan, session.password);
    if (devices.empty())
        return std::nullopt;
    if (const std::optional<QString> failed = writeBackup(file, devices))
        return Failure{kExitUsage, *failed + QStringLiteral("; nothing was sent")};
    if (holdSecrets(devices))
        context.output().note(backupSecretsNote(file.path()));
    return std::nullopt;
}

JobSettings jobSettings(const QCommandLineParser& parser)
{
    JobSettings settings;
    settings.mode = isSet(parser, kOptDryRun) ? JobSettings::Mode::DryRun : JobSettings::Mode::Apply;
    settings.force = isSet(parser, kOptForce);
    settings.verify = isSet(parser, kOptVerify);
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
    // One search, for the whole wait, for named and selected devices alike.
    if (const std::optional<Failure> failed = context.runSearch())
        return failed;
    const FleetSession session = context.fleetSession(*parallel);
    const Expected<PlanTargets> targets = planTargets(session, *plan, context.found(), *narrow);
    if (!targets)
        return targets.failure();

    // The text lines follow the plan's order, each written once it and every line before it are settled;
    // the JSON array follows the plan's order too, at the end.
    // From here on a signal stops the run instead of ending the process, so that every device is reported.
    const Interruption interruption;
    Output& out = context.output();
    const JobSettings settings = jobSettings(parser);
    // A dry run sends nothing: it neither needs a backup nor replaces one.
    if (backup->has_value() && settings.mode == JobSettings::Mode::Apply)
        if (const std::optional<Failure> failed =
                writePlanBackup(context, session, *plan, *targets, settings, **backup))
            return failed;
    const FleetRun run = planJobs(session, *plan, *targets, settings);
    if (!out.json())
        out.text(outcomeHeader());
    std::size_t written = 0;
    const auto writeSettled = [&] {
        for (; written < run.targets.size() && run.ended(written); ++written)
            if (!out.json())
                out.text(outcomeLine(context, run.outcome(written)));
    };
    writeSettled();
    session.run(run.jobs, [&](DeviceJob& job) {
        DeviceOutcome& o = job.outcome();
        if (o.steps.verify && o.form())
            maskVerifiedSecrets(context, o.form()->window(), *o.steps.verify);
        writeSettled();
    });
    const std::vector<const DeviceOutcome*> results = run.byPlan();
    if (out.json())
        out.document(outcomesJson(context, results));
    const QString summary = fleetSummaryText(runCounts(results), targets->found.leftOut, context.sinceStartMs());
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
