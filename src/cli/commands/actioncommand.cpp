// SPDX-License-Identifier: Apache-2.0
// The commands made from the rows of the device action table: one datagram to the named device, its
// answer read as the row says.

#include "command.h"

#include "clicontext.h"
#include "datagramexchange.h"
#include "deviceactions.h"
#include "latin1.h"
#include "operands.h"
#include "outcometexts.h"
#include "showntext.h"

#include <QCommandLineParser>
#include <QJsonObject>

namespace lv {

namespace {

// "00-50-C2-00-00-03: done" as text; {"device", "result", "answer"} as JSON.
class ActionReport final : public Report {
public:
    ActionReport(QString device, const Meaning& meaning, const DatagramResult& result)
        : m_device(std::move(device)), m_meaning(meaning), m_result(result)
    {
    }
    QString text() const override
    {
        return m_device + QStringLiteral(": ") + resultText(m_meaning.result) + QLatin1Char('\n');
    }
    QJsonValue json() const override
    {
        return QJsonObject{
            {QStringLiteral("device"), m_device},
            {QStringLiteral("result"), resultText(m_meaning.result)},
            {QStringLiteral("answer"), m_result.answer.empty() ? QJsonValue() : jsonText(m_result.answer)}};
    }

private:
    QString m_device;
    Meaning m_meaning;
    const DatagramResult& m_result;
};

CommandResult runAction(CliContext& context, const QCommandLineParser& parser, const DeviceAction& action)
{
    const QString named = parser.positionalArguments().front();
    const Expected<DeviceSelector> selector = deviceSelectorOperand(named);
    if (!selector)
        return selector.failure();
    const Expected<const FoundDevice*> device = context.resolve(*selector);
    if (!device)
        return device.failure();
    if (!*device)
        return Failure{kExitNotFound, notFoundText(Audience::Cli, printableName(named))};
    DatagramExchange exchange(context.channel(), (*device)->ref, *action.datagram, PlannedAction{action.kind},
                              action.datagram->timeoutMs);
    const DatagramResult result = runExchange(exchange);
    const Meaning meaning = meaningOf(result, action);
    const QString mac = fromLatin1((*device)->answer.macText);
    if (result.outcome == DatagramResult::Outcome::Answered || context.output().json())
        context.output().write(ActionReport(mac, meaning, result));
    if (!meaning.failure)
        return std::nullopt;
    return Failure{meaning.exit,
                   describe(result, action, Audience::Cli, {.device = mac, .timeoutMs = action.datagram->timeoutMs})};
}

} // namespace

Command actionCommand(const DeviceAction& action)
{
    const QString summary = QString::fromUtf8(action.summary);
    return {
        QString::fromLatin1(action.cliCommand),
        summary,
        summary + QStringLiteral(" (one datagram; exit 0 when the device answers as asked)."),
        {deviceOperand()},
        {},
        [action](CliContext& context, const QCommandLineParser& parser) { return runAction(context, parser, action); }};
}

} // namespace lv
