// SPDX-License-Identifier: Apache-2.0
// linkvane-cli set.

#include "commandlist.h"
#include "optionnames.h"

#include "backup.h"
#include "backupoption.h"
#include "clicontext.h"
#include "devicejob.h"
#include "fieldreport.h"
#include "interruption.h"
#include "latin1.h"
#include "operands.h"
#include "outcomes.h"
#include "outcometexts.h"
#include "secretmask.h"
#include "typedvalue.h"
#include "verifyexchange.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

namespace lv {

namespace {

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
            result.insert(QStringLiteral("verify"), verifyJson(m_context, *m_verify, m_window));
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
    // A backup path that cannot take the backup is refused before the device is asked anything. Its folder is opened
    // here, before the search: a link put in place of it meanwhile cannot send the backup elsewhere.
    const Expected<std::optional<PrivateFile>> backup = backupOption(parser);
    if (!backup)
        return backup.failure();

    const bool dryRun = isSet(parser, kOptDryRun);
    JobSettings settings;
    settings.mode = dryRun ? JobSettings::Mode::DryRun : JobSettings::Mode::Apply;
    // What the operator typed is sent as typed: also a value the device already holds, also "***".
    settings.force = true;
    settings.keepMasked = false;
    // An oversize set command is the Update's to refuse, once the backup is on disk.
    settings.sizeFirst = false;
    settings.verify = isSet(parser, kOptVerify);
    std::optional<Failure> notSent;
    std::optional<Interruption> interruption;
    settings.beforeSend = [&](const DeviceOutcome& o) -> std::optional<QString> {
        // The undo plan is on disk before the set command goes out, or nothing goes out; a dry run sends
        // nothing, so it leaves an existing backup as it is.
        if (backup->has_value()) {
            const BackupEntry entry =
                backupEntry({o.macText, &o.form()->window(), o.request().reply, o.request().dispatch.portCount,
                             toLatin1(context.setupPassword()), *o.plan()});
            if (const std::optional<QString> failed = writeBackup(**backup, {entry})) {
                notSent = Failure{kExitUsage, *failed + QStringLiteral("; nothing was sent")};
                return notSent->message;
            }
            if (entry.holdsSecrets)
                context.output().note(backupSecretsNote((*backup)->path()));
        }
        // Once the set command may go out, a signal lets the Update end (within the time-out) instead of
        // leaving the device with its set command and no "U ", and the result is still reported.
        interruption.emplace();
        return std::nullopt;
    };
    SetEntries entries;
    for (const auto& [name, value] : *changes)
        entries.push_back({name, value});
    Expected<DeviceRun> run = context.runDevice(*selector, operands.front(), std::move(entries), std::move(settings));
    if (!run)
        return run.failure();
    DeviceOutcome& outcome = run->outcome;
    const QString mac = fromLatin1(run->device.macText);
    const ConfigRequestResult& request = outcome.request();
    if (!outcome.form())
        return Failure{kExitUnknownValue,
                       describe(request, Audience::Cli, {.model = printableText(request.modelVersion.model)})};
    const WindowDef& window = outcome.form()->window();
    if (!outcome.form()->hasDeviceMac())
        return Failure{kExitNoAnswer, noMacText(Audience::Cli, mac)};
    // No plan once the form is there: a value typed was refused.
    if (!outcome.plan())
        return Failure{kExitUnknownValue, outcome.error()};
    if (notSent)
        return *notSent;
    const UpdatePlan& plan = *outcome.plan();
    const std::optional<UpdateResult>& update = outcome.steps.update;
    if (update &&
        (update->outcome == UpdateResult::Outcome::NotSent || update->outcome == UpdateResult::Outcome::TooLarge))
        return failureOf(*update, {.device = mac, .setCommandBytes = plan.setCommand.size()});
    const bool answered = update && update->answered();
    // A secret field's values are shown as "***", whether they match or not.
    std::optional<VerifyResult>& verify = outcome.steps.verify;
    if (verify)
        maskVerifiedSecrets(context, window, *verify);
    context.output().write(SetReport(context, plan, dryRun, answered, verify, &window));
    if (Interruption::signal() != 0)
        return Failure{static_cast<ExitCode>(Interruption::exitCode()),
                       QStringLiteral("interrupted by signal %1 during the update of %2 (reported above)")
                           .arg(Interruption::signal())
                           .arg(mac)};
    // Not confirmed: no answer, or cut short by a signal, which the CLI words alike. (An Update that never
    // started was stopped by its gate.)
    if (!dryRun && !answered)
        return update ? failureOf(*update, {.device = mac, .timeoutMs = context.options().timeoutMs})
                      : Failure{kExitNoAnswer, outcome.error()};
    return verify ? failureOf(*verify, {.device = mac}) : std::nullopt;
}

Command setCommand()
{
    return {
        QStringLiteral("set"),
        QStringLiteral("Change a device's settings as the window's Update would"),
        QStringLiteral("Loads the device as its window would, applies the changes and sends only what "
                       "differs, then the window's \"U \" commands."),
        {deviceOperand(),
         {QStringLiteral("NAME=VALUE"),
          QStringLiteral("a tag name (IPAddress, SIOBaud, krIP, COM2_Baud, ...) or a role, the same in every "
                         "window family (%1), and the text as typed; for a list the entry's label "
                         "(SIOBaud=115200, port1.baud=115200) or #N")
              .arg(roleNamesText()),
          QStringLiteral("[NAME=VALUE...]"), 0, -1}},
        {{kOptDryRun.name(),
          QStringLiteral("Search and ask the device for its configuration (both only read), then print "
                         "what would be sent; change nothing on the device.")},
         {kOptVerify.name(),
          QStringLiteral("After the device confirmed the Update, ask it for its configuration again (for up to 5 s, "
                         "as a device may restart) and compare every field sent with what it reports; exit 3 "
                         "unless all match.")},
         {kOptBackup.name(),
          QStringLiteral("Before sending, write to FILE (mode 0600, a regular file or a new name) a plan that "
                         "puts back the fields this set changes, as loaded, passwords in clear. Nothing is sent "
                         "if FILE cannot be written."),
          QStringLiteral("FILE")}},
        runSet};
}

} // namespace lv
