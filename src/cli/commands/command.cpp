// SPDX-License-Identifier: Apache-2.0
// The command registry of linkvane-cli and the help made from each command's definition.

#include "command.h"
#include "optionnames.h"

#include "commands.h"
#include "helpformat.h"
#include "operands.h"
#include "typedvalue.h"

#include <algorithm>

namespace lv {

namespace {

QString optionSyntax(const QCommandLineOption& option)
{
    QStringList names;
    for (const QString& name : option.names())
        names.append(name.size() == 1 ? QStringLiteral("-") + name : QStringLiteral("--") + name);
    QString text = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        text += QLatin1Char(' ') + option.valueName();
    return text;
}

} // namespace

QString describeOptions(const QList<QCommandLineOption>& options, int width)
{
    QList<HelpRow> rows;
    for (const QCommandLineOption& option : options)
        if (!option.flags().testFlag(QCommandLineOption::HiddenFromHelp))
            rows.append({optionSyntax(option), option.description()});
    return helpTable(rows, width);
}

QString Command::helpText(const QList<QCommandLineOption>& globalOptions, int width) const
{
    QString usage = QStringLiteral("usage: linkvane-cli [global options] ") + name;
    if (!options.isEmpty())
        usage += QStringLiteral(" [options]");
    for (const Operand& operand : operands)
        usage += QLatin1Char(' ') + operand.syntax;
    // The usage line's continuations stand under the command's name.
    const int under = static_cast<int>(QStringLiteral("usage: linkvane-cli ").size());
    QString text =
        wrapText(usage, width, 0, under) + QStringLiteral("\n\n") + wrapText(description, width) + QStringLiteral("\n");
    if (!operands.isEmpty()) {
        QList<HelpRow> rows;
        for (const Operand& operand : operands)
            rows.append({operand.name, operand.description});
        text += QStringLiteral("\nOperands:\n") + helpTable(rows, width);
    }
    if (!options.isEmpty())
        text += QStringLiteral("\nOptions:\n") + describeOptions(options, width);
    text += QStringLiteral("\nGlobal options:\n") + describeOptions(globalOptions, width);
    return text;
}

const std::vector<Command>& commandRegistry()
{
    static const std::vector<Command> commands{
        {QStringLiteral("help"),
         QStringLiteral("What each command does (help COMMAND for one)"),
         QStringLiteral("Prints the list of commands and the global options, or with COMMAND that "
                        "command's operands and options (as COMMAND --help does)."),
         {{QStringLiteral("COMMAND"), QStringLiteral("the command to describe"), QStringLiteral("[COMMAND]"), 0, 1}},
         {},
         runHelp},
        {QStringLiteral("search"),
         QStringLiteral("List the devices that answer one search probe"),
         QStringLiteral("Lists the devices that answer one search probe (after --wait, 1000 ms, or sooner "
                        "with --expect or --idle)."),
         {},
         {{kOptExpect.name(), QStringLiteral("Stop as soon as N devices have answered."), QStringLiteral("N")},
          {kOptIdle.name(),
           QStringLiteral("Stop MS after the last new answer (or MS after the probe when none came); at most --wait."),
           QStringLiteral("MS")},
          {kOptDetails.name(),
           QStringLiteral("Also ask every device for its configuration (with the password options) and list its "
                          "model and version.")},
          {kOptParallel.name(), QStringLiteral("With --details, ask up to N devices at once (16)."),
           QStringLiteral("N")}},
         runSearch},
        {QStringLiteral("show"),
         QStringLiteral("Print a device's configuration as its window shows it"),
         QStringLiteral("Prints every field of the device's setup window with the value as loaded and, "
                        "for lists, the entry shown."),
         {deviceOperand()},
         {},
         runShow},
        {QStringLiteral("set"),
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
         runSet},
        {QStringLiteral("set-mac"),
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
         runSetMac},
        {QStringLiteral("export"),
         QStringLiteral("Write a plan holding the settings of devices"),
         QStringLiteral("Writes a plan for apply (JSON on standard output): for every device its MAC text, "
                        "window and each field it can set, by tag, lists by their labels. Secrets are "
                        "written as *** (left as they are by apply) unless --show-secrets."),
         {{QStringLiteral("DEVICE"),
           QStringLiteral("MAC text (00-50-C2-01-02-03), MAC field (0.80.194.1.2.3) or IP address; one or more, "
                          "or --all"),
           QStringLiteral("DEVICE..."), 0, -1}},
         {{kOptAll.name(), QStringLiteral("Every device that answers the search (after --wait).")},
          {kOptParallel.name(), QStringLiteral("Ask up to N devices for their configuration at once (16)."),
           QStringLiteral("N")},
          {kOptSelect.name(),
           QStringLiteral("Only the devices that match EXPR: model=GLOB, id=GLOB, ip=CIDR or ip=FIRST-LAST, several "
                          "joined by \",\" must all match."),
           QStringLiteral("EXPR")},
          {kOptRoles.name(),
           QStringLiteral("Name each field by its role (ip, deviceId, port1.baud, ...) where it has one, by tag "
                          "otherwise, and leave out \"window\", so that the plan applies to devices of any "
                          "window family.")},
          {kOptCsv.name(),
           QStringLiteral("Write the plan as CSV for a spreadsheet: a header row (device, then the fields by role "
                          "where they have one, by tag otherwise) and a row a device; apply reads it back.")}},
         runExport},
        {QStringLiteral("apply"),
         QStringLiteral("Configure every device of a plan"),
         QStringLiteral(
             "Configures every device of PLAN.json (or PLAN.csv) exactly as its window's Update would: one search, "
             "then up to --parallel devices at once, each asked for its configuration with its password, loaded, "
             "changed as the plan says and sent only what differs. Per device, in the plan's order: updated, "
             "unchanged (no set command sent), mismatch (--verify found a field other than sent), not found, no "
             "answer, refused (a tag, list label or port its window lacks: nothing is set) or interrupted (Ctrl-C "
             "came first); then a line that counts them. An entry may \"select\" devices instead of naming one, and "
             "values may number them: {n}, {n:03}, {n+10}, {mac}, {id}. Exit 0 when every device is updated or "
             "unchanged, 5 otherwise.\n\n"
             "Plan:\n"
             "  {\"defaults\": {\"password\": \"\", \"set\": {\"port1.baud\": \"115200\"}},\n"
             "   \"devices\": [{\"device\": \"00-50-C2-00-00-03\", \"set\": {\"deviceId\": \"Pump-7\"}},\n"
             "               {\"device\": \"192.168.1.41\", \"password\": \"secret\",\n"
             "                \"set\": {\"COM2_Baud\": \"19200\"}}]}\n"
             "A device is named by MAC text, MAC field or IP address; a field by its tag or its role (linkvane-cli "
             "help set lists the roles); its password and set entries override the defaults, which apply to each "
             "device only the fields its window has (the others are listed as skipped); \"window\" (as export writes "
             "it) refuses a device that opens another window. A secret "
             "field given as *** is left as it is. The password of a device is the plan's, else the one of "
             "--password, --password-file, LINKVANE_PASSWORD or the terminal."),
         {{QStringLiteral("PLAN.json"),
           QStringLiteral("the plan: a JSON file as export writes it (or CSV: see --format), - for standard "
                          "input (at most 64 MiB)"),
           QStringLiteral("PLAN.json")}},
         {{kOptParallel.name(), QStringLiteral("Up to N exchanges at once, each on its own socket (16)."),
           QStringLiteral("N")},
          {kOptSelect.name(),
           QStringLiteral("Only the devices that match EXPR: model=GLOB, id=GLOB, ip=CIDR or ip=FIRST-LAST, several "
                          "joined by \",\" must all match."),
           QStringLiteral("EXPR")},
          {kOptDryRun.name(),
           QStringLiteral("Search and ask every device for its configuration (both only read), then say what "
                          "would be sent; send no set command and change nothing on any device.")},
          {kOptForce.name(),
           QStringLiteral("Send the set command and the \"U \" commands also to devices that already match the plan.")},
          {kOptVerify.name(),
           QStringLiteral("After each device confirmed its Update, ask it for its configuration again (for up to "
                          "5 s, as a device may restart) and compare every field sent with what it reports; a "
                          "mismatch or no answer counts as failed (exit 5).")},
          {kOptBackup.name(),
           QStringLiteral("Before anything is sent, read every device of the plan and write to FILE (mode 0600, a "
                          "regular file or a new name) a plan that puts back what this one changes (each field as "
                          "loaded, passwords in clear). Nothing is sent if FILE cannot be written."),
           QStringLiteral("FILE")},
          {kOptFormat.name(),
           QStringLiteral("Read the plan as json or csv (a header row naming device, select, window, password "
                          "and the fields, then a row a device; an empty cell leaves the field alone). Default: "
                          "csv for a name ending in .csv, json otherwise."),
           QStringLiteral("FORMAT")}},
         runApply},
        {QStringLiteral("diagnose"),
         QStringLiteral("Show why a search finds what it finds, per network interface"),
         QStringLiteral(
             "Sends the search probe as search does and waits --wait ms. Then lists every network interface: up or "
             "down, its IPv4 addresses, whether it can broadcast, whether the probe left through it and how many "
             "answers (and search answers) came back there; then the command port and, when no device answered, "
             "the likely causes. Exit 0 when a device answered, 3 when none did."),
         {},
         {},
         runDiagnose},
    };
    return commands;
}

std::optional<QString> Command::operandCountRefusal(qsizetype count) const
{
    int least = 0;
    int most = 0;
    for (const Operand& operand : operands) {
        least += operand.least;
        most = most < 0 || operand.most < 0 ? -1 : most + operand.most;
    }
    if (count >= least && (most < 0 || count <= most))
        return std::nullopt;
    if (operands.isEmpty())
        return name + QStringLiteral(" takes no operands");
    // "one DEVICE", "at most one COMMAND", "DEVICE and NEW_MAC", "DEVICE and any number of NAME=VALUE".
    QStringList parts;
    for (const Operand& operand : operands) {
        QString part;
        if (operand.least == 0 && operand.most < 0)
            part = QStringLiteral("any number of ");
        else if (operand.least == 0)
            part = QStringLiteral("at most one ");
        else if (operand.most < 0)
            part = QStringLiteral("one or more ");
        else if (operands.size() == 1)
            part = QStringLiteral("one ");
        parts.append(part + operand.name);
    }
    return name + QStringLiteral(" takes ") + parts.join(QStringLiteral(" and "));
}

const Command* findCommand(const QString& name)
{
    for (const Command& command : commandRegistry())
        if (command.name == name)
            return &command;
    return nullptr;
}

} // namespace lv
