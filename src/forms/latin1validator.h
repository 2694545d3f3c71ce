// SPDX-License-Identifier: Apache-2.0
#pragma once

// Devices take single-byte text: a character outside Latin-1 cannot travel as
// typed, and would arrive as "?". Text boxes whose text is sent refuse it at
// the keyboard instead; everything else is accepted as typed.

#include <QValidator>

namespace lv {

class Latin1Validator final : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

} // namespace lv
