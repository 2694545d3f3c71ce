// SPDX-License-Identifier: Apache-2.0
// frmAbout: the program's name, version and emblem.

#include "aboutbox.h"

#include "linkvane_version.h"
#include "mnemonic.h"
#include "textlabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace lv {

namespace {

// A small drawn emblem: a vane over three linked nodes.
QPixmap emblem()
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x2b, 0x57, 0x9a), 3));
    p.drawLine(12, 48, 32, 20);
    p.drawLine(32, 20, 52, 48);
    p.drawLine(12, 48, 52, 48);
    p.setBrush(QColor(0x2b, 0x57, 0x9a));
    for (const QPoint& c : {QPoint(12, 48), QPoint(32, 20), QPoint(52, 48)})
        p.drawEllipse(c, 6, 6);
    p.setBrush(QColor(0xe0, 0x8a, 0x1e));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygon({QPoint(32, 4), QPoint(50, 10), QPoint(32, 14)}));
    return pixmap;
}

} // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Linkvane"));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(emblem());

    auto* title = textLabel(QStringLiteral("Linkvane Version " LINKVANE_VERSION), this);
    title->setObjectName(QStringLiteral("lblVersion"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* note = textLabel(QStringLiteral("Finds and configures serial-to-Ethernet converters, "
                                          "digital-I/O and radio modules on the local network."),
                           this);
    note->setObjectName(QStringLiteral("lblNote"));
    note->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("cmdOk"));
    ok->setDefault(true);
    setMnemonic(ok, QLatin1Char('O'));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(note);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setFixedWidth(340);
}

} // namespace lv
