// SPDX-License-Identifier: Apache-2.0
// The operands of linkvane-cli's commands.

#include "operands.h"
#include "optionnames.h"

#include "latin1.h"
#include "macaddress.h"
#include "macchange.h"
#include <QStringList>

namespace lv {

std::optional<int> strictNumber(const QString& text, int low, int high)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const int n = text.toInt();
    if (n < low || n > high)
        return std::nullopt;
    return n;
}

Operand deviceOperand()
{
    return {QStringLiteral("DEVICE"),
            QStringLiteral("MAC text (00-50-C2-01-02-03), MAC field (0.80.194.1.2.3) or IP address"),
            QStringLiteral("DEVICE")};
}

Expected<DeviceSelector> deviceSelectorOperand(const QString& text)
{
    if (const std::optional<DeviceSelector> selector = parseDeviceSelector(text))
        return *selector;
    return Failure{kExitUsage, QStringLiteral("%1 is neither a MAC text (00-50-C2-01-02-03), a MAC field "
                                              "(0.80.194.1.2.3) nor an IP address")
                                   .arg(text)};
}

Expected<std::vector<DeviceSelector>> deviceSelectorOperands(const QStringList& texts)
{
    std::vector<DeviceSelector> selectors;
    for (const QString& text : texts) {
        const Expected<DeviceSelector> selector = deviceSelectorOperand(text);
        if (!selector)
            return selector.failure();
        selectors.push_back(*selector);
    }
    return selectors;
}

Expected<NameValues> nameValueOperands(const QStringList& texts)
{
    NameValues changes;
    for (const QString& text : texts) {
        const qsizetype eq = text.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return Failure{kExitUsage, QStringLiteral("%1 is not NAME=VALUE").arg(text)};
        changes.emplace_back(text.left(eq), text.mid(eq + 1));
    }
    return changes;
}

Expected<int> numberOption(const QCommandLineParser& parser, OptionName option, int low, int high, int fallback,
                           const QString& range)
{
    if (!isSet(parser, option))
        return fallback;
    if (const std::optional<int> n = strictNumber(valueOf(parser, option), low, high))
        return *n;
    return Failure{kExitUsage, range};
}

Expected<int> parallelValue(const QCommandLineParser& parser)
{
    return numberOption(parser, kOptParallel, 1, 1024, 16, QStringLiteral("--parallel needs a number from 1 to 1024"));
}

Expected<std::optional<DeviceSelection>> selectOption(const QCommandLineParser& parser)
{
    if (!isSet(parser, kOptSelect))
        return std::optional<DeviceSelection>();
    QString error;
    std::optional<DeviceSelection> selection = parseSelection(valueOf(parser, kOptSelect), &error);
    if (!selection)
        return Failure{kExitUsage, QStringLiteral("--select: ") + error};
    return selection;
}

Expected<std::string> newMacOperand(const QString& text)
{
    const NewMac typed = parseNewMac(isLatin1(text) ? toLatin1(text) : std::string("?"));
    const NewMacProblem problem = typed.problem;
    if (problem == NewMacProblem::None)
        return typed.field;
    QString why = fromLatin1(describeNewMacProblem(problem));
    if (problem == NewMacProblem::Form)
        why = QStringLiteral("NEW_MAC must be six numbers 0-255 joined by dots (0.80.194.1.2.4) or six "
                             "hexadecimal pairs joined by \"-\" (00-50-C2-01-02-04)");
    return Failure{kExitUnknownValue, QStringLiteral("%1 is refused: %2").arg(text, why)};
}

} // namespace lv
