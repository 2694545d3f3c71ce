// linkvane-cli set.

#include "setcommand.h"

#include "clicontext.h"
#include "failuretexts.h"
#include "latin1.h"
#include "operands.h"

#include <QCommandLineParser>
#include <QJsonObject>
#include <QStringList>

namespace lv {

namespace {

const QCommandLineOption& dryRunOption()
{
    static const QCommandLineOption option(
        QStringLiteral("dry-run"),
        QStringLiteral("Search and ask the device for its configuration (both only read), then print "
                       "what would be sent; change nothing on the device."));
    return option;
}

} // namespace

QList<Operand> SetCommand::operands() const
{
    return {deviceOperand(),
            {QStringLiteral("NAME=VALUE"),
             QStringLiteral("a tag name (IPAddress, SIOBaud, krIP, COM2_Baud, ...) and the text as typed; for a "
                            "list the entry's label (SIOBaud=115200) or #N"),
             QStringLiteral("[NAME=VALUE...]")}};
}

QList<QCommandLineOption> SetCommand::options() const
{
    return {dryRunOption()};
}

namespace {

// The form of the loaded device with the changes typed in, and the Update it makes; or why there is none.
Expected<UpdatePlan> changedPlan(LoadedDevice& loaded, const NameValues& changes)
{
    if (!loaded.form)
        return Failure{kExitUnknownValue, cliNoWindowText(printableText(loaded.request.modelVersion.model))};
    SetupForm& form = *loaded.form;
    if (!form.hasDeviceMac())
        return Failure{kExitNoAnswer, cliNoMacText(fromLatin1(loaded.device.macText))};
    for (const auto& [name, value] : changes)
        if (const std::optional<QString> refused = applyTypedValue(form, name, value))
            return Failure{kExitUnknownValue, *refused};
    return form.plan();
}

// What was sent (or would be) and whether the device answered.
class SetReport final : public Report {
public:
    SetReport(const CliContext& context, const UpdatePlan& plan, bool dryRun, bool answered)
        : m_context(context), m_plan(plan), m_dryRun(dryRun), m_answered(answered)
    {
    }
    QString text() const override
    {
        QString text = (m_dryRun ? QStringLiteral("Would send: ") : QStringLiteral("Sent:     ")) +
                       m_context.maskedText(m_plan.setCommand) + QLatin1Char('\n');
        text += QStringLiteral("Then %1 x ").arg(m_plan.updateCount) + m_context.maskedText(m_plan.updateCommand) +
                QLatin1Char('\n');
        if (!m_dryRun)
            text += QStringLiteral("Answered: ") + (m_answered ? QStringLiteral("yes\n") : QStringLiteral("no\n"));
        return text;
    }
    QJsonValue json() const override
    {
        QJsonObject result{{QStringLiteral("sent"), m_context.maskedJson(m_plan.setCommand)}};
        if (m_dryRun)
            result.insert(QStringLiteral("dryRun"), true);
        else
            result.insert(QStringLiteral("answered"), m_answered);
        return result;
    }

private:
    const CliContext& m_context;
    const UpdatePlan& m_plan;
    bool m_dryRun;
    bool m_answered;
};

} // namespace

CommandResult SetCommand::execute(CliContext& context, const QCommandLineParser& parser)
{
    const QStringList operands = parser.positionalArguments();
    // Without NAME=VALUE the set command is the header alone, as the window's Update sends it when nothing
    // changed.
    if (operands.isEmpty())
        return Failure{kExitUsage, QStringLiteral("set takes DEVICE and any number of NAME=VALUE")};
    // The changes are checked for form before anything goes on the wire.
    const Expected<NameValues> changes = nameValueOperands(operands.mid(1));
    if (!changes)
        return changes.failure();
    const Expected<DeviceSelector> selector = deviceSelectorOperand(operands.front());
    if (!selector)
        return selector.failure();
    Expected<LoadedDevice> loaded = context.loadDevice(*selector, operands.front());
    if (!loaded)
        return loaded.failure();
    const Expected<UpdatePlan> plan = changedPlan(*loaded, *changes);
    if (!plan)
        return plan.failure();

    const bool dryRun = parser.isSet(dryRunOption());
    const int timeoutMs = context.options().timeoutMs;
    const UpdateResult outcome = dryRun ? UpdateResult::NoAnswer : runUpdate(context.channel(), *plan, timeoutMs);
    const QString mac = fromLatin1(loaded->device.macText);
    if (!dryRun && (outcome == UpdateResult::NotSent || outcome == UpdateResult::TooLarge))
        return Failure{kExitNoAnswer, cliUpdateNotSentText(mac, plan->setCommand.size())};
    context.output().write(SetReport(context, *plan, dryRun, outcome == UpdateResult::Answered));
    if (!dryRun && outcome != UpdateResult::Answered)
        return Failure{kExitNoAnswer, cliUpdateNoAnswerText(mac, timeoutMs)};
    return std::nullopt;
}

} // namespace lv
