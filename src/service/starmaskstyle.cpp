// SPDX-License-Identifier: Apache-2.0
// The style that shows every character of a secret entry as "*".

#include "starmaskstyle.h"

#include <QLineEdit>

namespace lv {

int StarMaskStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                             QStyleHintReturn* returnData) const
{
    if (hint == SH_LineEdit_PasswordCharacter)
        return '*';
    // The last typed character is never shown in clear, not even briefly.
    if (hint == SH_LineEdit_PasswordMaskDelay)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void StarMaskStyle::apply(QLineEdit* entry)
{
    auto* style = new StarMaskStyle;
    style->setParent(entry);
    entry->setStyle(style);
    entry->setEchoMode(QLineEdit::Password);
}

} // namespace lv
