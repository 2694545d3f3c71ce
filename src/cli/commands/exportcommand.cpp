// SPDX-License-Identifier: Apache-2.0
// linkvane-cli export.

#include "commandlist.h"
#include "optionnames.h"

#include "backup.h"
#include "clicontext.h"
#include "csvplan.h"
#include "devicejob.h"
#include "fleetrun.h"
#include "latin1.h"
#include "operands.h"
#include "outcometexts.h"
#include "targets.h"
#include "valuetemplate.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace lv {

namespace {

// The devices of one search that the selection matches (every device without one), by list index; one
// in conflict (another host sends its answer, its MAC answers in two ways) is named on standard error
// and left out, exit 2 in `refused`. With --all in the order of the search, by selection in MAC order.
Expected<std::vector<const FoundDevice*>>
reachedDevices(CliContext& context, const std::optional<DeviceSelection>& selection, ExitCode& refused)
{
    if (const std::optional<Failure> failed = context.runSearch())
        return *failed;
    std::vector<ReachedDevice> reached = reachedDevices(context.found(), selection.value_or(DeviceSelection{}));
    if (!selection)
        std::sort(reached.begin(), reached.end(), [](const auto& a, const auto& b) { return a.device < b.device; });
    std::vector<const FoundDevice*> found;
    for (const ReachedDevice& device : reached) {
        if (!device.conflict.isEmpty()) {
            context.output().error(device.conflict);
            refused = kExitNotFound;
            continue;
        }
        found.push_back(device.device);
    }
    return found;
}

// Says which named devices did not answer the search.
ExitCode reportMissing(CliContext& context, const QStringList& names, const std::vector<const FoundDevice*>& found)
{
    ExitCode code = kExitDone;
    for (std::size_t i = 0; i < found.size(); ++i)
        if (!found[i]) {
            context.output().error(notFoundText(Audience::Cli, names[static_cast<qsizetype>(i)]));
            code = kExitNotFound;
        }
    return code;
}

// A loading job for each device found; `names` as the command line names them (empty with --all).
DeviceJobs loadJobs(CliContext& context, const QStringList& names, const std::vector<const FoundDevice*>& found)
{
    DeviceJobs jobs;
    for (std::size_t i = 0; i < found.size(); ++i)
        if (found[i])
            jobs.push_back(loadJob(context, *found[i], names.isEmpty() ? QString() : names[static_cast<qsizetype>(i)]));
    return jobs;
}

// The plan's devices of the jobs that loaded (as JSON entries, or as CSV rows when `csv` is given); a
// line on standard error for each that did not, and the exit code that makes. A plan by roles names no
// window: it is meant for devices of any family.
ExitCode collectDevices(CliContext& context, const DeviceJobs& jobs, bool all, bool roles, QJsonArray& devices,
                        std::vector<CsvPlanRow>* csv)
{
    ExitCode code = kExitDone;
    for (const auto& job : jobs) {
        const DeviceOutcome& outcome = job->outcome();
        const QString who = outcome.named.isEmpty() ? fromLatin1(outcome.macText) : outcome.named;
        if (outcome.result() != FleetResult::Loaded) {
            // A device without a window has nothing to export; with --all that is no fault.
            const bool windowless = outcome.result() == FleetResult::Refused;
            context.output().error(who + QStringLiteral(": ") + outcome.error());
            if (!(all && windowless))
                code = std::max(code, windowless ? kExitUnknownValue : kExitNoAnswer);
            continue;
        }
        if (csv)
            csv->push_back(exportRow(outcome, context.mask()));
        else
            devices.append(exportEntry(outcome, context.mask(), roles));
    }
    return code;
}

} // namespace

CommandResult runExport(CliContext& context, const QCommandLineParser& parser)
{
    const QStringList names = parser.positionalArguments();
    const bool all = isSet(parser, kOptAll);
    const Expected<std::optional<DeviceSelection>> select = selectOption(parser);
    if (!select)
        return select.failure();
    // Chosen one way: by name, every device, or by a selection.
    if ((names.isEmpty() ? 0 : 1) + (all ? 1 : 0) + (select->has_value() ? 1 : 0) != 1)
        return Failure{kExitUsage, QStringLiteral("export takes one or more DEVICE, --all or --select EXPR")};
    const Expected<int> parallel = parallelValue(parser);
    if (!parallel)
        return parallel.failure();
    const Expected<std::vector<DeviceSelector>> selectors = deviceSelectorOperands(names);
    if (!selectors)
        return selectors.failure();

    // One search for all of them.
    ExitCode refused = kExitDone;
    const Expected<std::vector<const FoundDevice*>> found =
        all || *select ? reachedDevices(context, *select, refused) : context.resolveAll(*selectors);
    if (!found)
        return found.failure();
    const ExitCode missing = std::max(refused, reportMissing(context, names, *found));
    DeviceJobs jobs = loadJobs(context, names, *found);
    context.runJobs(jobs, *parallel);
    if (context.options().stats)
        context.noteRunStats(jobs.size(), *parallel);
    // A selection by model is judged once each device said what it is.
    if (*select && (*select)->needsModel())
        std::erase_if(jobs, [&](const std::unique_ptr<DeviceJob>& job) {
            const ConfigRequestResult& request = job->outcome().request();
            return request.valid() && !(*select)->matchesModel(request.modelVersion.model);
        });
    QJsonArray devices;
    // A CSV plan names the fields by role where they have one, so that its columns hold the same setting
    // for every family, and has no window column.
    const bool csv = isSet(parser, kOptCsv);
    std::vector<CsvPlanRow> rows;
    const ExitCode code = std::max(missing, collectDevices(context, jobs, all || select->has_value(),
                                                           isSet(parser, kOptRoles), devices, csv ? &rows : nullptr));
    if (csv) {
        const QByteArray text = csvPlanText(rows);
        context.output().documentBytes(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    } else {
        context.output().document(QJsonObject{{QStringLiteral("devices"), devices}});
    }
    if (code != kExitDone)
        return Failure{code, {}};
    return std::nullopt;
}

Command exportCommand()
{
    return {QStringLiteral("export"),
            QStringLiteral("Write a plan holding the settings of devices"),
            QStringLiteral("Writes a plan for apply (JSON on standard output): for every device its MAC text, "
                           "window and each field it can set, by tag, lists by their labels. Secrets are "
                           "written as *** (left as they are by apply) unless --show-secrets."),
            {{QStringLiteral("DEVICE"),
              QStringLiteral("MAC text (00-50-C2-01-02-03), MAC field (0.80.194.1.2.3) or IP address; one or more, "
                             "or --all"),
              QStringLiteral("DEVICE..."), 0, -1}},
            {{kOptAll.name(), QStringLiteral("Every device that answers the search (after --wait).")},
             {kOptParallel.name(), QStringLiteral("Ask up to N devices for their configuration at once (16)."),
              QStringLiteral("N")},
             {kOptSelect.name(),
              QStringLiteral("Only the devices that match EXPR: model=GLOB, id=GLOB, ip=CIDR or ip=FIRST-LAST, several "
                             "joined by \",\" must all match."),
              QStringLiteral("EXPR")},
             {kOptRoles.name(),
              QStringLiteral("Name each field by its role (ip, deviceId, port1.baud, ...) where it has one, by tag "
                             "otherwise, and leave out \"window\", so that the plan applies to devices of any "
                             "window family.")},
             {kOptCsv.name(),
              QStringLiteral("Write the plan as CSV for a spreadsheet: a header row (device, then the fields by role "
                             "where they have one, by tag otherwise) and a row a device; apply reads it back.")}},
            runExport};
}

} // namespace lv
