// SPDX-License-Identifier: Apache-2.0
#pragma once

// A button's Alt+letter as a mnemonic: an "&" before the first `letter` of its caption, so the
// platform underlines that letter (on Windows while Alt is held) and the key clicks the button. The
// caption as shown stays the same text.

#include <QAbstractButton>

namespace lv {

inline void setMnemonic(QAbstractButton* button, QChar letter)
{
    QString caption = button->text();
    const qsizetype at = caption.indexOf(letter, 0, Qt::CaseInsensitive);
    if (at < 0 || caption.contains(QLatin1Char('&')))
        return;
    caption.insert(at, QLatin1Char('&'));
    button->setText(caption);
}

// A caption as the operator reads it: without the mnemonic marker.
inline QString shownCaption(const QString& caption)
{
    QString shown;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        shown.append(caption.at(i));
    }
    return shown;
}

} // namespace lv
