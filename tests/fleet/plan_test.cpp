// SPDX-License-Identifier: Apache-2.0
// The fleet's plans in process: reading them and their fault positions (as JSON and as CSV), selections,
// templates, and what a plan reaches among the devices a search found.

#include "csvplan.h"
#include "founddevices.h"
#include "plan.h"
#include "selection.h"
#include "targets.h"
#include "valuetemplate.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FleetPlan, DefaultsApplyToEveryDeviceAndTheDevicesOwnEntriesWin)
{
    const QByteArray text = R"({"defaults": {"password": "d", "set": {"SIOBaud": "115200", "DeviceID": "x"}},
        "devices": [{"device": "00-50-c2-00-00-03", "set": {"DeviceID": "Pump-7", "HostPort": 5000}},
                    {"device": "192.168.1.41", "password": "secret", "window": "frmSetupKr770A"},
                    {"device": "0.80.194.0.0.9", "password": ""}]})";
    QString error;
    const std::optional<lv::Plan> plan = lv::readPlanJson(text, &error);
    ASSERT_TRUE(plan) << error.toStdString();
    ASSERT_EQ(plan->entries.size(), 3u);
    const lv::PlanEntry& first = plan->entries[0];
    EXPECT_EQ(first.selector.kind, lv::DeviceSelector::Kind::MacText);
    EXPECT_EQ(first.selector.text, "00-50-C2-00-00-03");
    EXPECT_EQ(first.password, QStringLiteral("d"));
    // Whether an entry is the defaults' travels with it: the device's own DeviceID is not.
    EXPECT_EQ(first.set, (lv::SetEntries{{QStringLiteral("DeviceID"), QStringLiteral("Pump-7"), false},
                                         {QStringLiteral("SIOBaud"), QStringLiteral("115200"), true},
                                         {QStringLiteral("HostPort"), QStringLiteral("5000"), false}}));
    EXPECT_EQ(plan->entries[1].password, QStringLiteral("secret"));
    EXPECT_EQ(plan->entries[1].window, QStringLiteral("frmSetupKr770A"));
    EXPECT_EQ(plan->entries[1].selector.kind, lv::DeviceSelector::Kind::Ip);
    // An empty password of the device's own replaces the default one.
    EXPECT_EQ(plan->entries[2].password, QString());
    EXPECT_EQ(plan->entries[2].selector.kind, lv::DeviceSelector::Kind::MacField);

    const std::optional<lv::Plan> bare = lv::readPlanJson(R"({"devices": [{"device": "10.0.0.1"}]})", &error);
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->entries[0].password.has_value());
    EXPECT_TRUE(bare->entries[0].set.empty());

    // One field by its tag and its role with the same value says one thing twice: taken.
    EXPECT_TRUE(lv::readPlanJson(
        R"({"devices": [{"device": "10.0.0.1", "set": {"ip": "10.0.0.2", "IPAddress": "10.0.0.2"}}]})", &error))
        << error.toStdString();
}

TEST(FleetPlan, LineAndColumnCountFromOneAndCharactersNotBytes)
{
    const QByteArray text = "ab\n\xc3\xa4x\n";
    EXPECT_EQ(lv::lineAndColumn(text, 0), std::make_pair(1, 1));
    EXPECT_EQ(lv::lineAndColumn(text, 2), std::make_pair(1, 3));
    EXPECT_EQ(lv::lineAndColumn(text, 3), std::make_pair(2, 1));
    EXPECT_EQ(lv::lineAndColumn(text, 5), std::make_pair(2, 2)); // after the two bytes of one character
    EXPECT_EQ(lv::lineAndColumn(text, 99), std::make_pair(3, 1));
}

struct CsvRefusal {
    const char* name;
    const char* text;
    const char* message; // the start of the refusal
};

class CsvPlanRefusal : public ::testing::TestWithParam<CsvRefusal> {};

TEST_P(CsvPlanRefusal, SaysTheRowAndColumnAsASpreadsheetShowsThem)
{
    QString error;
    EXPECT_FALSE(lv::readPlanCsv(GetParam().text, &error));
    EXPECT_TRUE(error.startsWith(QString::fromUtf8(GetParam().message))) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CsvPlanRefusal,
    ::testing::Values(
        CsvRefusal{"Empty", "\xef\xbb\xbf", "row 1: no header row"},
        CsvRefusal{"QuoteNeverClosed", "device,DeviceID\n10.0.0.5,\"open\n", "row 2, column B: the quote that opens"},
        CsvRefusal{"TextAfterTheClosingQuote", "device\n\"10.0.0.5\"x\n", "row 2, column A: text after the quote"},
        CsvRefusal{"QuoteInAnUnquotedCell", "device,DeviceID\n10.0.0.5,a\"b\n", "row 2, column B: a quote inside"},
        CsvRefusal{"HeaderNameTwice", "device,DeviceID,DeviceID\n",
                   "row 1, column C (DeviceID): the header names it twice (also column B)"},
        CsvRefusal{"HeaderNameEmpty", "device,,DeviceID\n", "row 1, column B: the column has no name"},
        CsvRefusal{"RowLongerThanTheHeader", "device,DeviceID\n10.0.0.5,a,\n",
                   "row 2, column C: more cells than the header names columns (2)"},
        CsvRefusal{"ByteOrderMarkInACell", "device,password\n10.0.0.5,\xef\xbb\xbfpw\n",
                   "row 2, column B (password): must be single-byte"},
        CsvRefusal{"CellNotUtf8", "device,DeviceID\n10.0.0.5,\xe4\n",
                   "row 2, column B (DeviceID): the cell is not UTF-8"},
        // A line end inside quotes stays in its row; an empty line is a row of its own, skipped.
        CsvRefusal{"RowsAsShown", "device,DeviceID\n10.0.0.5,\"a\nb\"\n\nfoo,x\n",
                   "row 4, column A (device): \"foo\" is neither"},
        CsvRefusal{"SemicolonsAfterAByteOrderMark",
                   "\xef\xbb\xbf"
                   "device;SIOBaud\r\n10.0.0.5;9600\r\n10.0.0.5;\r\n",
                   "row 3, column A (device): 10.0.0.5 is named twice"},
        CsvRefusal{"CrLineEnds", "device,DeviceID\r10.0.0.5,a\r\r10.0.0.5,b",
                   "row 4, column A (device): 10.0.0.5 is named"},
        CsvRefusal{"DeviceCellEmpty", "DeviceID,device\nx\n", "row 2, column B (device): \"\" is neither"},
        CsvRefusal{"SecretField", "device,SetupPassword\n10.0.0.5,\"a\nb\"\n",
                   "row 2, column B (SetupPassword): a secret"},
        CsvRefusal{"PasswordWithoutLastLineEnd", "device,password\n10.0.0.5,\"a\rb\"",
                   "row 2, column B (password): a secret"},
        CsvRefusal{"TagAndRoleDiffer", "device,ip,IPAddress\n10.0.0.5,10.0.0.9,10.0.0.8\n",
                   "row 2: \"IPAddress\" and \"ip\" set the same field (IPAddress)"}),
    [](const ::testing::TestParamInfo<CsvRefusal>& param) { return std::string(param.param.name); });

TEST(CsvPlan, ExportWritesWhatApplyReadsBackWithEmptyCellsLeftOut)
{
    const std::vector<lv::CsvPlanRow> rows{{QStringLiteral("00-50-C2-00-00-01"),
                                            {{QStringLiteral("ip"), QStringLiteral("10.0.0.5")},
                                             {QStringLiteral("deviceId"), QStringLiteral("Hall 2, \"west\"")}}},
                                           {QStringLiteral("00-50-C2-00-00-02"),
                                            {{QStringLiteral("krDelay"), QStringLiteral("a\r\nb")},
                                             {QStringLiteral("ip"), QStringLiteral("caf\u00e9;")}}}};
    const QByteArray text = lv::csvPlanText(rows);
    EXPECT_EQ(text, QByteArray("device,ip,deviceId,krDelay\r\n"
                               "00-50-C2-00-00-01,10.0.0.5,\"Hall 2, \"\"west\"\"\",\r\n"
                               "00-50-C2-00-00-02,caf\xc3\xa9;,,\"a\r\nb\"\r\n"));
    QString error;
    const std::optional<lv::CsvTable> table = lv::readCsvTable(text, &error);
    ASSERT_TRUE(table) << error.toStdString();
    EXPECT_EQ(table->rows, (std::vector<int>{2, 3}));
    EXPECT_EQ(QJsonDocument(table->plan).toJson(QJsonDocument::Compact),
              QByteArray(
                  R"({"devices":[{"device":"00-50-C2-00-00-01","set":{"deviceId":"Hall 2, \"west\"","ip":"10.0.0.5"}},)"
                  R"({"device":"00-50-C2-00-00-02","set":{"ip":"caf)"
                  "\xc3\xa9"
                  R"(;","krDelay":"a\r\nb"}}]})"));

    // What a spreadsheet runs as a formula is written after an apostrophe, as is an apostrophe the reader takes away.
    std::vector<lv::CsvPlanRow> guarded;
    for (const char* v : {"=1", "+1", "-1", "@1", "\t1", "\r1", "'=1", "''", "'", "'a", "a\rb"})
        guarded.push_back({QString(), {{QStringLiteral("v"), QString::fromLatin1(v)}}});
    const QByteArray written = lv::csvPlanText(guarded);
    EXPECT_EQ(written, "device,v\r\n,'=1\r\n,'+1\r\n,'-1\r\n,'@1\r\n,'\t1\r\n,\"'\r1\"\r\n"
                       ",''=1\r\n,'''\r\n,'\r\n,'a\r\n,\"a\rb\"\r\n");
    const QJsonArray read = lv::readCsvTable(written, &error)->plan[QStringLiteral("devices")].toArray();
    for (std::size_t i = 0; i < guarded.size(); ++i)
        EXPECT_EQ(read[qsizetype(i)][QStringLiteral("set")][QStringLiteral("v")].toString(), guarded[i].set[0].second);

    // The entry's own columns, semicolons, a row of empty cells skipped, no last line end.
    const std::optional<lv::CsvTable> own =
        lv::readCsvTable("window;password;device\n;;\nfrmSetupKr770A;\"s;\"\"x\";10.0.0.5", &error);
    ASSERT_TRUE(own) << error.toStdString();
    EXPECT_EQ(own->rows, std::vector<int>{3});
    EXPECT_EQ(QJsonDocument(own->plan).toJson(QJsonDocument::Compact),
              QByteArray(R"({"devices":[{"device":"10.0.0.5","password":"s;\"x","window":"frmSetupKr770A"}]})"));
}

// A selection judges a device by its search answer (ID, address) and, when asked, its model.
struct SelectCase {
    const char* expression;
    const char* model;
    const char* id;
    const char* ip;
    bool matches;
};

class SelectionTest : public ::testing::TestWithParam<SelectCase> {};

TEST_P(SelectionTest, MatchesEveryCriterionOrNone)
{
    QString why;
    const auto selection = lv::parseSelection(QString::fromLatin1(GetParam().expression), &why);
    ASSERT_TRUE(selection) << why.toStdString();
    const lv::SearchReply reply{"0.80.194.0.0.3", "00-50-C2-00-00-03", GetParam().ip, GetParam().id};
    EXPECT_EQ(selection->matchesAnswer(reply) && selection->matchesModel(GetParam().model), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(Rows, SelectionTest,
                         ::testing::Values(SelectCase{"model=KR-77*", "KR-770A", "A", "10.0.0.1", true},
                                           SelectCase{"model=kr-770a", "KR-770A", "A", "10.0.0.1", true},
                                           SelectCase{"model=KR-77?", "KR-770A", "A", "10.0.0.1", false},
                                           SelectCase{"id=Hall2-[0-4]*", "X", "Hall2-105", "10.0.0.1", true},
                                           SelectCase{"id=Hall2-[!0-4]*", "X", "Hall2-105", "10.0.0.1", false},
                                           SelectCase{"id=hall2-*", "X", "Hall2-105", "10.0.0.1", false},
                                           SelectCase{"id=A\\*", "X", "A*", "10.0.0.1", true},
                                           SelectCase{"id=A\\*", "X", "AB", "10.0.0.1", false},
                                           SelectCase{"ip=10.20.0.0/24", "X", "A", "10.20.0.255", true},
                                           SelectCase{"ip=10.20.0.0/24", "X", "A", "10.20.1.0", false},
                                           SelectCase{"ip=10.20.0.11-10.20.0.60", "X", "A", "10.20.0.11", true},
                                           SelectCase{"ip=10.20.0.11-10.20.0.60", "X", "A", "10.20.0.60", true},
                                           SelectCase{"ip=10.20.0.11-10.20.0.60", "X", "A", "10.20.0.61", false},
                                           SelectCase{"ip=0.0.0.0/0", "X", "A", "255.255.255.255", true},
                                           SelectCase{"ip=10.20.0.7/32", "X", "A", "10.20.0.7", true},
                                           SelectCase{"ip=10.20.0.7/32", "X", "A", "10.20.0.6", false},
                                           SelectCase{"model=KR*,ip=10.0.0.0/8", "KR-700", "A", "11.0.0.1", false},
                                           SelectCase{"model=KR*,ip=10.0.0.0/8", "KR-700", "A", "10.9.0.1", true}));

struct SelectRefusal {
    const char* expression;
    const char* message;
};

class SelectionRefusal : public ::testing::TestWithParam<SelectRefusal> {};

TEST_P(SelectionRefusal, SaysWhatIsWrong)
{
    QString why;
    EXPECT_FALSE(lv::parseSelection(QString::fromLatin1(GetParam().expression), &why));
    EXPECT_TRUE(why.contains(QString::fromLatin1(GetParam().message))) << why.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Rows, SelectionRefusal,
                         ::testing::Values(SelectRefusal{"colour=red", "unknown selection key \"colour\""},
                                           SelectRefusal{"KR-770A", "is not KEY=VALUE"},
                                           SelectRefusal{"ip=10.20.0.0/33", "ip=10.20.0.0/33"},
                                           SelectRefusal{"ip=10.20.0.60-10.20.0.11", "ip="},
                                           SelectRefusal{"", "KEY=VALUE"}));

// Templates as a plan value holds them: what they become for the third device, or why they are refused.
struct TemplateCase {
    const char* value;
    const char* expanded; // nullptr: refused
    const char* fault = "";
};

class TemplateTest : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(TemplateTest, ExpandsForTheThirdDeviceOrIsRefused)
{
    const QString value = QString::fromLatin1(GetParam().value);
    const std::optional<QString> fault = lv::templateFault(value);
    if (!GetParam().expanded) {
        ASSERT_TRUE(fault);
        EXPECT_TRUE(fault->contains(QString::fromLatin1(GetParam().fault))) << fault->toStdString();
        return;
    }
    ASSERT_FALSE(fault) << fault->toStdString();
    const lv::TemplateValues values{3, "00-50-C2-00-00-0B", "DEV11"};
    EXPECT_EQ(lv::expandTemplates(value, values).toStdString(), GetParam().expanded);
    // What export writes of a literal value reads back as that value.
    EXPECT_EQ(lv::expandTemplates(lv::escapeTemplates(value), values), value);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TemplateTest,
    ::testing::Values(TemplateCase{"Hall2-{n}", "Hall2-3"}, TemplateCase{"Hall2-{n:03}", "Hall2-003"},
                      TemplateCase{"[{n:3}]", "[  3]"}, TemplateCase{"10.20.0.{n+10}", "10.20.0.13"},
                      TemplateCase{"{n+997:03}", "1000"}, TemplateCase{"{mac}/{id}", "00-50-C2-00-00-0B/DEV11"},
                      TemplateCase{"{{n}}", "{n}"}, TemplateCase{"plain", "plain"},
                      TemplateCase{"{n", nullptr, "not closed"}, TemplateCase{"a}b", nullptr, "lone \"}\""},
                      TemplateCase{"{x}", nullptr, "unknown template \"{x}\""},
                      TemplateCase{"{n-1}", nullptr, "unknown template"},
                      TemplateCase{"{n:}", nullptr, "unknown template"}));

// A device of a search's list, its answer read; `senders` hosts sent that answer.
lv::FoundDevice foundDevice(const std::string& mac, const std::string& ip, int senders = 1)
{
    const std::string raw = "AX 0.80.194." + mac + "/" + ip + "/D\r";
    std::vector<lv::DevicePeer> from;
    for (int i = 0; i < senders; ++i)
        from.emplace_back(0x7F000001u + static_cast<quint32>(i), quint16{4000});
    return lv::FoundDevice{lv::DeviceRef(raw), *lv::parseSearchReply(raw), from};
}

struct ReachCase {
    const char* name;
    const char* select; // empty: every device
    std::vector<std::string> ips;
    std::vector<bool> conflict;
};

class ReachedDevices : public ::testing::TestWithParam<ReachCase> {};

// Listed as the wire brought them: 1.2.9 twice (a second address), 1.2.3 from two hosts, 1.2.5 alone.
TEST_P(ReachedDevices, ComeInMacOrderEachWithItsConflict)
{
    const lv::FoundDevices devices{foundDevice("1.2.9", "10.0.0.9"), foundDevice("1.2.3", "10.0.0.3", 2),
                                   foundDevice("1.2.5", "10.0.0.5"), foundDevice("1.2.9", "10.0.0.19")};
    QString why;
    const std::optional<lv::DeviceSelection> selection =
        *GetParam().select ? lv::parseSelection(QString::fromLatin1(GetParam().select), &why) : lv::DeviceSelection{};
    ASSERT_TRUE(selection) << why.toStdString();
    std::vector<std::string> ips;
    std::vector<bool> conflict;
    for (const lv::ReachedDevice& reached : lv::reachedDevices(devices, *selection)) {
        ips.push_back(reached.device->answer.ip);
        conflict.push_back(!reached.conflict.isEmpty());
    }
    EXPECT_EQ(ips, GetParam().ips);
    EXPECT_EQ(conflict, GetParam().conflict);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ReachedDevices,
    ::testing::Values(
        ReachCase{"Every", "", {"10.0.0.3", "10.0.0.5", "10.0.0.9", "10.0.0.19"}, {true, false, true, true}},
        // The MAC's other line, not selected, still leaves it ambiguous.
        ReachCase{"OneLineOfATwin", "ip=10.0.0.19", {"10.0.0.19"}, {true}},
        ReachCase{"ARange", "ip=10.0.0.4-10.0.0.9", {"10.0.0.5", "10.0.0.9"}, {false, true}}),
    [](const auto& p) { return std::string(p.param.name); });

// --select narrows named devices too: one it does not match is left out and counted, not changed.
TEST(PlanTargets, SelectLeavesOutANamedDeviceItDoesNotMatch)
{
    const lv::FoundDevices devices{foundDevice("1.2.3", "10.0.0.3"), foundDevice("1.2.5", "10.0.0.5")};
    QString error;
    const std::optional<lv::Plan> plan =
        lv::readPlanJson(R"({"devices": [{"device": "00-50-C2-01-02-03"}, {"device": "10.0.0.5"}]})", &error);
    ASSERT_TRUE(plan) << error.toStdString();
    const lv::Expected<lv::Reach> reached =
        lv::reach(*plan, devices, lv::parseSelection(QStringLiteral("ip=10.0.0.5"), &error));
    ASSERT_TRUE(reached);
    const lv::Targets found = lv::targets(*plan, *reached, [](const lv::FoundDevice&) { return nullptr; });
    EXPECT_EQ(found.leftOut, 1);
    ASSERT_EQ(found.targets.size(), 1u);
    EXPECT_EQ(found.targets[0].entry, 1u);
    EXPECT_EQ(found.targets[0].device, &devices[1]);
}

} // namespace
