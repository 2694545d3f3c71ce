// SPDX-License-Identifier: Apache-2.0
// frmPass and frmMACPass: the masked entry, Ok, Enter and Cancel.

#include "passwordprompt.h"

#include "modalwatcher.h"
#include "printers.h"
#include "typetext.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct PromptCase {
    const char* name;
    const char* caption;
    bool accessCode; // frmMACPass (gMacPass) rather than frmPass (gSetupPass)
};

void PrintTo(const PromptCase& c, std::ostream* os)
{
    *os << c.name;
}

class PromptTest : public ::testing::TestWithParam<PromptCase> {
protected:
    QString& target() { return GetParam().accessCode ? state.gMacPass : state.gSetupPass; }

    // Opens the prompt; `drive` answers it. Returns what the prompt returned
    // (frmPass always reports true).
    bool open(const std::function<void(QWidget*)>& drive)
    {
        ModalWatcher watcher(QString::fromLatin1(GetParam().name), drive);
        bool ok = true;
        if (GetParam().accessCode)
            ok = lv::showMacPasswordPrompt(nullptr, state);
        else
            lv::showSetupPasswordPrompt(nullptr, state);
        EXPECT_TRUE(watcher.fired());
        return ok;
    }

    static void type(QWidget* prompt, const QString& text)
    {
        auto* entry = prompt->findChild<QLineEdit*>(QStringLiteral("txtPass"));
        ASSERT_NE(entry, nullptr);
        typeText(entry, text);
    }
    static void press(QWidget* prompt, const char* button)
    {
        QTest::mouseClick(prompt->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    }

    lv::SessionState state;
};

TEST_P(PromptTest, EveryTypedCharacterShowsAsStar)
{
    const QString typed = QStringLiteral("Quartz moon\u00e9");
    open([&](QWidget* prompt) {
        EXPECT_EQ(prompt->windowTitle(), QString::fromLatin1(GetParam().caption));
        auto* entry = prompt->findChild<QLineEdit*>(QStringLiteral("txtPass"));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->text(), QString()); // every prompt opens empty
        type(prompt, typed);
        EXPECT_EQ(entry->text(), typed);
        EXPECT_EQ(entry->displayText(), QString(typed.size(), QLatin1Char('*')));
        press(prompt, "cmdOk");
    });
    EXPECT_EQ(target(), typed);
}

// A screen reader names the entry by the prompt's caption and relates it to its label.
TEST_P(PromptTest, TheEntryIsNamedAndLabelled)
{
    open([&](QWidget* prompt) {
        auto* entry = prompt->findChild<QLineEdit*>(QStringLiteral("txtPass"));
        ASSERT_NE(entry, nullptr);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(entry);
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->text(QAccessible::Name), QString::fromLatin1(GetParam().caption));
        const auto labels = iface->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1);
        EXPECT_EQ(labels.front().first->text(QAccessible::Name), QStringLiteral("Password"));
        press(prompt, "cmdCancel");
    });
}

TEST_P(PromptTest, CancelKeepsTheEarlierValue)
{
    target() = QStringLiteral("before");
    const bool ok = open([&](QWidget* prompt) {
        type(prompt, QStringLiteral("other"));
        press(prompt, "cmdCancel");
    });
    EXPECT_EQ(target(), QStringLiteral("before"));
    if (GetParam().accessCode) {
        EXPECT_FALSE(ok);
    }
}

TEST_P(PromptTest, EnterPressesOkAndAnEmptyEntryClears)
{
    target() = QStringLiteral("before");
    bool ok = open([&](QWidget* prompt) {
        type(prompt, QStringLiteral("QuartzmoonTEST"));
        QTest::keyClick(prompt->findChild<QLineEdit*>(QStringLiteral("txtPass")), Qt::Key_Return);
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(target(), QStringLiteral("QuartzmoonTEST"));
    ok = open([&](QWidget* prompt) { press(prompt, "cmdOk"); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(target(), QString());
}

INSTANTIATE_TEST_SUITE_P(Prompts, PromptTest,
                         ::testing::Values(PromptCase{"frmPass", "Password", false},
                                           PromptCase{"frmMACPass", "MAC Password", true}),
                         [](const ::testing::TestParamInfo<PromptCase>& tp) { return std::string(tp.param.name); });

} // namespace
