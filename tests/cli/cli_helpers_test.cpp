// SPDX-License-Identifier: Apache-2.0
// The CLI's own rules, in process: how DEVICE is read, how single-byte text is written for a terminal and as JSON.

#include "cli.h"
#include "clirun.h"
#include "deviceselector.h"
#include "globaloptions.h"
#include "interfacename.h"
#include "modeltable.h"
#include "operands.h"
#include "outcometexts.h"
#include "output.h"
#include "printers.h"
#include "typedvalue.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "catalogue.h"

#include <gtest/gtest.h>

namespace {

using lv::DeviceSelector;

struct SelectorCase {
    const char* text;
    bool valid;
    DeviceSelector::Kind kind;
    const char* normalised;
};

class DeviceSelectorTest : public ::testing::TestWithParam<SelectorCase> {};

TEST_P(DeviceSelectorTest, ReadsTheThreeFormsAndRefusesTheRest)
{
    const SelectorCase& c = GetParam();
    const std::optional<DeviceSelector> selector = lv::parseDeviceSelector(QString::fromLatin1(c.text));
    ASSERT_EQ(selector.has_value(), c.valid) << c.text;
    if (!c.valid)
        return;
    EXPECT_EQ(selector->kind, c.kind);
    EXPECT_EQ(selector->text, c.normalised);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, DeviceSelectorTest,
    ::testing::Values(SelectorCase{"00-50-C2-01-02-03", true, DeviceSelector::Kind::MacText, "00-50-C2-01-02-03"},
                      SelectorCase{"00-50-c2-0a-0b-ff", true, DeviceSelector::Kind::MacText, "00-50-C2-0A-0B-FF"},
                      SelectorCase{"0-50-C2-1-2-3", true, DeviceSelector::Kind::MacText, "00-50-C2-01-02-03"},
                      SelectorCase{"00:50:C2:01:02:03", true, DeviceSelector::Kind::MacText, "00-50-C2-01-02-03"},
                      SelectorCase{"0.80.194.1.2.3", true, DeviceSelector::Kind::MacField, "00-50-C2-01-02-03"},
                      SelectorCase{" 192.168.1.20 ", true, DeviceSelector::Kind::Ip, "192.168.1.20"},
                      SelectorCase{"00-50-C2-01-02", false, DeviceSelector::Kind::MacText, ""},
                      SelectorCase{"00-50-C2-01-02-123", false, DeviceSelector::Kind::MacText, ""},
                      SelectorCase{"00-50-C2-01-02-GG", false, DeviceSelector::Kind::MacText, ""},
                      SelectorCase{"0.80.194.1.2.256", false, DeviceSelector::Kind::MacField, ""},
                      SelectorCase{"192.168.1.256", false, DeviceSelector::Kind::Ip, ""},
                      SelectorCase{"device-one", false, DeviceSelector::Kind::Ip, ""},
                      SelectorCase{"", false, DeviceSelector::Kind::Ip, ""}));

TEST(DeviceMatch, MacFormsMatchTheReplyWhateverTheCaseAndIpMatchesExactly)
{
    const std::string reply = "AX 0.80.194.1.2.3/192.168.1.20/DEV\r";
    const auto matches = [&](const char* text) {
        return lv::deviceMatches(*lv::parseDeviceSelector(QString::fromLatin1(text)), reply);
    };
    EXPECT_TRUE(matches("00-50-c2-01-02-03"));
    EXPECT_TRUE(matches("0.80.194.1.2.3"));
    EXPECT_TRUE(matches("192.168.1.20"));
    EXPECT_FALSE(matches("00-50-C2-01-02-04"));
    EXPECT_FALSE(matches("192.168.1.2"));
    EXPECT_FALSE(lv::deviceMatches(*lv::parseDeviceSelector(QStringLiteral("192.168.1.20")), "BX 0.80.194.1.2.3/x/y"));
}

TEST(JsonOutput, CarriesEveryByteOfASetCommandThroughTheDocument)
{
    using namespace std::string_literals;
    const std::string sent = "S a/b/\0/<T>q\"b\\s\r\n\x1f caf\xe9</T>"s;
    QString text;
    QTextStream out(&text);
    QString err;
    QTextStream errs(&err);
    lv::Output output(out, errs);
    output.document(QJsonObject{{QStringLiteral("sent"), lv::jsonText(sent)}});
    out.flush();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
    EXPECT_EQ(doc.object()[QStringLiteral("sent")].toString().toLatin1().toStdString(), sent);
    EXPECT_TRUE(text.contains(QLatin1String("\\u0000"))) << text.toStdString();
}

// The search listing is written straight from the replies' bytes; it must be the document Output writes
// for the same array of objects, byte for byte, whatever bytes a device sends.
TEST(JsonRecords, WritesWhatQJsonDocumentWritesForTheSameRecords)
{
    using namespace std::string_literals;
    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.push_back(static_cast<char>(b));
    const std::vector<std::vector<std::string>> listings{
        {},
        {"plain"},
        {everyByte, ""s, "q\"uote\\back/slash"s, "\x7f\x80\x9f\xa0\xff caf\xe9"s, std::string(3000, 'x') + "\0"s},
    };
    for (const std::vector<std::string>& texts : listings) {
        lv::JsonRecords records;
        QJsonArray array;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            records.beginRecord();
            records.field("conflict", i % 2 == 1);
            records.field("deviceId", texts[i]);
            records.field("ip", texts[texts.size() - 1 - i]);
            records.endRecord();
            array.append(QJsonObject{{QStringLiteral("conflict"), i % 2 == 1},
                                     {QStringLiteral("deviceId"), lv::jsonText(texts[i])},
                                     {QStringLiteral("ip"), lv::jsonText(texts[texts.size() - 1 - i])}});
        }
        EXPECT_EQ(records.finish(),
                  lv::escapeJsonControls(QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString()))
            << texts.size() << " records";
    }
}

// What QJsonDocument leaves raw and a terminal would obey is written as \uNNNN; the rest stays as it is.
struct JsonControlCase {
    const char* name;
    QString value;
    const char* written; // the value as the document holds it
};

class JsonControls : public ::testing::TestWithParam<JsonControlCase> {};

TEST_P(JsonControls, AreEscapedInTheDocument)
{
    QString text;
    QTextStream out(&text);
    QTextStream errs(&text);
    lv::Output output(out, errs);
    output.document(QJsonObject{{QStringLiteral("v"), GetParam().value}});
    out.flush();
    EXPECT_TRUE(text.toUtf8().contains(QByteArray("\"v\": \"").append(GetParam().written).append('"'))) << text;
    EXPECT_EQ(QJsonDocument::fromJson(text.toUtf8())[QStringLiteral("v")].toString(), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, JsonControls,
    ::testing::Values(JsonControlCase{"Delete", QStringLiteral("a\x7f"), "a\\u007f"},
                      JsonControlCase{"C1", QString(QChar(0x80)) + QChar(0x9b) + QChar(0x9f), "\\u0080\\u009b\\u009f"},
                      JsonControlCase{"ArabicLetterMark", QString(QChar(0x061c)), "\\u061c"},
                      JsonControlCase{"Marks", QString(QChar(0x200e)) + QChar(0x200f), "\\u200e\\u200f"},
                      JsonControlCase{"Embeddings", QString(QChar(0x202a)) + QChar(0x202e), "\\u202a\\u202e"},
                      JsonControlCase{"Isolates", QString(QChar(0x2066)) + QChar(0x2069), "\\u2066\\u2069"},
                      JsonControlCase{"Separators", QString(QChar(0x2028)) + QChar(0x2029), "\\u2028\\u2029"},
                      // Their neighbours in UTF-8 are plain text.
                      JsonControlCase{"Kept", QString::fromUtf8("\u00a0\u00e9\u061b\u200d\u2010\u2065\u206a"),
                                      "\u00a0\u00e9\u061b\u200d\u2010\u2065\u206a"}),
    [](const auto& p) { return std::string(p.param.name); });

// Interface names: Qt reads a Unix name's bytes as Latin-1; the CLI shows and matches them as the system
// spells them (UTF-8), and a name that is no UTF-8 stays as Qt read it.
struct InterfaceNameCase {
    const char* name;
    QByteArray bytes;   // the name as the kernel holds it
    QString systemName; // as shown and typed
};

class InterfaceName : public ::testing::TestWithParam<InterfaceNameCase> {};

TEST_P(InterfaceName, IsShownAndMatchedAsTheSystemSpellsIt)
{
#if defined(_WIN32)
    GTEST_SKIP() << "Windows gives interface names as UTF-16";
#endif
    const QString qtName = QString::fromLatin1(GetParam().bytes); // as QNetworkInterface reads it
    EXPECT_EQ(lv::systemInterfaceName(qtName), GetParam().systemName);
    EXPECT_EQ(lv::interfaceNameBytes(qtName), GetParam().bytes);
    if (GetParam().bytes == GetParam().systemName.toUtf8()) {
        EXPECT_EQ(lv::qtInterfaceName(GetParam().systemName), qtName);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, InterfaceName,
                         ::testing::Values(InterfaceNameCase{"Ascii", "eth0", QStringLiteral("eth0")},
                                           InterfaceNameCase{"Utf8", "caf\xc3\xa9\xc2\x80",
                                                             QString::fromUtf8("caf\u00e9\u0080")},
                                           InterfaceNameCase{"NotUtf8", "caf\xe9", QString::fromLatin1("caf\xe9")}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(PrintableText, ShowsControlBytesAsEscapes)
{
    using namespace std::string_literals;
    EXPECT_EQ(lv::printableText("a\0b\\c\x7f"s), QStringLiteral("a\\x00b\\\\c\\x7f"));
    // C1 controls steer terminals as much as C0 ones; Latin-1 letters stay as they are.
    EXPECT_EQ(lv::printableText("\x80\x9b[2J\x9f\xa0\xe9"), QStringLiteral("\\x80\\x9b[2J\\x9f\u00a0\u00e9"));
}

} // namespace

namespace cmd {

struct CliRun {
    int code = 0;
    QString out;
    QString err;
};

CliRun runInProcess(const QStringList& args)
{
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.code = lv::runCli(args, out, err);
    out.flush();
    err.flush();
    return run;
}

struct HelpCase {
    const char* command;
    std::vector<const char*> has;
    std::vector<const char*> hasNot;
};

class CommandHelp : public ::testing::TestWithParam<HelpCase> {};

// Each command's help is made from its own definition: its options are there, other commands' are not.
TEST_P(CommandHelp, ComesFromTheCommandsDefinition)
{
    const HelpCase& c = GetParam();
    const CliRun run = runInProcess({QString::fromLatin1(c.command), QStringLiteral("--help")});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(
        run.out.startsWith(QStringLiteral("usage: linkvane-cli [global options] ") + QString::fromLatin1(c.command)))
        << run.out.toStdString();
    for (const char* text : c.has)
        EXPECT_TRUE(run.out.contains(QString::fromLatin1(text))) << c.command << ": " << text;
    for (const char* text : c.hasNot)
        EXPECT_FALSE(run.out.contains(QString::fromLatin1(text))) << c.command << ": " << text;
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandHelp,
                         ::testing::Values(HelpCase{"search", {"--wait MS", "--json"}, {"--dry-run", "DEVICE"}},
                                           HelpCase{"show", {"DEVICE", "--timeout MS"}, {"--dry-run"}},
                                           HelpCase{"set", {"DEVICE", "NAME=VALUE...", "--dry-run"}, {}}),
                         [](const auto& p) { return std::string(p.param.command); });

struct RefusedArgs {
    const char* name;
    QStringList args;
};

class CommandRefused : public ::testing::TestWithParam<RefusedArgs> {};

// Wrong arguments end with exit 1 before anything is sent (no simulator needed: nothing goes out).
TEST_P(CommandRefused, ExitsOneWithAMessage)
{
    const CliRun run = runInProcess(GetParam().args);
    EXPECT_EQ(run.code, 1) << run.out.toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("linkvane-cli: "))) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandRefused,
    ::testing::Values(
        RefusedArgs{"OptionOfAnotherCommand", {QStringLiteral("search"), QStringLiteral("--dry-run")}},
        RefusedArgs{"UnknownCommand", {QStringLiteral("frobnicate")}}, RefusedArgs{"NoCommand", {}},
        RefusedArgs{"UnknownGlobalOption", {QStringLiteral("--nope"), QStringLiteral("search")}},
        RefusedArgs{"BadPort", {QStringLiteral("--port"), QStringLiteral("70000"), QStringLiteral("search")}},
        RefusedArgs{"SetWithoutDevice", {QStringLiteral("set")}},
        RefusedArgs{"ExportWithoutDevice", {QStringLiteral("export")}},
        RefusedArgs{"ExportDevicesAndAll",
                    {QStringLiteral("export"), QStringLiteral("1.2.3.4"), QStringLiteral("--all")}},
        RefusedArgs{"ApplyWithoutPlan", {QStringLiteral("apply")}},
        RefusedArgs{
            "ApplyNoParallel",
            {QStringLiteral("apply"), QStringLiteral("p.json"), QStringLiteral("--parallel"), QStringLiteral("0")}},
        RefusedArgs{"ApplyMissingPlan", {QStringLiteral("apply"), QStringLiteral("/nonexistent/plan.json")}},
        RefusedArgs{"SearchExpectNone", {QStringLiteral("search"), QStringLiteral("--expect"), QStringLiteral("0")}},
        RefusedArgs{"SearchIdleNotANumber",
                    {QStringLiteral("search"), QStringLiteral("--idle"), QStringLiteral("soon")}},
        RefusedArgs{"PasswordFileMissing",
                    {QStringLiteral("--password-file"), QStringLiteral("/nonexistent/pw"), QStringLiteral("search")}},
        RefusedArgs{"SetChangeWithoutEquals",
                    {QStringLiteral("set"), QStringLiteral("1.2.3.4"), QStringLiteral("DeviceID")}},
        RefusedArgs{"ShowTwoDevices", {QStringLiteral("show"), QStringLiteral("1.2.3.4"), QStringLiteral("1.2.3.5")}}),
    [](const auto& p) { return std::string(p.param.name); });

// Each global option takes the ends of its range and refuses what lies just past them.
struct BoundCase {
    const char* name;
    QStringList args;
    bool refused;
};

class GlobalOptionBound : public ::testing::TestWithParam<BoundCase> {};

TEST_P(GlobalOptionBound, TakesItsRangeAndNoMore)
{
    QCommandLineParser parser;
    parser.addOptions(lv::globalOptionList());
    ASSERT_TRUE(parser.parse(QStringList{QStringLiteral("linkvane-cli")} + GetParam().args));
    lv::GlobalOptions options;
    const std::optional<QString> refusal = lv::readGlobalOptions(parser, options);
    EXPECT_EQ(refusal.has_value(), GetParam().refused) << refusal.value_or(QString()).toStdString();
}

QStringList option(const char* name, const char* value)
{
    return {QLatin1String(name), QLatin1String(value)};
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, GlobalOptionBound,
    ::testing::Values(BoundCase{"Port65535", option("--port", "65535"), false},
                      BoundCase{"Port65536", option("--port", "65536"), true},
                      BoundCase{"Timeout1", option("--timeout", "1"), false},
                      BoundCase{"Timeout0", option("--timeout", "0"), true},
                      BoundCase{"Timeout600000", option("--timeout", "600000"), false},
                      BoundCase{"Timeout600001", option("--timeout", "600001"), true},
                      BoundCase{"Wait0", option("--wait", "0"), false},
                      BoundCase{"Wait600001", option("--wait", "600001"), true},
                      BoundCase{"Retries10", option("--retries", "10"), false},
                      BoundCase{"Retries11", option("--retries", "11"), true},
                      BoundCase{"QuietAndVerbose", {QStringLiteral("--quiet"), QStringLiteral("--verbose")}, true}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace cmd

// NAME=VALUE as typed into a loaded KR-770A window: accepted, or refused with the reason the CLI prints.
namespace {

struct TypedCase {
    const char* name;
    QString tag;
    QString value;
    QString refusal; // empty: accepted; a trailing "*" matches any rest
};

void PrintTo(const TypedCase& c, std::ostream* os)
{
    *os << c.name;
}

class TypedValue : public ::testing::TestWithParam<TypedCase> {};

// What the window says of NAME=VALUE typed into the form; nothing when it takes it.
std::optional<QString> refusalText(lv::SetupForm& form, const QString& name, const QString& value)
{
    const std::optional<lv::TypedRefusal> refusal = lv::applyTypedValue(form, name, value);
    return refusal ? std::optional<QString>(lv::typedRefusalText(*refusal, form.window())) : std::nullopt;
}

TEST_P(TypedValue, IsTakenOrRefusedWithItsReason)
{
    const TypedCase& c = GetParam();
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-770A");
    const lv::ModelDispatch dispatch = lv::dispatchModel("KR-770A");
    ASSERT_NE(dispatch.windowDef, nullptr);
    lv::SetupForm form(*dispatch.windowDef);
    form.load(device.configurationReply().text, dispatch.portCount);
    const std::optional<QString> refused = refusalText(form, c.tag, c.value);
    if (c.refusal.isEmpty()) {
        EXPECT_FALSE(refused.has_value()) << refused->toStdString();
    } else if (c.refusal.endsWith(QLatin1Char('*'))) {
        ASSERT_TRUE(refused.has_value());
        EXPECT_TRUE(refused->startsWith(c.refusal.chopped(1))) << refused->toStdString();
    } else {
        EXPECT_EQ(refused, std::optional<QString>(c.refusal));
    }
}

QString sioBaudEnd()
{
    const lv::FieldDef* field = lv::findWindow("frmSetupKr770A")->fieldByTag("SIOBaud");
    return QStringLiteral("; or #0 to #%1)").arg(field->entries.size() - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypedValue,
    ::testing::Values(
        TypedCase{"ListLabel", QStringLiteral("SIOBaud"), QStringLiteral("115200"), {}},
        TypedCase{"ListIndex", QStringLiteral("SIOBaud"), QStringLiteral("#0"), {}},
        TypedCase{"Text", QStringLiteral("DeviceID"), QStringLiteral("Pump-7"), {}},
        TypedCase{"UnknownName", QStringLiteral("Bogus"), QStringLiteral("1"),
                  QStringLiteral("frmSetupKr770A has no field Bogus (fields: IPAddress, *")},
        TypedCase{"NoSuchEntry", QStringLiteral("SIOBaud"), QStringLiteral("12345"),
                  QStringLiteral("the list SIOBaud of frmSetupKr770A holds no 12345 (entries: *")},
        TypedCase{"CarriesItem", QStringLiteral("DeviceID"), QStringLiteral("a<IPAddress>b"),
                  QStringLiteral("the value of DeviceID holds the tag of an item (\"<...>\" or \"</...>\") or a "
                                 "marker of the reply (\"MODEL: \", \"VER:\"); the device would read other "
                                 "settings out of it")},
        TypedCase{"Nul", QStringLiteral("DeviceID"), QStringLiteral("a") + QChar(u'\0'),
                  QStringLiteral("the value of DeviceID holds a NUL; the device would end the value there")},
        TypedCase{"SecretHoldsACr", QStringLiteral("AccessPassword"), QStringLiteral("ab\rcd"),
                  QStringLiteral("the value of AccessPassword is a secret and holds a CR or LF*")},
        TypedCase{"NotLatin1", QStringLiteral("DeviceID"), QString::fromUtf8("Pumpe-\xe2\x82\xac"),
                  QStringLiteral("the value of DeviceID must be single-byte (Latin-1) text")}),
    [](const ::testing::TestParamInfo<TypedCase>& param) { return std::string(param.param.name); });

TEST(TypedValueList, NamesEveryEntryAndTheHighestIndex)
{
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-770A");
    const lv::ModelDispatch dispatch = lv::dispatchModel("KR-770A");
    lv::SetupForm form(*dispatch.windowDef);
    form.load(device.configurationReply().text, dispatch.portCount);
    const std::optional<QString> refused = refusalText(form, QStringLiteral("SIOBaud"), QStringLiteral("7"));
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->contains(QStringLiteral("115200, "))) << refused->toStdString();
    EXPECT_TRUE(refused->endsWith(sioBaudEnd())) << refused->toStdString();
}

} // namespace
