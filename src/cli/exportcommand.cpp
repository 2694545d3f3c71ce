// SPDX-License-Identifier: Apache-2.0
// linkvane-cli export.

#include "commands.h"
#include "optionnames.h"

#include "backupplan.h"
#include "clicontext.h"
#include "devicejob.h"
#include "latin1.h"
#include "operands.h"
#include "outcometexts.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>

namespace lv {

// Every field the device's window lets the operator set, as it shows it: text as it stands, a list by
// the label of its entry ("#N" when the label names an earlier entry too). A list showing no entry is
// left out: no value typed could select nothing. With `roles` a field that has a role is named by it.
QJsonObject settableFields(const SetupForm& form, const SecretMask& mask, bool roles)
{
    const WindowDef& window = form.window();
    QJsonObject set;
    for (const FieldDef& field : window.fields) {
        if (field.tag.empty() || !field.enabled || !window.sendsTag(field.tag) || !form.readsField(field))
            continue;
        const QString tag = fromLatin1(roles && !field.role.empty() ? field.role : field.tag);
        if (field.kind == ControlKind::ComboBox) {
            const int index = form.value(field.control).index;
            if (index < 0 || index >= static_cast<int>(field.entries.size()))
                continue;
            const std::string& label = field.entries[static_cast<std::size_t>(index)];
            set.insert(tag,
                       listIndexForValue(field, label) == index ? fromLatin1(label) : QStringLiteral("#%1").arg(index));
        } else if (field.kind == ControlKind::TextBox) {
            const std::string text = form.currentText(field);
            const bool hide = field.secret && !text.empty() && mask.enabled();
            set.insert(tag, hide ? fromLatin1(kMaskedSecret) : fromLatin1(text));
        }
    }
    return set;
}

namespace {

// Every device that answered one search, by its list index.
// Every device that answered; one whose answer came from two senders is named on standard error and
// left out (exit 2 in `refused`).
Expected<std::vector<int>> everyDevice(CliContext& context, ExitCode& refused)
{
    if (const std::optional<Failure> failed = context.runSearch())
        return *failed;
    std::vector<int> found;
    for (int i = 0; i < static_cast<int>(context.search().devices().size()); ++i) {
        if (context.search().answerShared(i)) {
            context.output().error(sharedAnswerText(context.macTextOf(i), context.search().sendersOf(i)));
            refused = kExitNotFound;
            continue;
        }
        found.push_back(i);
    }
    return found;
}

// Says which named devices did not answer the search.
ExitCode reportMissing(CliContext& context, const QStringList& names, const std::vector<int>& found)
{
    ExitCode code = kExitDone;
    for (std::size_t i = 0; i < found.size(); ++i)
        if (found[i] < 0) {
            context.output().error(notFoundText(Audience::Cli, names[static_cast<qsizetype>(i)]));
            code = kExitNotFound;
        }
    return code;
}

// A loading job for each device found; `names` as the command line names them (empty with --all).
std::vector<std::unique_ptr<DeviceJob>> loadJobs(CliContext& context, const QStringList& names,
                                                 const std::vector<int>& found)
{
    const std::string password = toLatin1(context.setupPassword());
    std::vector<std::unique_ptr<DeviceJob>> jobs;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (found[i] < 0)
            continue;
        DeviceTask task;
        task.named = names.isEmpty() ? QString() : names[static_cast<qsizetype>(i)];
        task.device = *context.search().deviceAt(found[i]);
        task.password = password;
        JobSettings settings;
        settings.mode = JobSettings::Mode::Load;
        settings.timeoutMs = context.options().timeoutMs;
        jobs.push_back(
            std::make_unique<DeviceJob>(context.state(), std::move(task), settings, context.mask(), context.wireLog()));
    }
    return jobs;
}

// The plan's devices of the jobs that loaded; a line on standard error for each that did not, and the
// exit code that makes. A plan by roles names no window: it is meant for devices of any family.
ExitCode collectDevices(CliContext& context, const std::vector<std::unique_ptr<DeviceJob>>& jobs, bool all,
                        bool roles, QJsonArray& devices)
{
    ExitCode code = kExitDone;
    for (const auto& job : jobs) {
        DeviceOutcome& outcome = job->outcome();
        const QString who = outcome.named.isEmpty() ? fromLatin1(outcome.macText) : outcome.named;
        if (outcome.result != FleetResult::Loaded) {
            // A device without a window has nothing to export; with --all that is no fault.
            const bool windowless = outcome.result == FleetResult::Refused;
            context.output().error(who + QStringLiteral(": ") + outcome.error);
            if (!(all && windowless))
                code = std::max(code, windowless ? kExitUnknownValue : kExitNoAnswer);
            continue;
        }
        QJsonObject device{{QStringLiteral("device"), fromLatin1(outcome.macText)},
                           {QStringLiteral("set"), settableFields(*outcome.form, context.mask(), roles)}};
        if (!roles)
            device.insert(QStringLiteral("window"), fromLatin1(outcome.window));
        devices.append(device);
    }
    return code;
}

} // namespace

CommandResult runExport(CliContext& context, const QCommandLineParser& parser)
{
    const QStringList names = parser.positionalArguments();
    const bool all = isSet(parser, kOptAll);
    if (all == !names.isEmpty())
        return Failure{kExitUsage, QStringLiteral("export takes one or more DEVICE, or --all")};
    const Expected<int> parallel = parallelValue(parser);
    if (!parallel)
        return parallel.failure();
    const Expected<std::vector<DeviceSelector>> selectors = deviceSelectorOperands(names);
    if (!selectors)
        return selectors.failure();

    // One search for all of them.
    ExitCode refused = kExitDone;
    const Expected<std::vector<int>> found = all ? everyDevice(context, refused) : context.resolveAll(*selectors);
    if (!found)
        return found.failure();
    const ExitCode missing = std::max(refused, reportMissing(context, names, *found));
    const std::vector<std::unique_ptr<DeviceJob>> jobs = loadJobs(context, names, *found);
    runDeviceJobs(jobs, *parallel, {});
    QJsonArray devices;
    const ExitCode code = std::max(missing, collectDevices(context, jobs, all, isSet(parser, kOptRoles), devices));
    context.output().document(QJsonObject{{QStringLiteral("devices"), devices}});
    if (code != kExitDone)
        return Failure{code, {}};
    return std::nullopt;
}

} // namespace lv
