// SPDX-License-Identifier: Apache-2.0
// linkvane-cli's help: wrapped to the width it is read at, one line per command in the list, the
// help command, and one line naming the nearest name for a mistyped command or option.

#include "cli.h"
#include "clirun.h"
#include "command.h"
#include "helpformat.h"

#include <QJsonObject>
#include <QTextStream>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

struct HelpRun {
    int code = 0;
    QString out;
    QString err;
};

HelpRun run(const QStringList& args)
{
    HelpRun r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.code = lv::runCli(args, out, err);
    out.flush();
    err.flush();
    return r;
}

QStringList commandNames()
{
    QStringList names;
    for (const auto& command : lv::commandRegistry())
        names.append(command.name);
    return names;
}

// The lines of `text` longer than `width`, for the failure message. A line end written as CR LF
// (Windows) counts as a line end.
QStringList linesLongerThan(const QString& text, int width)
{
    QStringList longer;
    for (const QString& line : QString(text).remove(QLatin1Char('\r')).split(QLatin1Char('\n')))
        if (line.size() > width)
            longer.append(line);
    return longer;
}

class HelpWidth : public ::testing::TestWithParam<int> {};

// Every help page fits the width, and wrapping lost no word of what the definitions say.
TEST_P(HelpWidth, EveryPageFitsAndKeepsItsText)
{
    const int width = GetParam();
    const QString general = lv::usageText(width);
    EXPECT_TRUE(linesLongerThan(general, width).isEmpty()) << linesLongerThan(general, width).join(QLatin1Char('\n'));
    for (const auto& command : lv::commandRegistry()) {
        const QString help = lv::commandHelpText(command, width);
        EXPECT_TRUE(linesLongerThan(help, width).isEmpty()) << command.name << ":\n"
                                                            << linesLongerThan(help, width).join(QLatin1Char('\n'));
        const QString flat = help.simplified();
        EXPECT_TRUE(flat.contains(command.description.simplified())) << command.name;
        for (const lv::Operand& operand : command.operands)
            EXPECT_TRUE(flat.contains(operand.description.simplified())) << command.name << " " << operand.name;
        for (const QCommandLineOption& option : command.options)
            EXPECT_TRUE(flat.contains(option.description().simplified()))
                << command.name << " " << option.names().front();
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, HelpWidth, ::testing::Values(40, 60, 80, 132));

// Into a pipe (not a terminal) the program wraps its help to 80 columns: linkvane-cli --help and
// every COMMAND --help, as a script or `| less` reads them.
TEST(HelpIntoAPipe, FitsEightyColumns)
{
    for (const QString& name : QStringList{QString()} + commandNames()) {
        const QStringList args =
            name.isEmpty() ? QStringList{QStringLiteral("--help")} : QStringList{name, QStringLiteral("--help")};
        const CliRun r = runCli(args);
        ASSERT_TRUE(r.finished) << name;
        EXPECT_EQ(r.exitCode, 0) << name;
        const QString out = QString::fromUtf8(r.out);
        EXPECT_TRUE(out.startsWith(QStringLiteral("usage: linkvane-cli"))) << out;
        EXPECT_TRUE(linesLongerThan(out, 80).isEmpty()) << name << ":\n"
                                                        << linesLongerThan(out, 80).join(QLatin1Char('\n'));
    }
}

// The list of commands gives each one line: name and summary, at 80 columns.
TEST(CommandList, OneLinePerCommand)
{
    const QString help = lv::usageText(80);
    for (const auto& command : lv::commandRegistry()) {
        const QString line = QStringLiteral("  ") + command.name;
        const qsizetype at = help.indexOf(line + QLatin1Char(' '));
        ASSERT_GE(at, 0) << command.name;
        const QString whole = help.mid(at, help.indexOf(QLatin1Char('\n'), at) - at);
        EXPECT_TRUE(whole.endsWith(command.summary)) << whole;
    }
}

struct WrapCase {
    const char* name;
    QString text;
    int width;
    int firstIndent;
    int indent;
    QString expected;
};

void PrintTo(const WrapCase& c, std::ostream* os)
{
    *os << c.name;
}

class WrapText : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapText, Lays)
{
    const WrapCase& c = GetParam();
    EXPECT_EQ(lv::wrapText(c.text, c.width, c.firstIndent, c.indent), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WrapText,
    ::testing::Values(
        WrapCase{"FitsAsItIs", QStringLiteral("one two three"), 13, 0, 0, QStringLiteral("one two three")},
        WrapCase{"BreaksAtTheLastSpaceThatFits", QStringLiteral("one two three"), 12, 0, 0,
                 QStringLiteral("one two\nthree")},
        WrapCase{"HangingIndent", QStringLiteral("aaa bbb ccc"), 8, 2, 4, QStringLiteral("  aaa\n    bbb\n    ccc")},
        WrapCase{"LongWordStandsAlone", QStringLiteral("a 0123456789 b"), 6, 0, 0, QStringLiteral("a\n0123456789\nb")},
        WrapCase{"KeepsParagraphs", QStringLiteral("aa bb\n\ncc\n"), 80, 0, 0, QStringLiteral("aa bb\n\ncc\n")},
        WrapCase{"KeepsALaidOutLineThatFits", QStringLiteral("x:\n  {\"a\":   1}"), 20, 0, 0,
                 QStringLiteral("x:\n  {\"a\":   1}")},
        WrapCase{"WrapsALaidOutLineUnderItsStart", QStringLiteral("  aaa bbb ccc"), 10, 0, 0,
                 QStringLiteral("  aaa bbb\n    ccc")}),
    [](const auto& p) { return std::string(p.param.name); });

struct NearCase {
    const char* typed;
    const char* expected; // null: no suggestion
};

class NearestCommand : public ::testing::TestWithParam<NearCase> {};

TEST_P(NearestCommand, IsTheFewestEditsAway)
{
    const std::optional<QString> nearest = lv::nearestName(QString::fromLatin1(GetParam().typed), commandNames());
    if (GetParam().expected)
        EXPECT_EQ(nearest.value_or(QStringLiteral("(none)")), QString::fromLatin1(GetParam().expected));
    else
        EXPECT_FALSE(nearest.has_value()) << nearest->toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, NearestCommand,
                         ::testing::Values(NearCase{"serch", "search"}, NearCase{"sarech", "search"},
                                           NearCase{"sett", "set"}, NearCase{"set-mca", "set-mac"},
                                           NearCase{"SHOW", "show"}, NearCase{"exprot", "export"},
                                           NearCase{"get", "set"}, NearCase{"frobnicate", nullptr},
                                           NearCase{"x", nullptr}, NearCase{"xyz", nullptr},
                                           NearCase{"dump", nullptr}));

struct Mistyped {
    const char* name;
    QStringList args;
    const char* says;
};

void PrintTo(const Mistyped& m, std::ostream* os)
{
    *os << m.name;
}

class MistypedArguments : public ::testing::TestWithParam<Mistyped> {};

// A mistyped command or option is answered with one line on standard error and exit 1, not the
// whole help.
TEST_P(MistypedArguments, GetOneLineWithTheNearestName)
{
    const HelpRun r = run(GetParam().args);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("linkvane-cli: "))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromLatin1(GetParam().says))) << r.err.toStdString();
    // With --json the same line also comes as the one document on standard output.
    const HelpRun json = run(QStringList{QStringLiteral("--json")} + GetParam().args);
    EXPECT_EQ(json.err, r.err);
    const QJsonObject error = parseJson(json.out.toUtf8()).object()[QStringLiteral("error")].toObject();
    EXPECT_EQ(error[QStringLiteral("exit")].toInt(), 1) << json.out.toStdString();
    EXPECT_EQ(QStringLiteral("linkvane-cli: ") + error[QStringLiteral("message")].toString() + QLatin1Char('\n'), r.err)
        << json.out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MistypedArguments,
    ::testing::Values(
        Mistyped{"Command", {QStringLiteral("serch")}, "did you mean `search`?"},
        Mistyped{"FarCommand", {QStringLiteral("frobnicate")}, "unknown command `frobnicate`"},
        Mistyped{"HelpOfAMistypedCommand", {QStringLiteral("help"), QStringLiteral("serch")}, "did you mean `search`?"},
        Mistyped{"GlobalOption", {QStringLiteral("--jsn"), QStringLiteral("search")}, "did you mean --json?"},
        Mistyped{"CommandsOption",
                 {QStringLiteral("search"), QStringLiteral("--expct"), QStringLiteral("3")},
                 "did you mean --expect?"},
        Mistyped{"GlobalOptionAfterTheCommand",
                 {QStringLiteral("show"), QStringLiteral("--verbos")},
                 "did you mean --verbose?"},
        Mistyped{"MissingValue", {QStringLiteral("--port")}, "--port"}, Mistyped{"NoCommand", {}, "no command given"}),
    [](const auto& p) { return std::string(p.param.name); });

// help and help COMMAND say what --help and COMMAND --help say, and exit 0; the list keeps its order.
TEST(HelpCommand, IsTheSameAsTheHelpOption)
{
    EXPECT_EQ(commandNames().join(QLatin1Char(' ')),
              QStringLiteral("help search show set set-mac export apply diagnose"));
    const HelpRun list = run({QStringLiteral("help")});
    EXPECT_EQ(list.code, 0);
    EXPECT_EQ(list.out, run({QStringLiteral("--help")}).out);
    EXPECT_TRUE(list.err.isEmpty()) << list.err.toStdString();
    for (const QString& name : commandNames()) {
        const HelpRun one = run({QStringLiteral("help"), name});
        EXPECT_EQ(one.code, 0) << name;
        EXPECT_EQ(one.out, run({name, QStringLiteral("--help")}).out) << name;
        EXPECT_TRUE(one.out.startsWith(QStringLiteral("usage: linkvane-cli [global options] ") + name)) << name;
    }
}

// --dry-run says it reads from the devices but changes nothing.
TEST(DryRunHelp, SaysItReadsButChangesNothing)
{
    for (const char* name : {"set", "apply"}) {
        const lv::Command* command = lv::findCommand(QString::fromLatin1(name));
        ASSERT_NE(command, nullptr);
        bool found = false;
        for (const QCommandLineOption& option : command->options) {
            if (option.names().front() != QStringLiteral("dry-run"))
                continue;
            found = true;
            EXPECT_TRUE(option.description().contains(QStringLiteral("only read"))) << name;
            EXPECT_TRUE(option.description().contains(QStringLiteral("change nothing"))) << name;
        }
        EXPECT_TRUE(found) << name;
    }
}

} // namespace

namespace {

// A wrong number of operands is refused by the registry before the command runs (so before any search),
// in the command's own words.
TEST(OperandCount, IsRefusedBeforeTheCommandRuns)
{
    struct Row {
        std::vector<const char*> args;
        const char* refusal;
    };
    const Row rows[] = {
        {{"search", "x"}, "search takes no operands"},
        {{"diagnose", "x"}, "diagnose takes no operands"},
        {{"show"}, "show takes one DEVICE"},
        {{"show", "a", "b"}, "show takes one DEVICE"},
        {{"set"}, "set takes DEVICE and any number of NAME=VALUE"},
        {{"set-mac", "00-50-C2-00-00-01"}, "set-mac takes DEVICE and NEW_MAC"},
        {{"apply"}, "apply takes one PLAN.json"},
        {{"help", "show", "set"}, "help takes at most one COMMAND"},
    };
    for (const Row& row : rows) {
        QStringList args{QStringLiteral("--port"), QStringLiteral("9")};
        for (const char* arg : row.args)
            args.append(QString::fromLatin1(arg));
        const HelpRun r = run(args);
        EXPECT_EQ(r.code, 1) << row.refusal;
        EXPECT_EQ(r.err.trimmed(), QStringLiteral("linkvane-cli: ") + QString::fromLatin1(row.refusal))
            << r.err.toStdString();
    }
}

class FleetCommandHelp : public ::testing::TestWithParam<const char*> {};

TEST_P(FleetCommandHelp, ComesFromTheCommandsDefinition)
{
    const lv::Command* command = lv::findCommand(QString::fromLatin1(GetParam()));
    ASSERT_NE(command, nullptr);
    const HelpRun r = run({QString::fromLatin1(GetParam()), QStringLiteral("--help")});
    EXPECT_EQ(r.code, 0);
    const QString& out = r.out;
    EXPECT_TRUE(out.startsWith(QStringLiteral("usage: linkvane-cli [global options] ") + command->name))
        << out.toStdString();
    // The help is wrapped to the terminal: compared with spaces and line ends made alike.
    const QString flat = out.simplified();
    EXPECT_TRUE(flat.contains(command->description.simplified())) << out.toStdString();
    for (const lv::Operand& operand : command->operands)
        EXPECT_TRUE(flat.contains(operand.description.simplified())) << operand.name.toStdString();
    ASSERT_FALSE(command->options.isEmpty());
    for (const QCommandLineOption& option : command->options) {
        EXPECT_TRUE(out.contains(QStringLiteral("--") + option.names().front())) << out.toStdString();
        EXPECT_TRUE(flat.contains(option.description().simplified())) << option.names().front().toStdString();
    }
    // The general help lists the command too.
    EXPECT_TRUE(lv::usageText().contains(QStringLiteral("  ") + command->name));
}

INSTANTIATE_TEST_SUITE_P(Commands, FleetCommandHelp, ::testing::Values("apply", "export", "search"));

} // namespace
