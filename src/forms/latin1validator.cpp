// SPDX-License-Identifier: Apache-2.0
// Refuses at the keyboard the characters a device could not receive as typed.

#include "latin1validator.h"

#include "latin1.h"

namespace lv {

QValidator::State Latin1Validator::validate(QString& input, int& /*pos*/) const
{
    return isLatin1(input) ? Acceptable : Invalid;
}

} // namespace lv
