// SPDX-License-Identifier: Apache-2.0
#pragma once

// A style for secret entries: every typed character shows as "*", at once.

#include <QProxyStyle>

class QLineEdit;

namespace lv {

class StarMaskStyle final : public QProxyStyle {
    Q_OBJECT
public:
    StarMaskStyle() = default;

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

    // Puts the entry into password mode with this style; the entry owns the style.
    static void apply(QLineEdit* entry);
};

} // namespace lv
