// SPDX-License-Identifier: Apache-2.0
// The single-port windows as built from the catalogue and filled by their loaders.

#include "formtestsupport.h"
#include "mnemonic.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <set>

namespace lv::test {
namespace {

QStringList entriesOf(const QComboBox* combo)
{
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    return entries;
}

QStringList toQt(const std::vector<std::string>& texts)
{
    QStringList list;
    for (const std::string& t : texts)
        list << QString::fromLatin1(t);
    return list;
}

const std::vector<std::string>& singlePortWindowNames()
{
    static const std::vector<std::string> names{"frmSetup",       "frmSetupPL700A", "frmSetupKr770A", "frmSetupKr787A",
                                                "frmSetupPL780A", "frmSetupPl778",  "frmSetupDn680",  "frmSetupDn687",
                                                "frmSetupDn690",  "frmSetupNDQ770"};
    return names;
}

class SinglePortForm : public ::testing::Test {
protected:
    SessionState m_state;
    CommandChannel m_channel{m_state};
};

TEST_F(SinglePortForm, EveryCatalogueFieldBecomesANamedControlWithItsCaption)
{
    std::set<std::string> seen;
    for (const WindowDef& def : windowCatalogue()) {
        if (def.isMultiPort())
            continue;
        seen.insert(def.name);
        SinglePortWindow window(def, m_channel);
        EXPECT_EQ(window.objectName(), QString::fromLatin1(def.name));
        for (const FieldDef& field : def.fields) {
            SCOPED_TRACE(def.name + "." + field.control);
            QWidget* widget = find<QWidget>(window, field.control.c_str());
            ASSERT_NE(widget, nullptr);
            EXPECT_EQ(widget, window.control(field.control));
            EXPECT_EQ(widget->isEnabled(), field.enabled);
            switch (field.kind) {
            case ControlKind::TextBox:
                EXPECT_TRUE(qobject_cast<QLineEdit*>(widget));
                break;
            case ControlKind::ComboBox: {
                auto* combo = qobject_cast<QComboBox*>(widget);
                ASSERT_NE(combo, nullptr);
                EXPECT_FALSE(combo->isEditable());
                EXPECT_EQ(entriesOf(combo), toQt(field.entries));
                break;
            }
            case ControlKind::Display:
                EXPECT_TRUE(qobject_cast<QLabel*>(widget));
                break;
            case ControlKind::Note: {
                auto* note = qobject_cast<QLineEdit*>(widget);
                ASSERT_NE(note, nullptr);
                EXPECT_TRUE(note->isReadOnly());
                EXPECT_EQ(note->text(), QString::fromLatin1(field.entries.at(0)));
                break;
            }
            }
            if (!field.label.empty()) {
                auto* label = find<QLabel>(window, ("lbl" + field.control).c_str());
                ASSERT_NE(label, nullptr);
                EXPECT_EQ(label->text(), QString::fromLatin1(field.label));
                EXPECT_EQ(label->isEnabled(), field.enabled);
            }
            if (!field.unit.empty()) {
                auto* unit = find<QLabel>(window, ("lbl" + field.control + "Unit").c_str());
                ASSERT_NE(unit, nullptr);
                EXPECT_EQ(unit->text(), QString::fromLatin1(field.unit));
            }
        }
        auto* update = find<QPushButton>(window, "cmdUpdate");
        auto* cancel = find<QPushButton>(window, "cmdCancel");
        ASSERT_TRUE(update && cancel);
        EXPECT_EQ(lv::shownCaption(update->text()), QStringLiteral("Update"));
        EXPECT_EQ(lv::shownCaption(cancel->text()), QStringLiteral("Cancel"));
        // Alt+U and Alt+C are the captions' mnemonics, underlined as the platform shows them.
        EXPECT_EQ(QKeySequence::mnemonic(update->text()), QKeySequence(Qt::ALT | Qt::Key_U));
        EXPECT_EQ(QKeySequence::mnemonic(cancel->text()), QKeySequence(Qt::ALT | Qt::Key_C));
    }
    EXPECT_EQ(seen, std::set<std::string>(singlePortWindowNames().begin(), singlePortWindowNames().end()));
}

// Captions, units and lists as the operator reads them, window by window.
struct CaptionCase {
    const char* window;
    const char* control;
    const char* caption; // of "lbl" + control; nullptr: not checked
    const char* unit;    // nullptr: no unit label
    QStringList entries; // empty: a text box
};

const QStringList kBaud10{QStringLiteral("300"),   QStringLiteral("600"),   QStringLiteral("1200"),
                          QStringLiteral("2400"),  QStringLiteral("4800"),  QStringLiteral("9600"),
                          QStringLiteral("19200"), QStringLiteral("38400"), QStringLiteral("57600"),
                          QStringLiteral("115200")};
const QStringList kBaud13 =
    kBaud10 + QStringList{QStringLiteral("230400"), QStringLiteral("460800"), QStringLiteral("921600")};
const QStringList kTcpUdp3{QStringLiteral("TCP Server"), QStringLiteral("TCP Client"), QStringLiteral("UDP")};
const QStringList kTcpUdp4{QStringLiteral("TCP Server"), QStringLiteral("TCP Client"), QStringLiteral("UDP Server"),
                           QStringLiteral("UDP Client")};
const QStringList kServers{QStringLiteral("TCP Server"), QStringLiteral("UDP Server")};
const QStringList kOffOn{QStringLiteral("Disable"), QStringLiteral("Enable")};

void PrintTo(const CaptionCase& c, std::ostream* os)
{
    *os << c.window << "." << c.control;
}

class SinglePortCaptions : public SinglePortForm, public ::testing::WithParamInterface<CaptionCase> {};

TEST_P(SinglePortCaptions, ShowTheirCaptionUnitAndEntries)
{
    const CaptionCase& c = GetParam();
    SinglePortWindow window(*findWindow(c.window), m_channel);
    if (c.caption) {
        auto* label = find<QLabel>(window, (std::string("lbl") + c.control).c_str());
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::fromLatin1(c.caption));
    }
    auto* unit = find<QLabel>(window, (std::string("lbl") + c.control + "Unit").c_str());
    if (c.unit) {
        ASSERT_NE(unit, nullptr);
        EXPECT_EQ(unit->text(), QString::fromLatin1(c.unit));
    } else {
        EXPECT_EQ(unit, nullptr);
    }
    if (c.entries.isEmpty()) {
        EXPECT_NE(find<QLineEdit>(window, c.control), nullptr);
    } else {
        auto* combo = find<QComboBox>(window, c.control);
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(entriesOf(combo), c.entries);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, SinglePortCaptions,
    ::testing::Values(CaptionCase{"frmSetup", "txtIP", "IP address", nullptr, {}},
                      CaptionCase{"frmSetup", "txtSioPort", "Socket port of serial I/O, Type", nullptr, {}},
                      CaptionCase{"frmSetup", "cmbSioMode", nullptr, nullptr, kTcpUdp3},
                      CaptionCase{"frmSetup", "txtDioPort", "Socket port of digital I/O, Type", nullptr, {}},
                      CaptionCase{"frmSetup", "cmbDioMode", nullptr, nullptr, kTcpUdp3},
                      CaptionCase{"frmSetup", "cmbSioBaud",
                                  "Serial I/O settings (baud rate, parity, data bits, stop bits)", nullptr, kBaud10},
                      CaptionCase{"frmSetup",
                                  "cmbSioParity",
                                  nullptr,
                                  nullptr,
                                  {QStringLiteral("N"), QStringLiteral("E"), QStringLiteral("O")}},
                      CaptionCase{"frmSetup",
                                  "cmbSioType",
                                  "Type of serial I/O",
                                  nullptr,
                                  {QStringLiteral("RS232"), QStringLiteral("RS232 (RTS/CTS)"),
                                   QStringLiteral("RS232 (RTS/CTS/DSR/DTR)"), QStringLiteral("RS485 (Half Duplex)"),
                                   QStringLiteral("RS422 (Full Duplex)")}},
                      CaptionCase{"frmSetup", "txtChrGap", "SIO InterCharacter Gap", nullptr, {}},
                      CaptionCase{"frmSetup", "txtTCPLinkTimeOut", "TCP Link Time Out", "Sec.", {}},
                      CaptionCase{"frmSetup", "cmbTCPLinkTimeOutMode", nullptr, nullptr, kOffOn},
                      CaptionCase{"frmSetup", "txtReportID", "Check Status Port", nullptr, {}},
                      CaptionCase{"frmSetup", "txtAccess", "Access password", nullptr, {}},
                      CaptionCase{"frmSetupPL700A", "cmbSioMode", nullptr, nullptr, kTcpUdp4},
                      CaptionCase{"frmSetupPL700A", "cmbDioMode", nullptr, nullptr, kServers},
                      CaptionCase{"frmSetupPL700A", "txtTCPLinkTimeOut", "Slave Response Time Out", "ms", {}},
                      CaptionCase{"frmSetupKr770A", "cmbSioBaud", nullptr, nullptr, kBaud13},
                      CaptionCase{"frmSetupKr787A", "txtDioPort", "Multi Socket Arbitration Time Period", "ms", {}},
                      CaptionCase{"frmSetupPL780A", "cmbSioMode", nullptr, nullptr, kTcpUdp4},
                      CaptionCase{"frmSetupPl778", "COM1_Modbus", "Modbus TCP", nullptr, kOffOn},
                      CaptionCase{"frmSetupPl778", "txtMSATP", "Multi Socket Arbitration Time Period", "ms", {}},
                      CaptionCase{"frmSetupPl778", "cmbSioBaud", nullptr, nullptr, kBaud10},
                      CaptionCase{"frmSetupDn680", "PanID", "Z-PAN ID", nullptr, {}},
                      CaptionCase{"frmSetupDn687", "RFChannel", "Z-RF Channel", nullptr, {}},
                      CaptionCase{"frmSetupDn690", "ZMode", "Z-Mode", nullptr, kOffOn},
                      CaptionCase{"frmSetupDn690", "cmbSioMode", nullptr, nullptr, kTcpUdp4},
                      CaptionCase{"frmSetupNDQ770", "cmbSioMode", nullptr, nullptr, kServers},
                      CaptionCase{"frmSetupNDQ770", "cmbDHCP", "DHCP client", nullptr, kOffOn}));

TEST_F(SinglePortForm, WindowsLackTheControlsTheirDevicesDoNotHave)
{
    const std::vector<std::pair<const char*, std::vector<const char*>>> absent{
        {"frmSetupPL700A", {"cmbTCPLinkTimeOutMode", "txtReportID", "txtMSATP", "COM1_Modbus", "PanID"}},
        {"frmSetupKr770A", {"cmbDioMode", "cmbTCPLinkTimeOutMode", "txtReportID", "PanID"}},
        {"frmSetupPl778", {"txtDioPort", "Text1", "PanID"}},
        {"frmSetupDn680", {"cmbDioMode", "txtReportID", "Text1"}},
        {"frmSetupNDQ770", {"txtHostIP", "txtHostPort", "txtDioPort", "cmbSioBaud", "txtChrGap", "Text1"}},
    };
    for (const auto& [name, controls] : absent) {
        SinglePortWindow window(*findWindow(name), m_channel);
        for (const char* control : controls)
            EXPECT_EQ(find<QWidget>(window, control), nullptr) << name << " " << control;
    }
}

TEST_F(SinglePortForm, TitlesNameTheModelMacAndVersion)
{
    const std::vector<std::pair<const char*, const char*>> titles{
        {"frmSetup", "KR-700 Setup  ( MAC: 00-50-C2-01-02-03 )  (2.07 build 0311)"},
        {"frmSetupPL700A", "PL-700 Setup  ( MAC: 00-50-C2-01-02-03 )  (2.07 build 0311)"},
        {"frmSetupKr770A", "KR-770A Setup  ( MAC: 00-50-C2-01-02-03 )  (2.07 build 0311)"},
        {"frmSetupKr787A", "KR-770A Setup  ( MAC: 00-50-C2-01-02-03 )  (2.07 build 0311)"},
        {"frmSetupPL780A", "PL-780A Setup  ( MAC: 00-50-C2-01-02-03 )  (2.07 build 0311)"},
        {"frmSetupPl778", "PL-778  Setup  ( MAC: 00-50-C2-01-02-03 )  (2.07 build 0311)"},
        {"frmSetupDn680", "DN-680 Setup  ( MAC: 00-50-C2-01-02-03 )  (2.07 build 0311)"},
        {"frmSetupDn687", "DN-687 Setup  (2.07 build 0311)"},
        {"frmSetupDn690", "DN-690 Setup  (2.07 build 0311)"},
        {"frmSetupNDQ770", "Ethernet IO Setup  ( MAC: 00-50-C2-01-02-03 )  (2.07 build 0311)"},
    };
    for (const auto& [name, title] : titles) {
        SinglePortWindow window(*findWindow(name), m_channel);
        window.Form_Load(QString::fromLatin1(kSelMac), QString::fromLatin1(kVersion));
        EXPECT_EQ(window.windowTitle(), QString::fromLatin1(title)) << name;
    }
}

TEST_F(SinglePortForm, Pl778SwitchedOffFieldsCannotBeEdited)
{
    auto window = openWindow("frmSetupPl778", standardItems(), m_channel);
    window->show();
    for (const char* name : {"cmbDioMode", "txtTCPLinkTimeOut", "cmbTCPLinkTimeOutMode", "txtReportID"}) {
        SCOPED_TRACE(name);
        QWidget* widget = find<QWidget>(*window, name);
        ASSERT_NE(widget, nullptr);
        EXPECT_FALSE(widget->isEnabled());
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            const QString before = edit->text();
            QTest::keyClicks(edit, QStringLiteral("99"));
            EXPECT_EQ(edit->text(), before);
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            const int before = combo->currentIndex();
            QTest::keyClick(combo, Qt::Key_Down);
            EXPECT_EQ(combo->currentIndex(), before);
        }
    }
    for (const char* label : {"lblcmbDioMode", "lbltxtTCPLinkTimeOut", "lbltxtTCPLinkTimeOutUnit", "lbltxtReportID"})
        EXPECT_FALSE(find<QLabel>(*window, label)->isEnabled()) << label;
    // The usable fields stay usable.
    EXPECT_TRUE(find<QLineEdit>(*window, "txtMSATP")->isEnabled());
    EXPECT_TRUE(find<QComboBox>(*window, "COM1_Modbus")->isEnabled());
}

// What the window shows after loading: (window, reply changes, control, shown text).
struct ShownCase {
    const char* window;
    Items changes;
    const char* control;
    QString shown;
};

void PrintTo(const ShownCase& c, std::ostream* os)
{
    *os << c.window << "." << c.control;
}

class SinglePortShows : public SinglePortForm, public ::testing::WithParamInterface<ShownCase> {};

TEST_P(SinglePortShows, TheLoadedValue)
{
    const ShownCase& c = GetParam();
    auto window = openWindow(c.window, withItems(standardItems(), c.changes), m_channel);
    QWidget* widget = find<QWidget>(*window, c.control);
    ASSERT_NE(widget, nullptr);
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        EXPECT_EQ(edit->text(), c.shown);
    else if (auto* combo = qobject_cast<QComboBox*>(widget))
        EXPECT_EQ(combo->currentText(), c.shown);
    else
        EXPECT_EQ(qobject_cast<QLabel*>(widget)->text(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Loads, SinglePortShows,
    ::testing::Values(
        ShownCase{"frmSetup", {}, "txtIP", QStringLiteral("192.168.1.50")},
        ShownCase{"frmSetup", {{"SIOBaud", "13"}}, "cmbSioBaud", QStringLiteral("9600")},
        ShownCase{"frmSetup", {{"SIOBaud", "9"}}, "cmbSioBaud", QStringLiteral("115200")},
        ShownCase{"frmSetup", {{"SIOParity", "3"}}, "cmbSioParity", QStringLiteral("N")},
        ShownCase{"frmSetup", {{"DHCPEnable", "2"}}, "cmbDHCP", QStringLiteral("Disable")},
        ShownCase{"frmSetup", {{"DIOSocketType", "255"}}, "cmbDioMode", QStringLiteral("TCP Server")},
        ShownCase{"frmSetup", {{"DeviceID", "Caf\xe9 \xb5"}}, "txtDeviceID", QStringLiteral(u"Caf\u00e9 \u00b5")},
        ShownCase{"frmSetupPl778", {{"DIOSocketPort", ""}}, "txtMSATP", QStringLiteral("0")},
        ShownCase{"frmSetupPl778", {{"COM1_Modbus", "7"}}, "COM1_Modbus", QStringLiteral("Disable")},
        ShownCase{"frmSetupPl778", {{"COM1_Modbus", "1"}}, "COM1_Modbus", QStringLiteral("Enable")},
        ShownCase{"frmSetupKr770A", {{"SIOBaud", "12"}}, "cmbSioBaud", QStringLiteral("921600")},
        ShownCase{"frmSetupDn680", {}, "ZMode", QString()},
        ShownCase{"frmSetupDn680", {}, "LabelZMac", QStringLiteral("00:12:4B:00:01:02:03:04")},
        ShownCase{"frmSetupDn687", {{"ZMac", ""}}, "LabelZMac", QString()},
        ShownCase{"frmSetupDn690", {}, "LabelZNwkAddress", QStringLiteral("0x3F21, 0x1A2B")},
        ShownCase{"frmSetupNDQ770", {{"SIOSocketType", "1"}}, "cmbSioMode", QStringLiteral("UDP Server")}));

TEST_F(SinglePortForm, KeepsTheLoadedValuesAsLoadedConfig)
{
    const Items items = withItems(standardItems(), {{"SIOBaud", "13"}});
    auto window = openWindow("frmSetup", items, m_channel);
    const LoadResult expected = loadSinglePort(*findWindow("frmSetup"), replyText(items));
    EXPECT_EQ(window->loadedConfig(), expected.loaded);
    EXPECT_EQ(window->currentValues().at("cmbSioBaud"), "5");
    EXPECT_EQ(window->currentValues().at("txtIP"), "192.168.1.50");
    EXPECT_EQ(window->currentValues().count("Text1"), 0u);
}

// Single-byte text travels as typed; a character the devices cannot receive is
// refused at the keyboard rather than sent as "?".
TEST_F(SinglePortForm, TextBoxesTakeLatin1AsTypedAndRefuseOtherCharacters)
{
    auto window = openWindow("frmSetup", standardItems(), m_channel);
    auto* id = find<QLineEdit>(*window, "txtDeviceID");
    id->clear();
    // One key press per character, carrying the character's text as a keyboard would.
    const auto type = [id](const QString& text) {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(id, &press);
        }
    };
    type(QString::fromUtf8("Ab\u00e9 #1"));
    EXPECT_EQ(id->text(), QString::fromUtf8("Ab\u00e9 #1"));
    EXPECT_EQ(window->currentValues().at("txtDeviceID"), "Ab\xe9 #1");
    type(QString::fromUtf8("\u20ac\u4e2d"));
    EXPECT_EQ(id->text(), QString::fromUtf8("Ab\u00e9 #1"));
}

// Nothing is cut off: every label as wide as its text, every list as wide as its
// longest entry, the buttons side by side under the fields.
// A field that differs from its loaded value is set in bold, and Update says how many settings it
// would send; going back to the loaded value takes the mark away.
TEST_F(SinglePortForm, ChangedFieldsAreMarkedAndCounted)
{
    for (const std::string& name : singlePortWindowNames()) {
        SCOPED_TRACE(name);
        auto window = openWindow(name, standardItems(), m_channel);
        ASSERT_NE(window, nullptr);
        const auto marked = [&] {
            std::set<std::string> out;
            for (const FieldDef& field : window->windowDef().fields)
                if (QWidget* w = window->control(field.control); w && w->font().bold())
                    out.insert(field.control);
            return out;
        };
        auto* update = find<QPushButton>(*window, "cmdUpdate");
        EXPECT_EQ(marked(), std::set<std::string>{});
        EXPECT_FALSE(update->toolTip().contains(QLatin1Char('1')));
        // The first editable text box and the first list with more than one entry.
        const FieldDef* text = nullptr;
        const FieldDef* list = nullptr;
        for (const FieldDef& field : window->windowDef().fields) {
            if (!field.enabled || field.tag.empty())
                continue;
            if (!text && field.kind == ControlKind::TextBox)
                text = &field;
            if (!list && field.kind == ControlKind::ComboBox && field.entries.size() > 1)
                list = &field;
        }
        ASSERT_TRUE(text && list);
        auto* edit = qobject_cast<QLineEdit*>(window->control(text->control));
        auto* combo = qobject_cast<QComboBox*>(window->control(list->control));
        const QString before = edit->text();
        const int index = combo->currentIndex();
        edit->setText(before + QStringLiteral("9"));
        combo->setCurrentIndex(index == 0 ? 1 : 0);
        EXPECT_EQ(marked(), (std::set<std::string>{text->control, list->control}));
        EXPECT_TRUE(update->toolTip().contains(QStringLiteral("2 changed"))) << update->toolTip().toStdString();
        edit->setText(before);
        combo->setCurrentIndex(index);
        EXPECT_EQ(marked(), std::set<std::string>{});
    }
}

TEST_F(SinglePortForm, LayoutShowsEveryTextWhole)
{
    for (const std::string& name : singlePortWindowNames()) {
        SCOPED_TRACE(name);
        auto window = openWindow(name, standardItems(), m_channel);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        for (QLabel* label : window->findChildren<QLabel*>())
            EXPECT_TRUE(label->width() >= label->sizeHint().width() && firstStemShown(label))
                << label->objectName().toStdString();
        for (QLineEdit* edit : window->findChildren<QLineEdit*>())
            EXPECT_GE(edit->width(), edit->fontMetrics().horizontalAdvance(edit->text()))
                << edit->objectName().toStdString();
        int fieldsBottom = 0;
        for (QComboBox* combo : window->findChildren<QComboBox*>()) {
            int longest = 0;
            for (int i = 0; i < combo->count(); ++i)
                longest = std::max(longest, combo->fontMetrics().horizontalAdvance(combo->itemText(i)));
            EXPECT_GT(combo->width(), longest) << combo->objectName().toStdString();
        }
        for (const FieldDef& field : findWindow(name)->fields)
            fieldsBottom = std::max(fieldsBottom, window->control(field.control)->geometry().bottom());
        auto* update = find<QPushButton>(*window, "cmdUpdate");
        auto* cancel = find<QPushButton>(*window, "cmdCancel");
        EXPECT_GT(update->y(), fieldsBottom);
        EXPECT_EQ(update->y(), cancel->y());
        EXPECT_LT(update->geometry().right(), cancel->x());
    }
}

} // namespace
} // namespace lv::test
