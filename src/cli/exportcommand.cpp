// linkvane-cli export.

#include "exportcommand.h"

#include "clicontext.h"
#include "operands.h"
#include "devicejob.h"
#include "latin1.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>

namespace lv {

namespace {

const QCommandLineOption& allOption()
{
    static const QCommandLineOption option(QStringLiteral("all"),
                                           QStringLiteral("Every device that answers the search (after --wait)."));
    return option;
}

const QCommandLineOption& parallelOption()
{
    static const QCommandLineOption option(QStringLiteral("parallel"),
                                           QStringLiteral("Ask up to N devices for their configuration at once (16)."),
                                           QStringLiteral("N"));
    return option;
}

// Every field the device's window lets the operator set, as it shows it: text as it stands, a list by
// the label of its entry ("#N" when the label names an earlier entry too). A list showing no entry is
// left out: no value typed could select nothing.
QJsonObject settableFields(const SetupForm& form, const SecretMask& mask)
{
    const WindowDef& window = form.window();
    QJsonObject set;
    for (const FieldDef& field : window.fields) {
        if (field.tag.empty() || !field.enabled || !window.sendsTag(field.tag) || !form.readsField(field))
            continue;
        const QString tag = fromLatin1(field.tag);
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

} // namespace

QList<Operand> ExportCommand::operands() const
{
    return {{QStringLiteral("DEVICE"),
             QStringLiteral("MAC text (00-50-C2-01-02-03), MAC field (0.80.194.1.2.3) or IP address; one or more, "
                            "or --all"),
             QStringLiteral("DEVICE...")}};
}

QList<QCommandLineOption> ExportCommand::options() const
{
    return {allOption(), parallelOption()};
}

int ExportCommand::execute(CliContext& context, const QCommandLineParser& parser)
{
    const QStringList names = parser.positionalArguments();
    const bool all = parser.isSet(allOption());
    if (all == !names.isEmpty())
        return context.fail(kExitUsage, QStringLiteral("export takes one or more DEVICE, or --all"));
    const std::optional<int> parallel = parallelValue(parser, parallelOption());
    if (!parallel)
        return context.fail(kExitUsage, QString::fromLatin1(kParallelRange));
    std::vector<DeviceSelector> selectors;
    for (const QString& name : names) {
        const std::optional<DeviceSelector> selector = parseDeviceSelector(name);
        if (!selector)
            return context.fail(kExitUsage, QStringLiteral("%1 is neither a MAC text (00-50-C2-01-02-03), a MAC "
                                                           "field (0.80.194.1.2.3) nor an IP address")
                                                .arg(name));
        selectors.push_back(*selector);
    }

    // One search for all of them.
    std::vector<int> found;
    if (all) {
        if (!context.runSearch())
            return kExitNoAnswer;
        for (std::size_t i = 0; i < context.search().devices().size(); ++i)
            found.push_back(static_cast<int>(i));
    } else {
        const std::optional<std::vector<int>> resolved = context.resolveAll(selectors);
        if (!resolved)
            return kExitNoAnswer;
        found = *resolved;
    }

    int code = kExitDone;
    const std::string password = toLatin1(context.setupPassword());
    std::vector<std::unique_ptr<DeviceJob>> jobs;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (found[i] < 0) {
            context.output().error(
                QStringLiteral("no device %1 answered the search").arg(names[static_cast<qsizetype>(i)]));
            code = std::max<int>(code, kExitNotFound);
            continue;
        }
        const std::string& raw = context.search().devices().raw(static_cast<std::size_t>(found[i]));
        DeviceTask task;
        task.named = all ? QString() : names[static_cast<qsizetype>(i)];
        task.device = {raw, context.search().interfaceOf(found[i])};
        task.password = password;
        jobs.push_back(std::make_unique<DeviceJob>(
            context.state(), std::move(task), JobSettings{JobSettings::Mode::Load, false, context.options().timeoutMs},
            context.mask(), context.wireLog()));
    }
    std::vector<DeviceJob*> pointers;
    for (const auto& job : jobs)
        pointers.push_back(job.get());
    runDeviceJobs(pointers, *parallel, {});

    QJsonArray devices;
    for (const auto& job : jobs) {
        DeviceOutcome& outcome = job->outcome();
        const QString who = outcome.named.isEmpty() ? fromLatin1(outcome.macText) : outcome.named;
        if (outcome.result != FleetResult::Loaded) {
            // A device without a window has nothing to export; with --all that is no fault.
            const bool windowless = outcome.result == FleetResult::Refused;
            context.output().error(who + QStringLiteral(": ") + outcome.error);
            if (!(all && windowless))
                code = std::max<int>(code, windowless ? kExitUnknownValue : kExitNoAnswer);
            continue;
        }
        devices.append(QJsonObject{{QStringLiteral("device"), fromLatin1(outcome.macText)},
                                   {QStringLiteral("window"), fromLatin1(outcome.window)},
                                   {QStringLiteral("set"), settableFields(*outcome.form, context.mask())}});
    }
    context.output().document(QJsonObject{{QStringLiteral("devices"), devices}});
    return code;
}

} // namespace lv
