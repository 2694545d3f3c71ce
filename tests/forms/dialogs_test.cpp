// SPDX-License-Identifier: Apache-2.0
// The scriptable message boxes and input box.

#include "dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace lv {
namespace {

class DialogsTest : public ::testing::Test {
protected:
    void TearDown() override { Dialogs::reset(); }
};

TEST_F(DialogsTest, ScriptedMessagesAreRecordedWithTheirTitles)
{
    Dialogs::setScripted(true);
    Dialogs::message(nullptr, QStringLiteral("Range: 0~65535"));
    Dialogs::message(nullptr, QStringLiteral("Other"), QStringLiteral("frmSetup"));
    ASSERT_EQ(Dialogs::shownMessages().size(), 2);
    EXPECT_EQ(Dialogs::shownMessages()[0].text, QStringLiteral("Range: 0~65535"));
    EXPECT_EQ(Dialogs::shownMessages()[0].title, QStringLiteral("MsgBox"));
    EXPECT_EQ(Dialogs::shownMessages()[1].title, QStringLiteral("frmSetup"));
}

TEST_F(DialogsTest, ScriptedInputsAreAnsweredInOrderAndAnEmptyQueueCancels)
{
    Dialogs::setScripted(true);
    Dialogs::queueInput(QStringLiteral("4000"));
    Dialogs::queueInput(std::nullopt);
    Dialogs::queueInput(QString());
    EXPECT_EQ(Dialogs::inputText(nullptr, QStringLiteral("Port"), QStringLiteral("Port"), QStringLiteral("65535")),
              std::optional<QString>(QStringLiteral("4000")));
    EXPECT_EQ(Dialogs::inputText(nullptr, QStringLiteral("Port"), QStringLiteral("Port"), {}), std::nullopt);
    // An empty answer is an answer, not a cancel.
    EXPECT_EQ(Dialogs::inputText(nullptr, QStringLiteral("Port"), QStringLiteral("Port"), {}),
              std::optional<QString>(QString()));
    EXPECT_EQ(Dialogs::inputText(nullptr, QStringLiteral("Again"), QStringLiteral("Port"), {}), std::nullopt);
    EXPECT_EQ(Dialogs::shownPrompts().size(), 4);
    EXPECT_EQ(Dialogs::shownPrompts().last(), QStringLiteral("Again"));

    Dialogs::reset();
    EXPECT_FALSE(Dialogs::scripted());
    EXPECT_TRUE(Dialogs::shownPrompts().isEmpty());
}

TEST_F(DialogsTest, UnscriptedMessageIsAModalBoxWithOnlyAnOkButton)
{
    QString title;
    QString text;
    int buttons = -1;
    QTimer::singleShot(0, qApp, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    Dialogs::message(nullptr, QStringLiteral("MAC Password Error"));
    EXPECT_EQ(title, QStringLiteral("MsgBox"));
    EXPECT_EQ(text, QStringLiteral("MAC Password Error"));
    EXPECT_EQ(buttons, 1);
}

TEST_F(DialogsTest, UnscriptedInputProposesTextAndReportsCancel)
{
    const auto answer = [](bool accept) {
        QTimer::singleShot(0, qApp, [accept] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->textValue(), QStringLiteral("65535"));
            if (accept)
                dialog->accept();
            else
                dialog->reject();
        });
        return Dialogs::inputText(nullptr, QStringLiteral("Port"), QStringLiteral("Port"), QStringLiteral("65535"));
    };
    EXPECT_EQ(answer(true), std::optional<QString>(QStringLiteral("65535")));
    EXPECT_EQ(answer(false), std::nullopt);
}

} // namespace
} // namespace lv
