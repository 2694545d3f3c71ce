// linkvane-cli set-mac.

#include "setmaccommand.h"

#include "clicontext.h"
#include "operands.h"
#include "latin1.h"
#include "macchange.h"
#include "macchangeexchange.h"
#include "secretinput.h"

#include <QCommandLineParser>
#include <QJsonObject>

namespace lv {

namespace {

constexpr char kAccessCodeVariable[] = "LINKVANE_ACCESS_CODE";

const QCommandLineOption& accessCodeFileOption()
{
    static const QCommandLineOption option(QStringLiteral("access-code-file"),
                                           QStringLiteral("Read the access code from the first line of FILE."),
                                           QStringLiteral("FILE"));
    return option;
}

const QCommandLineOption& accessCodeOption()
{
    static const QCommandLineOption option(
        QStringLiteral("access-code"),
        QStringLiteral("The access code itself (for tests: a command line is visible to every user)."),
        QStringLiteral("TEXT"));
    return option;
}

// The access code from the first source given: --access-code, --access-code-file, the environment,
// the terminal. On failure `code` holds the exit code and the message has been printed.
std::optional<QString> readAccessCode(CliContext& context, const QCommandLineParser& parser, int& code)
{
    code = kExitUsage;
    if (parser.isSet(accessCodeOption()))
        return parser.value(accessCodeOption());
    if (parser.isSet(accessCodeFileOption())) {
        QString error;
        std::optional<QString> line = firstLineOfFile(parser.value(accessCodeFileOption()), &error);
        if (!line)
            context.fail(kExitUsage, QStringLiteral("the access code: ") + error);
        return line;
    }
    if (std::optional<QString> set = secretFromEnvironment(kAccessCodeVariable))
        return set;
    if (std::optional<QString> typed = promptForSecret(QStringLiteral("Access code: ")))
        return typed;
    context.fail(kExitUsage, QStringLiteral("set-mac needs the access code: --access-code-file FILE, the "
                                            "environment variable %1, or a terminal to type it in")
                                 .arg(QLatin1String(kAccessCodeVariable)));
    return std::nullopt;
}

QString fieldAndText(const std::string& field)
{
    const std::optional<MacAddress> mac = MacAddress::fromField(field);
    return mac ? fromLatin1(field) + QStringLiteral(" (") + fromLatin1(mac->text()) + QLatin1Char(')')
               : printableText(field);
}

} // namespace

std::string newMacFieldFromOperand(const QString& text)
{
    const std::string typed = toLatin1(text);
    if (text.contains(QLatin1Char('-')))
        if (const std::optional<MacAddress> mac = MacAddress::fromText(typed))
            return mac->field();
    return typed;
}

QList<Operand> SetMacCommand::operands() const
{
    return {deviceOperand(),
            {QStringLiteral("NEW_MAC"),
             QStringLiteral("the new address: 0.80.194.1.2.4 or 00-50-C2-01-02-04; a unicast address (not all "
                            "zero, not broadcast, even first number)"),
             QStringLiteral("NEW_MAC")}};
}

QList<QCommandLineOption> SetMacCommand::options() const
{
    return {accessCodeFileOption(), accessCodeOption()};
}

int SetMacCommand::execute(CliContext& context, const QCommandLineParser& parser)
{
    const QStringList operands = parser.positionalArguments();
    if (operands.size() != 2)
        return context.fail(kExitUsage, QStringLiteral("set-mac takes DEVICE and NEW_MAC"));
    const std::optional<DeviceSelector> selector = parseDeviceSelector(operands[0]);
    if (!selector)
        return context.fail(kExitUsage, QStringLiteral("%1 is neither a MAC text (00-50-C2-01-02-03), a MAC field "
                                                       "(0.80.194.1.2.3) nor an IP address")
                                            .arg(operands[0]));

    // Nothing goes on the wire, not even the search, before the address and the code are right.
    const std::string newField = isLatin1(operands[1]) ? newMacFieldFromOperand(operands[1]) : std::string("?");
    if (const NewMacProblem problem = checkNewMacField(newField); problem != NewMacProblem::None) {
        QString why = fromLatin1(describeNewMacProblem(problem));
        if (problem == NewMacProblem::Form)
            why = QStringLiteral("NEW_MAC must be six numbers 0-255 joined by dots (0.80.194.1.2.4) or six "
                                 "hexadecimal pairs joined by \"-\" (00-50-C2-01-02-04)");
        return context.fail(kExitUnknownValue, QStringLiteral("%1 is refused: %2").arg(operands[1], why));
    }
    int code = kExitDone;
    const std::optional<QString> accessCode = readAccessCode(context, parser, code);
    if (!accessCode)
        return code;
    if (*accessCode != fromLatin1(kMacServiceAccessCode))
        return context.fail(kExitNoAnswer, QStringLiteral("MAC Password Error: that is not the access code of "
                                                          "the MAC service; nothing was sent"));

    const int index = context.resolve(*selector);
    if (index < 0)
        return context.fail(kExitNotFound, QStringLiteral("no device %1 answered the search").arg(operands[0]));
    const std::string& raw = context.search().devices().raw(static_cast<std::size_t>(index));
    // The device is named by its MAC field as the window's selection reads it.
    const std::string currentField = macFieldOfEntry(raw);

    MacChangeExchange exchange(context.state());
    exchange.socket().setInterface(context.search().interfaceOf(index));
    const MacChangeResult result =
        exchange.run(currentField, newField, toLatin1(*accessCode), context.options().timeoutMs);
    if (!result.replied())
        return context.fail(kExitNoAnswer, QStringLiteral("device %1 did not answer the MAC change within %2 ms")
                                               .arg(operands[0])
                                               .arg(context.options().timeoutMs));
    const bool wellFormed = result.changed() ||
                            (result.outcome == MacChangeResult::Outcome::Unchanged && !result.newField.empty());

    Output& out = context.output();
    if (out.json()) {
        out.document(QJsonObject{{QStringLiteral("old"), jsonText(result.oldField)},
                                 {QStringLiteral("new"), jsonText(result.newField)},
                                 {QStringLiteral("changed"), result.changed()}});
    } else if (wellFormed) {
        out.text(QStringLiteral("Old MAC: ") + fieldAndText(result.oldField) + QStringLiteral("\nNew MAC: ") +
                 fieldAndText(result.newField) + QStringLiteral("\nChanged: ") +
                 (result.changed() ? QStringLiteral("yes\n") : QStringLiteral("no\n")));
    }
    if (!wellFormed)
        return context.fail(kExitNoAnswer, QStringLiteral("device %1 answered, but its answer names no new MAC "
                                                          "address; nothing is known to have changed")
                                               .arg(operands[0]));
    // Done when the device now carries the address asked for (also when it carried it already).
    if (MacAddress::fromField(result.newField) != MacAddress::fromField(newField))
        return context.fail(kExitNoAnswer, QStringLiteral("device %1 reports the MAC address %2, not %3")
                                               .arg(operands[0], fromLatin1(result.newField), fromLatin1(newField)));
    return kExitDone;
}

} // namespace lv
