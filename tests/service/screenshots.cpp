// SPDX-License-Identifier: Apache-2.0
// Grabs frmSetMAC (an address typed for a selected device) and frmMACPass (a
// code being typed) as a technician sees them, into the folder given as the
// first argument (docs/screenshots in the README). Nothing is sent.

#include "devicesearch.h"
#include "passwordprompt.h"
#include "setmacdialog.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>

#include <cstdio>

namespace {

// Shows the window, types into its entry as a person would, and grabs it.
bool save(QWidget& widget, const char* entry, const QString& typed, const QString& path)
{
    widget.show();
    QTest::qWait(100);
    if (entry) {
        auto* edit = widget.findChild<QLineEdit*>(QString::fromLatin1(entry));
        edit->clear();
        QTest::keyClicks(edit, typed);
        QTest::qWait(50);
    }
    if (!widget.grab().save(path))
        return false;
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(dir);

    lv::SessionState state;
    lv::DeviceSearch search(state);

    lv::SetMacDialog setMac(state, search, lv::DeviceRef("AX 0.80.194.1.2.3/10.0.0.7/D\r", 0, {}, 0));
    if (!save(setMac, "txtNewMac", QStringLiteral("0.80.194.1.2.4"), dir + QStringLiteral("/frmSetMAC.png")))
        return 1;

    QString code;
    lv::PasswordPrompt prompt(QStringLiteral("frmMACPass"), QStringLiteral("MAC Password"), code);
    if (!save(prompt, "txtPass", QStringLiteral("Quartzmoon"), dir + QStringLiteral("/frmMACPass.png")))
        return 1;

    // A refused address, for a look at the remark (not part of the README).
    if (argc > 2) {
        setMac.findChild<QLineEdit*>(QStringLiteral("txtNewMac"))->setText(QStringLiteral("0.80.194.1.2.256"));
        setMac.cmdOk_Click();
        if (!save(setMac, nullptr, {}, QString::fromLocal8Bit(argv[2])))
            return 1;
    }
    return 0;
}
