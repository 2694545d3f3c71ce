// SPDX-License-Identifier: Apache-2.0
// linkvane-cli set-mac.

#include "commandlist.h"
#include "optionnames.h"

#include "clicontext.h"
#include "latin1.h"
#include "macchange.h"
#include "macchangeexchange.h"
#include "operands.h"
#include "outcomes.h"
#include "outcometexts.h"
#include "secretinput.h"
#include "typedvalue.h"
#include "wirelog.h"

#include <QCommandLineParser>
#include <QJsonObject>

namespace lv {

namespace {

constexpr char kAccessCodeVariable[] = "LINKVANE_ACCESS_CODE";

// The access code from the first source given: --access-code, --access-code-file, the environment,
// the terminal.
Expected<QString> accessCodeFromSources(const QCommandLineParser& parser)
{
    if (isSet(parser, kOptAccessCode))
        return valueOf(parser, kOptAccessCode);
    if (isSet(parser, kOptAccessCodeFile)) {
        QString error;
        if (std::optional<QString> line = firstLineOfFile(valueOf(parser, kOptAccessCodeFile), &error))
            return *line;
        return Failure{kExitUsage, QStringLiteral("the access code: ") + error};
    }
    if (std::optional<QString> set = secretFromEnvironment(kAccessCodeVariable))
        return *set;
    if (std::optional<QString> typed = promptForSecret(QStringLiteral("Access code: ")))
        return *typed;
    return Failure{kExitUsage, QStringLiteral("set-mac needs the access code: --access-code-file FILE, the "
                                              "environment variable %1, or a terminal to type it in")
                                   .arg(QLatin1String(kAccessCodeVariable))};
}

Expected<QString> readAccessCode(const QCommandLineParser& parser)
{
    Expected<QString> code = accessCodeFromSources(parser);
    if (code)
        if (const std::optional<QString> why = secretRefusal(*code))
            return Failure{kExitUsage, QStringLiteral("the access code ") + *why};
    return code;
}

QString fieldAndText(const std::string& field)
{
    const std::optional<MacAddress> mac = MacAddress::fromField(field);
    return mac ? fromLatin1(field) + QStringLiteral(" (") + fromLatin1(mac->text()) + QLatin1Char(')')
               : printableText(field);
}

// The old and the new address as the device reports them.
class SetMacReport final : public Report {
public:
    explicit SetMacReport(const MacChangeResult& result) : m_result(result) {}
    QString text() const override
    {
        return QStringLiteral("Old MAC: ") + fieldAndText(m_result.oldField) + QStringLiteral("\nNew MAC: ") +
               fieldAndText(m_result.newField) + QStringLiteral("\nChanged: ") +
               (m_result.changed() ? QStringLiteral("yes\n") : QStringLiteral("no\n"));
    }
    QJsonValue json() const override
    {
        return QJsonObject{{QStringLiteral("old"), jsonText(m_result.oldField)},
                           {QStringLiteral("new"), jsonText(m_result.newField)},
                           {QStringLiteral("changed"), m_result.changed()}};
    }

private:
    const MacChangeResult& m_result;
};

// The MAC change for the device, named by its MAC field as the window's selection reads it, through
// the card it answered on.
MacChangeResult changeMac(CliContext& context, const DeviceRef& device, const std::string& newField,
                          const QString& accessCode)
{
    // --verbose logs the "M " command with the code masked, and every answer.
    context.mask().addPassword(toLatin1(accessCode));
    MacChangeExchange exchange(context.channel(), device, newField, toLatin1(accessCode), context.options().timeoutMs);
    // Only a device that now carries the address asked for is done.
    exchange.holdToAskedField();
    return runExchange(exchange);
}

// What set-mac is asked to do, read and checked before anything goes on the wire, not even the search.
struct MacRequest {
    DeviceSelector selector;
    std::string newField;
    QString accessCode;
};

Expected<MacRequest> readMacRequest(const QStringList& operands, const QCommandLineParser& parser)
{
    const Expected<DeviceSelector> selector = deviceSelectorOperand(operands[0]);
    if (!selector)
        return selector.failure();
    const Expected<std::string> newField = newMacOperand(operands[1]);
    if (!newField)
        return newField.failure();
    const Expected<QString> accessCode = readAccessCode(parser);
    if (!accessCode)
        return accessCode.failure();
    // The code travels as single-byte text; a character outside Latin-1 cannot be sent as typed.
    if (!isLatin1(*accessCode))
        return Failure{kExitUsage, QStringLiteral("the access code must be single-byte (Latin-1) text")};
    if (*accessCode != fromLatin1(kMacServiceAccessCode))
        return Failure{kExitNoAnswer, macPasswordErrorText(Audience::Cli)};
    return MacRequest{*selector, *newField, *accessCode};
}

} // namespace

CommandResult runSetMac(CliContext& context, const QCommandLineParser& parser)
{
    const QStringList operands = parser.positionalArguments();
    const Expected<MacRequest> asked = readMacRequest(operands, parser);
    if (!asked)
        return asked.failure();
    const QString named = printableName(operands[0]);
    // The search listens for the whole wait: the new address is checked against every device that answers.
    const Expected<const FoundDevice*> device = context.resolve(asked->selector);
    if (!device)
        return device.failure();
    if (!*device)
        return Failure{kExitNotFound, notFoundText(Audience::Cli, named)};

    // Two devices with one MAC could no longer be told apart: an address another device answered with is
    // refused, as the window's dialog refuses a MAC another listed line has.
    const std::optional<MacAddress> wanted = MacAddress::fromField(asked->newField, MacAddress::FieldDigits::UpToThree);
    if (const std::optional<int> other =
            wanted ? context.search().otherDeviceWithMac(*wanted, (*device)->ref.row) : std::nullopt)
        return Failure{
            kExitUnknownValue,
            macTakenText(
                Audience::Cli, fromLatin1(wanted->text()),
                printableText(context.search().devices().line(static_cast<std::size_t>(*other))).simplified())};

    const MacChangeResult result = changeMac(context, (*device)->ref, asked->newField, asked->accessCode);
    if (!result.replied())
        return failureOf(result, {.device = named, .timeoutMs = context.options().timeoutMs});
    const bool wellFormed =
        result.changed() || (result.outcome == MacChangeResult::Outcome::Unchanged && !result.newField.empty());
    if (wellFormed || context.output().json())
        context.output().write(SetMacReport(result));
    return failureOf(result, {.device = named, .askedMac = asked->newField});
}

Command setMacCommand()
{
    return {QStringLiteral("set-mac"),
            QStringLiteral("Give a device a new MAC address (the MAC service)"),
            QStringLiteral("Gives the device a new MAC address (the MAC service; needs its access code from "
                           "--access-code-file, LINKVANE_ACCESS_CODE or the terminal)."),
            {deviceOperand(),
             {QStringLiteral("NEW_MAC"),
              QStringLiteral("the new address: 0.80.194.1.2.4 or 00-50-C2-01-02-04; a unicast address (not all "
                             "zero, not broadcast, even first number)"),
              QStringLiteral("NEW_MAC")}},
            {{kOptAccessCodeFile.name(),
              QStringLiteral("Read the access code from the first line of FILE (- for standard input)."),
              QStringLiteral("FILE")},
             {kOptAccessCode.name(),
              QStringLiteral("The access code itself (for tests: a command line is visible to every user)."),
              QStringLiteral("TEXT")}},
            runSetMac};
}

} // namespace lv
