// linkvane-cli set.

#include "setcommand.h"

#include "clicontext.h"
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

int SetCommand::execute(CliContext& context, const QCommandLineParser& parser)
{
    const QStringList operands = parser.positionalArguments();
    // Without NAME=VALUE the set command is the header alone, as the window's Update sends it when nothing
    // changed.
    if (operands.isEmpty())
        return context.fail(kExitUsage, QStringLiteral("set takes DEVICE and any number of NAME=VALUE"));
    // The changes are checked for form before anything goes on the wire.
    std::vector<std::pair<QString, QString>> changes;
    for (qsizetype i = 1; i < operands.size(); ++i) {
        const qsizetype eq = operands[i].indexOf(QLatin1Char('='));
        if (eq <= 0)
            return context.fail(kExitUsage, QStringLiteral("%1 is not NAME=VALUE").arg(operands[i]));
        changes.emplace_back(operands[i].left(eq), operands[i].mid(eq + 1));
    }
    const bool dryRun = parser.isSet(dryRunOption());

    int code = kExitDone;
    const std::optional<LoadedDevice> loaded = context.loadDevice(operands.front(), code);
    if (!loaded)
        return code;
    if (!loaded->form)
        return context.fail(kExitUnknownValue, QStringLiteral("no window opens for model %1; nothing to set")
                                                   .arg(printableText(loaded->request.modelVersion.model)));
    SetupForm& form = *loaded->form;
    if (!form.hasDeviceMac())
        return context.fail(kExitNoAnswer, QStringLiteral("the reply of %1 carried no MAC address, so no command "
                                                          "can name the device; nothing was sent")
                                               .arg(fromLatin1(loaded->device.macText)));
    for (const auto& [name, value] : changes)
        if (const std::optional<QString> refused = applyTypedValue(form, name, value))
            return context.fail(kExitUnknownValue, *refused);

    const UpdatePlan plan = form.plan();
    const UpdateResult outcome =
        dryRun ? UpdateResult::NoAnswer : runUpdate(context.channel(), plan, context.options().timeoutMs);
    const bool answered = outcome == UpdateResult::Answered;
    if (!dryRun && (outcome == UpdateResult::NotSent || outcome == UpdateResult::TooLarge))
        return context.fail(kExitNoAnswer, QStringLiteral("the update of %1 could not be sent (%2 bytes; one "
                                                          "datagram carries at most %3); nothing was sent")
                                               .arg(fromLatin1(loaded->device.macText))
                                               .arg(plan.setCommand.size())
                                               .arg(kMaxDatagramBytes));

    Output& out = context.output();
    if (out.json()) {
        QJsonObject result{{QStringLiteral("sent"), context.maskedJson(plan.setCommand)}};
        if (dryRun)
            result.insert(QStringLiteral("dryRun"), true);
        else
            result.insert(QStringLiteral("answered"), answered);
        out.document(result);
    } else {
        QString text = (dryRun ? QStringLiteral("Would send: ") : QStringLiteral("Sent:     ")) +
                       context.maskedText(plan.setCommand) + QLatin1Char('\n');
        text += QStringLiteral("Then %1 x ").arg(plan.updateCount) + context.maskedText(plan.updateCommand) +
                QLatin1Char('\n');
        if (!dryRun)
            text += QStringLiteral("Answered: ") + (answered ? QStringLiteral("yes\n") : QStringLiteral("no\n"));
        out.text(text);
    }
    if (!dryRun && !answered)
        return context.fail(kExitNoAnswer, QStringLiteral("device %1 did not answer the update within %2 ms")
                                               .arg(fromLatin1(loaded->device.macText))
                                               .arg(context.options().timeoutMs));
    return kExitDone;
}

} // namespace lv
