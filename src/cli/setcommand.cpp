// SPDX-License-Identifier: Apache-2.0
// linkvane-cli set.

#include "commands.h"
#include "optionnames.h"

#include "backupplan.h"
#include "clicontext.h"
#include "fieldreport.h"
#include "interruption.h"
#include "latin1.h"
#include "operands.h"
#include "outcometexts.h"
#include "secretmask.h"
#include "verifyexchange.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

namespace lv {

namespace {

// The form of the loaded device with the changes typed in, and the Update it makes; or why there is none.
Expected<UpdatePlan> changedPlan(LoadedDevice& loaded, const NameValues& changes)
{
    if (!loaded.form)
        return Failure{kExitUnknownValue, describe(loaded.request, Audience::Cli,
                                                   {.model = printableText(loaded.request.modelVersion.model)})};
    SetupForm& form = *loaded.form;
    if (!form.hasDeviceMac())
        return Failure{kExitNoAnswer, noMacText(Audience::Cli, fromLatin1(loaded.device.macText))};
    for (const auto& [name, value] : changes)
        if (const std::optional<QString> refused = applyTypedValue(form, name, value))
            return Failure{kExitUnknownValue, *refused};
    return form.plan();
}

// What was sent (or would be), whether the device answered and, when asked, what it reports now.
class SetReport final : public Report {
public:
    SetReport(const CliContext& context, const UpdatePlan& plan, bool dryRun, bool answered,
              const std::optional<VerifyResult>& verify, const WindowDef* window)
        : m_context(context), m_plan(plan), m_dryRun(dryRun), m_answered(answered), m_verify(verify), m_window(window)
    {
    }
    QString text() const override
    {
        QString text = (m_dryRun ? QStringLiteral("Would send: ") : QStringLiteral("Sent:     ")) +
                       m_context.maskedText(m_plan.setCommand) + QLatin1Char('\n');
        if (m_dryRun)
            text += changesText(m_context, m_plan, m_window, QStringLiteral("  "));
        text += QStringLiteral("Then %1 x ").arg(m_plan.updateCount) + m_context.maskedText(m_plan.updateCommand) +
                QLatin1Char('\n');
        if (!m_dryRun)
            text += QStringLiteral("Answered: ") + (m_answered ? QStringLiteral("yes\n") : QStringLiteral("no\n"));
        if (m_verify)
            text += QStringLiteral("Verified: ") + verifyResultName(m_verify->outcome) + QLatin1Char('\n') +
                    mismatchText(m_context, *m_verify, m_window, QStringLiteral("  "));
        return text;
    }
    QJsonValue json() const override
    {
        QJsonObject result{{QStringLiteral("sent"), m_context.maskedJson(m_plan.setCommand)}};
        if (m_dryRun) {
            result.insert(QStringLiteral("dryRun"), true);
            result.insert(QStringLiteral("fields"), changesJson(m_context, m_plan, m_window));
        } else {
            result.insert(QStringLiteral("answered"), m_answered);
        }
        if (m_verify)
            result.insert(QStringLiteral("verify"), verifyJson(m_context, *m_verify));
        return result;
    }

private:
    const CliContext& m_context;
    const UpdatePlan& m_plan;
    bool m_dryRun;
    bool m_answered;
    const std::optional<VerifyResult>& m_verify;
    const WindowDef* m_window;
};

} // namespace

CommandResult runSet(CliContext& context, const QCommandLineParser& parser)
{
    const QStringList operands = parser.positionalArguments();
    // The changes are checked for form before anything goes on the wire.
    const Expected<NameValues> changes = nameValueOperands(operands.mid(1));
    if (!changes)
        return changes.failure();
    const Expected<DeviceSelector> selector = deviceSelectorOperand(operands.front());
    if (!selector)
        return selector.failure();
    // A backup path that cannot take the backup is refused before the device is asked anything.
    const Expected<std::optional<QString>> backupPath = backupOption(parser);
    if (!backupPath)
        return backupPath.failure();
    const bool backup = backupPath->has_value();
    Expected<LoadedDevice> loaded = context.loadDevice(*selector, operands.front());
    if (!loaded)
        return loaded.failure();
    const Expected<UpdatePlan> plan = changedPlan(*loaded, *changes);
    if (!plan)
        return plan.failure();

    const bool dryRun = isSet(parser, kOptDryRun);
    const int timeoutMs = context.options().timeoutMs;
    // The undo plan is on disk before the set command goes out, or nothing goes out; a dry run sends
    // nothing, so it leaves an existing backup as it is.
    if (backup && !dryRun) {
        const BackupEntry entry =
            backupEntry({loaded->device.macText, &loaded->form->window(), loaded->request.reply,
                         loaded->request.dispatch.portCount, toLatin1(context.setupPassword()), *plan});
        if (const std::optional<QString> failed = writeBackup(**backupPath, {entry.json}))
            return Failure{kExitUsage, *failed + QStringLiteral("; nothing was sent")};
        if (entry.holdsSecrets)
            context.output().note(backupSecretsNote(**backupPath));
    }
    // Once the set command may go out, a signal lets the Update end (within the time-out) instead of
    // leaving the device with its set command and no "U ", and the result is still reported.
    const Interruption interruption;
    UpdateResult update;
    if (!dryRun) {
        UpdateExchange exchange(context.channel(), loaded->entry, *plan, timeoutMs);
        update = runExchange(exchange);
    }
    const bool answered = update.answered();
    const QString mac = fromLatin1(loaded->device.macText);
    if (!dryRun && (update.outcome == UpdateResult::Outcome::NotSent || update.outcome == UpdateResult::Outcome::TooLarge))
        return Failure{kExitNoAnswer,
                       describe(update, Audience::Cli, {.device = mac, .setCommandBytes = plan->setCommand.size()})};
    std::optional<VerifyResult> verify;
    const bool interrupted = Interruption::signal() != 0;
    if (!dryRun && !interrupted && answered && isSet(parser, kOptVerify)) {
        VerifyExchange check(context.channel(), loaded->entry, toLatin1(context.setupPassword()),
                             loaded->form->window(), loaded->request.dispatch.portCount, *plan);
        verify = runExchange(check);
    }
    // A secret field's values are shown as "***", whether they match or not.
    if (verify)
        maskVerifiedSecrets(context, loaded->form->window(), *verify);
    context.output().write(
        SetReport(context, *plan, dryRun, answered, verify, &loaded->form->window()));
    if (interrupted)
        return Failure{static_cast<ExitCode>(Interruption::exitCode()),
                       QStringLiteral("interrupted by signal %1 during the update of %2 (reported above)")
                           .arg(Interruption::signal())
                           .arg(mac)};
    if (!dryRun && !answered)
        return Failure{kExitNoAnswer, describe(update, Audience::Cli, {.device = mac, .timeoutMs = timeoutMs})};
    if (verify && verify->outcome != VerifyExchange::Outcome::Verified)
        return Failure{kExitNoAnswer, describe(*verify, Audience::Cli, {.device = mac})};
    return std::nullopt;
}

} // namespace lv
